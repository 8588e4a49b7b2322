#ifndef DESKTOP_H
#define DESKTOP_H

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <vector>

// The private desktop of an end-to-end run: an X server of its own on a free
// display, a window manager on it, temporary home and XDG folders, and the
// programs started there. Everything it starts it ends by process id, also
// when the run fails half-way.
class Desktop
{
public:
    Desktop();
    ~Desktop();

    bool start(QString *error);
    void stop();

    QString display() const { return m_display; }
    QString home() const { return m_home.path(); }
    // The environment of a program shown on this desktop.
    QProcessEnvironment environment() const;

    // Starts a program on the desktop; it is ended with the desktop unless it
    // ends first.
    QProcess *launch(const QString &program, const QStringList &arguments, const QString &workingFolder);
    // Ends one launched process by its id (terminate, then kill).
    static void end(QProcess *process, int graceMs = 3000);

    // xdotool with the given arguments; its standard output, trimmed.
    QString xdotool(const QStringList &arguments, int *exitCode = nullptr) const;
    // The visible top-level windows whose title is exactly `title`.
    QStringList windows(const QString &title) const;
    // Polls until as many windows have the title; true when they came in time.
    bool waitForWindows(const QString &title, int count, int timeoutMs, QStringList *found = nullptr) const;
    QRect geometry(const QString &window) const;
    // The window's state atoms (_NET_WM_STATE), as xprop names them.
    QString windowState(const QString &window) const;

    // Saves a picture of the whole screen.
    bool screenshot(const QString &fileName, const QString &helper) const;

private:
    QTemporaryDir m_home;
    QString m_display;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_windowManager;
    std::vector<std::unique_ptr<QProcess>> m_launched;
};

// Polls the condition every 50 ms, with the event loop running, until it
// holds or the time is up.
template <class Condition>
bool pollUntil(Condition condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(50);
    }
}

#endif // DESKTOP_H
