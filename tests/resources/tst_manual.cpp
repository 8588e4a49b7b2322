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

} // namespace

class TestManual : public QObject
{
    Q_OBJECT

private slots:
    void isPdfOfSeveralPages();
    void namesEveryMenuCommand();
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
    // Lines break anywhere: compare with every run of blanks made one space.
    const QString text =
        manualText()
            .normalized(QString::NormalizationForm_KC) // the PDF may set "ff" as one ligature
            .replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
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

QTEST_MAIN(TestManual)
#include "tst_manual.moc"
