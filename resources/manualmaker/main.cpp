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
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QUrl>

#include <cstdio>

namespace {

// The page on which a block's first or last line lies.
int pageOfLine(const QTextDocument &document, const QTextBlock &block, bool last)
{
    const QRectF bounds = document.documentLayout()->blockBoundingRect(block);
    const QTextLayout *layout = block.layout();
    qreal y = bounds.top();
    if (layout && layout->lineCount() > 0) {
        const QTextLine line = layout->lineAt(last ? layout->lineCount() - 1 : 0);
        y += line.y();
    }
    // A line pushed to the next page starts exactly at its top, give or take
    // the rounding of the layout.
    return int((y + 0.5) / document.pageSize().height());
}

// Starts a new page before every heading whose following block begins on a
// later page, so that no heading stands alone at the foot of a page. A heading
// moved down can leave the heading above it alone in turn (a section heading
// followed at once by a subsection heading): the pass repeats until the pages
// settle. Each heading moves at most once, so the passes end.
void keepHeadingsWithTheirText(QTextDocument &document)
{
    for (int pass = 0; pass <= document.blockCount(); ++pass) {
        // A changed format is laid out again lazily: finish it before reading
        // positions, and before the pages are drawn.
        document.documentLayout()->documentSize();
        bool moved = false;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            const QTextBlock next = block.next();
            if (block.blockFormat().headingLevel() == 0 || !next.isValid())
                continue;
            if (pageOfLine(document, next, false) == pageOfLine(document, block, true))
                continue;
            QTextBlockFormat format = block.blockFormat();
            if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                continue;
            format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(block).setBlockFormat(format);
            moved = true;
            break; // the layout after this heading has changed
        }
        if (!moved)
            return;
    }
}

} // namespace

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
    keepHeadingsWithTheirText(document);
    QPainter painter(&writer);
    painter.scale(scale, scale);
    QFont numberFont = font;
    numberFont.setPixelSize(11); // in the scaled layout pixels

    for (int i = 0; i < document.pageCount(); ++i) {
        if (i > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -i * page.height());
        // The first line of the next page starts at this page's foot, give or
        // take rounding: the footer is kept clear of it.
        document.drawContents(&painter, QRectF(0, i * page.height(), page.width(), page.height() - footer));
        painter.restore();
        painter.setFont(numberFont);
        painter.drawText(QRectF(0, page.height() - footer, page.width(), footer), Qt::AlignHCenter | Qt::AlignVCenter,
                         QString::number(i + 1));
    }
    return painter.end() ? 0 : 1;
}
