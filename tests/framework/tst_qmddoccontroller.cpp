#include "qmddoccontroller.h"
#include "qmdmemmodel.h"
#include "qmdsyncronizedcontroller.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>
#include <stdexcept>

namespace {

// A document controller whose file hooks succeed or fail as a test says. A
// successful load replaces the document's content; a failing one touches
// nothing, as a loader that validates first does.
class FileController : public QmdDocController
{
    Q_OBJECT

public:
    using QmdDocController::QmdDocController;

    QFile::FileError error = QFile::NoError;
    bool throwing = false;
    QStringList hookNames;
    QStringList hookTexts;

protected:
    QFile::FileError saveFile(const QString &fileName, QmdRequestId rid) override
    {
        return hook(fileName, rid);
    }

    QFile::FileError loadFile(const QString &fileName, QmdRequestId rid) override
    {
        const QFile::FileError result = hook(fileName, rid);
        if (result == QFile::NoError) {
            clear(QmdIndex());
            setType(QmdIndex(), Qmd::StrDict);
            setData(QStringLiteral("Loaded"), QFileInfo(fileName).fileName(), QmdIndex());
        }
        return result;
    }

private:
    QFile::FileError hook(const QString &fileName, QmdRequestId)
    {
        hookNames << fileName;
        hookTexts << model()->requestText();
        if (throwing)
            throw std::runtime_error("value out of range");
        return error;
    }
};

typedef QmdSyncronizedController<FileController> SyncFileController;

} // namespace

class TestQmdDocController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileRequestsAnnounceTheirOutcome_data();
    void fileRequestsAnnounceTheirOutcome();
    void saveUnderTheHeldNameKeepsIt();
    void failedSaveKeepsTheOldName();
    void emptyFileNameIsAnOpenError();
    void throwingHookIsAFailureAndReleasesTheLock();

private:
    QmdMemModel *m_model = nullptr;
    SyncFileController *m_controller = nullptr;
    QStringList m_signals;
    QList<QmdRequestId> m_rids;
    QStringList m_names;
};

void TestQmdDocController::init()
{
    m_model = new QmdMemModel(Qmd::StrDict, this);
    m_controller = new SyncFileController(this);
    m_controller->setModel(m_model);
    m_signals.clear();
    m_rids.clear();
    m_names.clear();

    auto named = [this](const char *name) {
        return [this, name](const QString &fileName, QmdRequestId rid) {
            m_signals << QString::fromLatin1(name);
            m_names << fileName;
            m_rids << rid;
        };
    };
    auto failed = [this](const char *name) {
        return [this, name](const QString &fileName, QFile::FileError error, QmdRequestId rid) {
            m_signals << QStringLiteral("%1(%2)").arg(QString::fromLatin1(name)).arg(int(error));
            m_names << fileName;
            m_rids << rid;
        };
    };
    connect(m_controller, &QmdDocController::fileSaved, this, named("fileSaved"));
    connect(m_controller, &QmdDocController::fileLoaded, this, named("fileLoaded"));
    connect(m_controller, &QmdDocController::templateLoaded, this, named("templateLoaded"));
    connect(m_controller, &QmdDocController::fileNameChanged, this, named("fileNameChanged"));
    connect(m_controller, &QmdDocController::fileSaveError, this, failed("fileSaveError"));
    connect(m_controller, &QmdDocController::fileLoadError, this, failed("fileLoadError"));
    connect(m_controller, &QmdDocController::templateLoadError, this, failed("templateLoadError"));
    connect(m_controller, &QmdController::modelReset, this, [this] { m_signals << QStringLiteral("modelReset"); });

    // One recorded edit, so that the document is not clean and has history.
    m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("draft"));
    QCoreApplication::processEvents();
}

void TestQmdDocController::cleanup()
{
    delete m_controller;
    delete m_model;
}

void TestQmdDocController::fileRequestsAnnounceTheirOutcome_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("save") << 0 << 0 << QStringList({"fileSaved", "fileNameChanged"});
    QTest::newRow("failed save") << 0 << int(QFile::WriteError) << QStringList("fileSaveError(2)");
    QTest::newRow("load") << 1 << 0 << QStringList({"modelReset", "fileLoaded", "fileNameChanged"});
    QTest::newRow("failed load") << 1 << int(QFile::ReadError) << QStringList("fileLoadError(1)");
    QTest::newRow("template") << 2 << 0 << QStringList({"modelReset", "templateLoaded"});
    QTest::newRow("failed template") << 2 << int(QFile::OpenError) << QStringList("templateLoadError(5)");
}

