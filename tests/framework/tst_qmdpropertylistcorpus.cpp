// Replays the property-list fuzz corpus (tests/fuzz/corpus/propertylist):
// every file keeps the reader's promises, so what the fuzzer once found stays
// fixed. Files named "valid-*" must read without warnings, "broken-*" must be
// refused.

#include "../fuzz/propertylistcheck.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class tst_QmdPropertyListCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void replay_data();
    void replay();
};

void tst_QmdPropertyListCorpus::initTestCase()
{
    // Diagnostics of broken files are expected here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(message));
    });
}

void tst_QmdPropertyListCorpus::replay_data()
{
    QTest::addColumn<QString>("path");
    const QString folder = QFINDTESTDATA("../fuzz/corpus/propertylist");
    QVERIFY2(!folder.isEmpty(), "corpus folder not found");
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());
    for (const QFileInfo &file : files)
        QTest::newRow(qPrintable(file.fileName())) << file.absoluteFilePath();
}

void tst_QmdPropertyListCorpus::replay()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    const QString problem = PropertyListCheck::problem(bytes);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    const QString name = QFileInfo(path).fileName();
    if (!name.startsWith(QLatin1String("valid-")) && !name.startsWith(QLatin1String("broken-")))
        return;
    QmdMemModel model(Qmd::StrDict);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QmdPropertyListImporter importer(&model, &buffer);
    const bool read = importer.read(QmdIndex());
    if (name.startsWith(QLatin1String("valid-"))) {
        QVERIFY2(read, qPrintable(importer.errorString()));
        QVERIFY2(importer.warnings().isEmpty(), qPrintable(importer.warnings().join(u'\n')));
    } else {
        QVERIFY(!read);
    }
}

QTEST_GUILESS_MAIN(tst_QmdPropertyListCorpus)
#include "tst_qmdpropertylistcorpus.moc"
