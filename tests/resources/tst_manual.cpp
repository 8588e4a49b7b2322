#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

// "Velka Manual.pdf" beside the program: a PDF of several pages that names
// every command of the menu bar.
namespace {

const QDir ProgramFolder(QStringLiteral(VELKA_PROGRAM_DIR));

QString manualFile()
{
    return ProgramFolder.filePath(QStringLiteral("Velka Manual.pdf"));
}

// The manual's text as pdftotext reads it, a form feed ending each page.
QString manualText()
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {manualFile(), QStringLiteral("-")});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0) {
        qWarning("pdftotext (poppler-utils, installed by scripts/setup) could not read the manual");
        return QString();
    }
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// The text with every run of blanks made one space (lines break anywhere).
QString flatManualText()
{
    return manualText()
        .normalized(QString::NormalizationForm_KC) // the PDF may set "ff" as one ligature
        .replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
}

// The headings of the manual's source, without their marks.
QStringList headings()
{
    QFile source(QStringLiteral(VELKA_SOURCE_DIR "/resources/manual/manual.md"));
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList result;
    const QStringList lines = QString::fromUtf8(source.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1Char('#')))
            result << line.section(QLatin1Char(' '), 1).trimmed();
    }
    return result;
}

} // namespace

class TestManual : public QObject
{
    Q_OBJECT

private slots:
    void isPdfOfSeveralPages();
    void namesEveryMenuCommand();
    void explainsTheCanvasMenusAndTextFormatting();
    void noHeadingEndsAPage();
};

void TestManual::isPdfOfSeveralPages()
{
    QFile file(manualFile());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    const qsizetype pages = manualText().count(QLatin1Char('\f'));
    QVERIFY2(pages > 1, qPrintable(QStringLiteral("%1 pages").arg(pages)));
}

void TestManual::namesEveryMenuCommand()
{
    const QString text = flatManualText();
    QVERIFY(text.count(QLatin1Char(' ')) > 1000);

    // The menus and their entries as the menu bar shows them.
    const QStringList commands{
        "File", "New", "Open...", "Open Recent", "Clear Menu", "Open Example", "Close", "Save", "Save As...",
        "Page Setup...", "Print...", "Exit",
        "Edit", "Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All", "Preferences...",
        "View", "Actual Size", "Zoom In", "Zoom Out", "Show Grid", "Hide Grid", "Turn Snap to Grid On",
        "Turn Snap to Grid Off", "Show Node Counters", "Hide Node Counters",
        "Control", "Play", "Pause", "Go to Start",
        "Tool", "Selection", "Zoom", "Node & Edge", "Voice Group", "Text Box",
        "Help", "Velka Manual", "Velka Website", "Velka Community", "Contact Support", "About Velka"};
    QStringList missing;
    for (const QString &command : commands) {
        if (!text.contains(command))
            missing << command;
    }
    QCOMPARE(missing, QStringList());
}

// The canvas's own menu, the text box editor's menu and its keys.
void TestManual::explainsTheCanvasMenusAndTextFormatting()
{
    const QString text = flatManualText();
    const QStringList entries{
        "Right-click the canvas", "Sequential", "Parallel", "Random", "Mute", "City Block", "City Block Flipped",
        "Direct", "Wormhole", "Escape", "Shift", "Alt", "Backspace",
        "Editing a text box", "Ctrl+B", "Ctrl+I", "Ctrl+U", "Font", "Family", "Size", "Bold", "Italic",
        "Underline", "Show Colors"};
    QStringList missing;
    for (const QString &entry : entries) {
        if (!text.contains(entry))
            missing << entry;
    }
    QCOMPARE(missing, QStringList());
}

// The last line of every page, above the page number, is no heading: a
// heading starts the page after instead of standing alone at the foot. Nothing
// of the next page shows below the number.
void TestManual::noHeadingEndsAPage()
{
    const QStringList titles = headings();
    QVERIFY(titles.size() > 10);
    const QStringList pages = manualText().split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY(pages.size() > 1);
    for (int i = 0; i < pages.size(); ++i) {
        QStringList lines = pages.at(i).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString &line : lines)
            line = line.trimmed();
        lines.removeAll(QString());
        const QString page = QStringLiteral("page %1").arg(i + 1);
        const qsizetype number = lines.lastIndexOf(QString::number(i + 1));
        QVERIFY2(number > 0, qPrintable(page));
        QVERIFY2(number == lines.size() - 1, qPrintable(page + QStringLiteral(" shows below its number: ") + lines.last()));
        QVERIFY2(!titles.contains(lines.at(number - 1)),
                 qPrintable(page + QStringLiteral(" ends with the heading ") + lines.at(number - 1)));
    }
}

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
