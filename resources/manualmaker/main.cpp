// Turns the manual's text into "Velka Manual.pdf". Usage:
//   velka-manualmaker <manual.md> <picture folder> <output pdf>
// The text is Markdown; a picture named "images/<path>" is the resource
// tree's picture at <path>, taken at twice its size for a sharp print.
#include <QDirIterator>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextFrame>
#include <QUrl>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: %s <manual.md> <picture folder> <output pdf>\n", qPrintable(args.value(0)));
        return 2;
    }

    QFile source(args.at(1));
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);

    // Setting the text clears the document's resources: the pictures come after.
    document.setMarkdown(QString::fromUtf8(source.readAll()));
    const QDir pictures(args.at(2));
    QDirIterator files(pictures.path(), {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString fileName = files.next();
        if (fileName.endsWith(QLatin1String("@2x.png")))
            continue;
        QImage image(fileName.chopped(4) + QStringLiteral("@2x.png"));
        if (image.isNull()) {
            std::fprintf(stderr, "cannot read the picture %s at twice its size\n", qPrintable(fileName));
            return 1;
        }
        image.setDevicePixelRatio(2);
        document.addResource(QTextDocument::ImageResource,
                             QUrl(QStringLiteral("images/") + pictures.relativeFilePath(fileName)), image);
    }

    QPdfWriter writer(args.at(3));
    writer.setTitle(QStringLiteral("Velka Manual"));
    writer.setCreator(QStringLiteral("Velka"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 18),
                                     QPageLayout::Millimeter));

    // The document is laid out in pixels of 96 to the inch and drawn scaled
    // onto the pages (printing through QTextDocument::print would lay out a
    // copy that lacks the pictures). The page number goes in the bottom margin
    // that the layout keeps free on every page.
    const qreal scale = writer.resolution() / 96.0;
    const QRectF paintRect = writer.pageLayout().paintRectPixels(writer.resolution());
    const qreal footer = 28;
    const QSizeF page(paintRect.width() / scale, paintRect.height() / scale);
    QTextFrameFormat frame = document.rootFrame()->frameFormat();
    frame.setMargin(0);
    frame.setBottomMargin(footer);
    document.rootFrame()->setFrameFormat(frame);
    document.setPageSize(page);
    QPainter painter(&writer);
    painter.scale(scale, scale);
    QFont numberFont = font;
    numberFont.setPixelSize(11); // in the scaled layout pixels

    for (int i = 0; i < document.pageCount(); ++i) {
        if (i > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -i * page.height());
        document.drawContents(&painter, QRectF(QPointF(0, i * page.height()), page));
        painter.restore();
        painter.setFont(numberFont);
        painter.drawText(QRectF(0, page.height() - footer, page.width(), footer), Qt::AlignHCenter | Qt::AlignVCenter,
                         QString::number(i + 1));
    }
    return painter.end() ? 0 : 1;
}
