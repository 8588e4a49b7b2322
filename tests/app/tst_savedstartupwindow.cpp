#include "applicationenvironment.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "velkaapplication.h"
#include "velkawindow.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

// The start-up window, once saved under a name, is the user's document: a
// file opened afterwards gets a window of its own (the untouched case is in
// tst_documentcommands, the edited one in tst_editedstartupwindow).
class TestSavedStartupWindow : public QObject
{
    Q_OBJECT

public:
    explicit TestSavedStartupWindow(const QString &work) : m_work(work) {}

private slots:
    void savedStartupWindowIsLeftAlone();

private:
    QString m_work;
};

void TestSavedStartupWindow::savedStartupWindowIsLeftAlone()
{
    VelkaApplication *app = VelkaApplication::instance();
    QTRY_COMPARE(app->windows().size(), 1);
    VelkaWindow *startup = app->windows().first();

    const QString other = QDir(m_work).filePath(QStringLiteral("y.vlk"));
    {
        QmdMemModel model;
        QmdVelkaController controller;
        controller.setModel(&model);
        QSignalSpy saved(&controller, &QmdDocController::fileSaved);
        controller.requestSave(other);
        QVERIFY(saved.count() == 1 || saved.wait());
        controller.setModel(nullptr);
    }

    // Edited, then saved as x.vlk: clean again, but no longer untitled.
    startup->controller()->requestSetData(QStringLiteral("Tempo"), 90, QmdIndex(),
                                          QmdRequestOptions(QStringLiteral("Tempo")));
    QTRY_VERIFY(!startup->controller()->isAtCleanState());
    const QString mine = QDir(m_work).filePath(QStringLiteral("x.vlk"));
    QSignalSpy saved(startup->controller(), &QmdDocController::fileSaved);
    startup->controller()->requestSave(mine);
    QVERIFY(saved.count() == 1 || saved.wait());
    QTRY_VERIFY(startup->controller()->isAtCleanState());

    app->openDocument(other);
    QCOMPARE(app->windows().size(), 2);
    VelkaWindow *opened = app->windows().last();
    QVERIFY(opened != startup);
    QTRY_COMPARE(opened->controller()->fileName(), other);
    QCOMPARE(startup->controller()->fileName(), mine);
    QCOMPARE(startup->controller()->data(QStringLiteral("Tempo")).toInt(), 90);
    QVERIFY(startup->isVisible());
}

int main(int argc, char *argv[])
{
    return runWithApplication<TestSavedStartupWindow>(argc, argv);
}

#include "tst_savedstartupwindow.moc"