void TestQmdDocController::fileRequestsAnnounceTheirOutcome()
{
    QFETCH(int, mode);
    QFETCH(int, error);
    QFETCH(QStringList, expected);

    const bool success = error == 0;
    const QString given = QStringLiteral("song.vlk");
    const QString absolute = QDir::current().absoluteFilePath(given);
    m_controller->error = QFile::FileError(error);
    m_signals.clear();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    QmdRequestId rid = 0;
    switch (mode) {
    case 0: rid = m_controller->requestSave(given); break;
    case 1: rid = m_controller->requestLoad(given); break;
    case 2: rid = m_controller->requestLoadTemplate(given); break;
    }

    // Announced synchronously, with the request's id; the request's own end
    // comes later through the event loop.
    QCOMPARE(m_signals, expected);
    for (QmdRequestId announced : std::as_const(m_rids))
        QCOMPARE(announced, rid);
    QCOMPARE(m_names.first(), given);
    if (m_signals.contains(QStringLiteral("fileNameChanged")))
        QCOMPARE(m_names.last(), absolute);
    QVERIFY(finished.isEmpty());
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).value<QmdRequestId>(), rid);
    QCOMPARE(finished.at(0).at(1).toInt(), success ? 0 : -1);

    QCOMPARE(m_controller->hookNames, QStringList(absolute));
    QCOMPARE(m_controller->hookTexts, QStringList(mode == 0 ? "Save" : "Load"));
    QCOMPARE(m_controller->fileName(), success && mode != 2 ? absolute : QString());
    QCOMPARE(m_controller->isAtCleanState(), success);

    const bool replaced = success && mode != 0;
    QCOMPARE(m_controller->data(QStringLiteral("Title")),
             replaced ? QVariant() : QVariant(QStringLiteral("draft")));
    // A new document's history starts empty; a failure keeps the old one.
    QCOMPARE(m_controller->canUndo(), !replaced);
}

void TestQmdDocController::saveUnderTheHeldNameKeepsIt()
{
    m_controller->requestSave(QStringLiteral("a.vlk"));
    m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("final"));
    m_signals.clear();
    m_controller->requestSave(QDir::current().absoluteFilePath(QStringLiteral("a.vlk")));
    QCOMPARE(m_signals, QStringList("fileSaved"));
    QVERIFY(m_controller->isAtCleanState());
}

void TestQmdDocController::failedSaveKeepsTheOldName()
{
    m_controller->requestSave(QStringLiteral("a.vlk"));
    m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("final"));
    m_signals.clear();
    m_names.clear();
    m_controller->error = QFile::PermissionsError;
    m_controller->requestSave(QStringLiteral("b.vlk"));
    QCOMPARE(m_signals, QStringList("fileSaveError(13)"));
    QCOMPARE(m_names, QStringList("b.vlk"));
    QCOMPARE(m_controller->fileName(), QDir::current().absoluteFilePath(QStringLiteral("a.vlk")));
    QVERIFY(!m_controller->isAtCleanState());
}

void TestQmdDocController::emptyFileNameIsAnOpenError()
{
    m_signals.clear();
    m_controller->requestSave(QString());
    m_controller->requestLoad(QString());
    QCOMPARE(m_signals, QStringList({"fileSaveError(5)", "fileLoadError(5)"}));
    QVERIFY(m_controller->hookNames.isEmpty());
    QCOMPARE(m_controller->fileName(), QString());
}

void TestQmdDocController::throwingHookIsAFailureAndReleasesTheLock()
{
    m_controller->throwing = true;
    m_signals.clear();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("value out of range"));
    m_controller->requestLoad(QStringLiteral("broken.vlk"));
    QCOMPARE(m_signals, QStringList("fileLoadError(1)"));
    QCOMPARE(m_controller->data(QStringLiteral("Title")), QVariant(QStringLiteral("draft")));

    // Another thread can still make a request: the lock was released.
    std::unique_ptr<QThread> worker(QThread::create([this] {
        m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("after"));
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QCOMPARE(m_controller->data(QStringLiteral("Title")), QVariant(QStringLiteral("after")));
}

QTEST_GUILESS_MAIN(TestQmdDocController)
#include "tst_qmddoccontroller.moc"
