#ifndef APPLICATIONENVIRONMENT_H
#define APPLICATIONENVIRONMENT_H

#include "velkaapplication.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What a test process that runs the application object needs: an instance
// socket and a settings store of its own, no screen, and no MIDI system (JACK
// chosen, with no server of that name).
class ApplicationEnvironment
{
public:
    ApplicationEnvironment()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("VELKA_MIDI_API", "jack");
        qputenv("JACK_DEFAULT_SERVER", "velka-absent-" + QByteArray::number(QCoreApplication::applicationPid()));
        qputenv("JACK_NO_START_SERVER", "1");
    }

    bool isValid() const { return m_runtime.isValid() && m_config.isValid() && m_work.isValid(); }
    QString workPath() const { return m_work.path(); }

private:
    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    QTemporaryDir m_work;
};

// Runs the test case Test, made with the work folder, in such a process under
// the application object. The test's own arguments are not documents to open.
template <class Test>
int runWithApplication(int argc, char *argv[])
{
    ApplicationEnvironment environment;
    if (!environment.isValid())
        return 1;
    QByteArray program(argv[0]);
    int appArgc = 1;
    char *appArgv[] = {program.data(), nullptr};
    VelkaApplication app(appArgc, appArgv);
    Test test(environment.workPath());
    return QTest::qExec(&test, argc, argv);
}

#endif // APPLICATIONENVIRONMENT_H
