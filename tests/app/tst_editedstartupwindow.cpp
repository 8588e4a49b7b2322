#include "applicationenvironment.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "velkaapplication.h"
#include "velkawindow.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

// The start-up window, once the user has changed it, is never reused for a
// file (the untouched case is in tst_documentcommands).
class TestEditedStartupWindow : public QObject
{
    Q_OBJECT

public:
    explicit TestEditedStartupWindow(const QString &work) : m_work(work) {}

private slots:
    void editedStartupWindowIsLeftAlone();

private:
    QString m_work;
};

void TestEditedStartupWindow::editedStartupWindowIsLeftAlone()
{
    VelkaApplication *app = VelkaApplication::instance();
    QTRY_COMPARE(app->windows().size(), 1);
    VelkaWindow *startup = app->windows().first();

    const QString fileName = QDir(m_work).filePath(QStringLiteral("doc.vlk"));
    {
        QmdMemModel model;
        QmdVelkaController controller;
        controller.setModel(&model);
        QSignalSpy saved(&controller, &QmdDocController::fileSaved);
        controller.requestSave(fileName);
        QVERIFY(saved.count() == 1 || saved.wait());
        controller.setModel(nullptr);
    }

    startup->controller()->requestSetData(QStringLiteral("Tempo"), 90, QmdIndex(),
                                          QmdRequestOptions(QStringLiteral("Tempo")));
    QTRY_VERIFY(!startup->controller()->isAtCleanState());

    app->openDocument(fileName);
    QCOMPARE(app->windows().size(), 2);
    VelkaWindow *opened = app->windows().last();
    QVERIFY(opened != startup);
    QTRY_COMPARE(opened->controller()->fileName(), fileName);
    QVERIFY(startup->controller()->fileName().isEmpty());
    QCOMPARE(startup->controller()->data(QStringLiteral("Tempo")).toInt(), 90);
    QVERIFY(!startup->controller()->isAtCleanState());
}

int main(int argc, char *argv[])
{
    return runWithApplication<TestEditedStartupWindow>(argc, argv);
}

#include "tst_editedstartupwindow.moc"
