#include "desktop.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int ServerStartMs = 15000;
constexpr int CommandMs = 10000;

QString run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
            int *exitCode)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(CommandMs)) {
        Desktop::end(&process, 0);
        if (exitCode)
            *exitCode = -1;
        return {};
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

Desktop::Desktop() = default;

Desktop::~Desktop()
{
    stop();
}

bool Desktop::start(QString *error)
{
    if (!m_home.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    for (const char *folder : {"config", "data", "cache", "runtime"})
        QDir(m_home.path()).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(m_home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // The server picks a free display and writes its number to standard
    // output once it accepts connections.
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                             QStringLiteral("0"), QStringLiteral("1600x1000x24"),
                                             QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_server->waitForStarted(ServerStartMs)) {
        *error = QStringLiteral("Xvfb does not start: %1").arg(m_server->errorString());
        return false;
    }
    QByteArray number;
    const bool told = pollUntil(
        [&] {
            number += m_server->readAllStandardOutput();
            return number.contains('\n') || m_server->state() == QProcess::NotRunning;
        },
        ServerStartMs);
    if (!told || !number.contains('\n')) {
        *error = QStringLiteral("Xvfb gives no display: %1").arg(QString::fromLocal8Bit(m_server->readAllStandardError()));
        return false;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

    m_windowManager = std::make_unique<QProcess>();
    m_windowManager->setProcessEnvironment(environment());
    m_windowManager->setStandardOutputFile(QProcess::nullDevice());
    m_windowManager->setStandardErrorFile(QProcess::nullDevice());
    m_windowManager->start(QStringLiteral("openbox"), {});
    if (!m_windowManager->waitForStarted(ServerStartMs)) {
        *error = QStringLiteral("openbox does not start: %1").arg(m_windowManager->errorString());
        return false;
    }
    // The manager announces itself on the root window.
    const bool managed = pollUntil(
        [this] {
            int status = 0;
            const QString answer = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")},
                                       environment(), &status);
            return status == 0 && answer.contains(QLatin1String("window id"));
        },
        ServerStartMs);
    if (!managed) {
        *error = QStringLiteral("openbox does not manage the screen");
        return false;
    }
    return true;
}

void Desktop::stop()
{
    for (auto it = m_launched.rbegin(); it != m_launched.rend(); ++it)
        end(it->get());
    m_launched.clear();
    if (m_windowManager)
        end(m_windowManager.get());
    m_windowManager.reset();
    if (m_server)
        end(m_server.get());
    m_server.reset();
}

void Desktop::end(QProcess *process, int graceMs)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(graceMs)) {
        process->kill();
        process->waitForFinished(CommandMs);
    }
}

QProcessEnvironment Desktop::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("VELKA_MIDI_API"), QStringLiteral("jack"));
    // Helpers built with the sanitizers report no leaks of the X libraries.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("SESSION_MANAGER"));
    return environment;
}

QProcess *Desktop::launch(const QString &program, const QStringList &arguments, const QString &workingFolder)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment());
    process->setWorkingDirectory(workingFolder);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(program, arguments);
    m_launched.push_back(std::move(process));
    return m_launched.back().get();
}

QString Desktop::xdotool(const QStringList &arguments, int *exitCode) const
{
    return run(QStringLiteral("xdotool"), arguments, environment(), exitCode);
}

QStringList Desktop::windows(const QString &title) const
{
    const QString pattern = QStringLiteral("^") + QRegularExpression::escape(title) + QStringLiteral("$");
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool Desktop::waitForWindows(const QString &title, int count, int timeoutMs, QStringList *found) const
{
    QStringList now;
    const bool came = pollUntil(
        [&] {
            now = windows(title);
            return now.size() == count;
        },
        timeoutMs);
    if (found)
        *found = now;
    return came;
}

QRect Desktop::geometry(const QString &window) const
{
    const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QHash<QString, int> values;
    for (const QString &line : shell.split(QLatin1Char('\n'))) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1).toInt());
    }
    return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                 values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
}

QString Desktop::windowState(const QString &window) const
{
    return run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")}, environment(),
               nullptr);
}

bool Desktop::screenshot(const QString &fileName, const QString &helper) const
{
    int status = 0;
    run(helper, {fileName}, environment(), &status);
    return status == 0;
}
