#include "datafiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

// Where the program finds its template, examples and manual: its own folder
// first, then the data folder of an installed program.
class TestDataFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void names();
    void searchOrder();
    void programFolderComesFirst();
    void installedFolderWhenAbsentBeside();
    void nothingWhenAbsentEverywhere();

private:
    static bool touch(const QString &path);

    QString m_name;
    QString m_beside;
    QString m_installed;
};

bool TestDataFiles::touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

void TestDataFiles::init()
{
    // A name no build places anywhere, so the test owns both copies.
    m_name = QStringLiteral("datafiles-probe-%1.vlk").arg(QCoreApplication::applicationPid());
    m_beside = QDir(QCoreApplication::applicationDirPath()).filePath(m_name);
    m_installed = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/velka/")
                                  + m_name);
}

void TestDataFiles::cleanup()
{
    QFile::remove(m_beside);
    QFile::remove(m_installed);
}

void TestDataFiles::names()
{
    QCOMPARE(DataFiles::templateFileName(), QStringLiteral("template.vlk"));
    QCOMPARE(DataFiles::examplesFolderName(), QStringLiteral("Examples"));
    QCOMPARE(DataFiles::manualFileName(), QStringLiteral("Velka Manual.pdf"));
}

void TestDataFiles::searchOrder()
{
    const QStringList folders = DataFiles::searchFolders();
    QVERIFY(folders.size() >= 2);
    QCOMPARE(folders.at(0), QCoreApplication::applicationDirPath());
    QCOMPARE(folders.at(1), QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/velka"));
    QVERIFY(folders.last().endsWith(QLatin1String("/share/velka")));
}

void TestDataFiles::programFolderComesFirst()
{
    QVERIFY(touch(m_beside));
    QVERIFY(touch(m_installed));
    QCOMPARE(DataFiles::locate(m_name), m_beside);
}

void TestDataFiles::installedFolderWhenAbsentBeside()
{
    QVERIFY(touch(m_installed));
    QCOMPARE(DataFiles::locate(m_name), m_installed);
}

void TestDataFiles::nothingWhenAbsentEverywhere()
{
    QCOMPARE(DataFiles::locate(m_name), QString());
    QCOMPARE(DataFiles::locate(QString()), QString());
}

QTEST_MAIN(TestDataFiles)
#include "tst_datafiles.moc"
