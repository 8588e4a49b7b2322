// The program as a user meets it: started through scripts/run on a desktop of
// its own, driven by mouse and keys, heard on a JACK port, its files read
// back. Each step is one test function; they run in order and build on each
// other, so a failed step skips the rest. After every step the screen is
// saved under the build folder's e2e/.
#include "desktop.h"
#include "monotonicclock.h"
#include "notenames.h"
#include "playbackcapture.h"
#include "qmdmemmodel.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"
#include "tickpos.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString SourceFolder = QStringLiteral(VELKA_SOURCE_DIR);
const QString ScreenshotFolder = QStringLiteral(VELKA_E2E_OUTPUT_DIR);
const QString ScreenshotHelper = QStringLiteral(VELKA_E2E_SCREENSHOT);

constexpr int BuildTimeoutMs = 45 * 60 * 1000;
constexpr int WindowTimeoutMs = 20000;
constexpr int SecondLaunchMs = 10000;
constexpr int CloseWhilePlayingMs = 5000;
constexpr int PlayMs = 4000;
constexpr int AfterPauseMs = 1500;
constexpr double TicksPerPrincipal = 665280;
// How far a note may lie from where the edge lengths put it: 20 ms, and one
// period of the JACK server is added when it is known.
constexpr double ToleranceNs = 20e6;

// The layout of a document window on this screen, from the top left of the
// window's inside: the menu bar and the tool bar above the canvas, the
// inspector dock and a scroll bar to its right, a scroll bar below it.
constexpr int CanvasTop = 82;
constexpr int CanvasRightMargin = 305;
constexpr int CanvasBottomMargin = 15;
// Grid points lie a quarter principal apart: a principal is 120 points, 160
// pixels at the 96 dpi Qt takes for the screen, shown at 75 % in a new window.
constexpr int GridPixels = 30;
// The inspector's page transition takes a quarter second; the page's fields
// take clicks once it is over.
constexpr int InspectorTransitionMs = 750;
// Longer than the double-click time, in seconds for xdotool.
const QString PressPause = QStringLiteral("0.5");

// Whether a launch ends within ms. A launch that handed its files to the
// running program may have ended before it is waited for, and waiting for an
// ended process answers false.
bool endsWithin(QProcess *process, int ms)
{
    return process->state() == QProcess::NotRunning || process->waitForFinished(ms);
}

// Points of the inspector dock, from the top right of the window's inside.
const QPoint InstrumentPageButton(-199, 112);
const QPoint FirstInstrument(-234, 132);
const QPoint PortBox(-110, 356);
const QPoint PitchListField(-103, 263);

QString runScript()
{
    return SourceFolder + QStringLiteral("/scripts/run");
}

QString programFile()
{
    return QFileInfo(SourceFolder + QStringLiteral("/build/app/velka")).absoluteFilePath();
}

QString exeOf(qint64 pid)
{
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

// The running processes of the program under test on the given desktop: an
// instance the developer runs meanwhile does not count.
QList<qint64> programProcesses(const Desktop &desktop)
{
    QList<qint64> found;
    const QString program = programFile();
    const QByteArray home = "HOME=" + QFile::encodeName(desktop.home()) + '\0';
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || exeOf(pid) != program)
            continue;
        QFile environment(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environment.open(QIODevice::ReadOnly) && ('\0' + environment.readAll()).contains('\0' + home))
            found.append(pid);
    }
    return found;
}

bool isNoteOn(const PlaybackCapture::Event &event)
{
    return event.size == 3 && (event.bytes[0] & 0xF0) == 0x90 && event.bytes[2] > 0;
}

bool isAllNotesOff(const PlaybackCapture::Event &event)
{
    return event.size == 3 && (event.bytes[0] & 0xF0) == 0xB0 && event.bytes[1] == 123;
}

struct Note
{
    quint64 time;
    int pitch;
};

// What a saved two-node network should sound like: the voice starts on A and
// alternates between A and B along the two edges.
struct Network
{
    int nodes = 0;
    int edges = 0;
    int voiceGroups = 0;
    QString pitchListA;
    QList<int> pitchesA;
    QList<int> pitchesB;
    double nsAB = 0;
    double nsBA = 0;
};

QList<int> pitchesOf(const QString &list)
{
    QList<int> pitches;
    for (const QString &name : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        pitches.append(noteNameToNumber(name.trimmed()));
    return pitches;
}

std::optional<Network> readNetwork(const QString &fileName, QString *error)
{
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    QSignalSpy loaded(&controller, &QmdDocController::fileLoaded);
    QSignalSpy failed(&controller, &QmdDocController::fileLoadError);
    controller.requestLoad(fileName);
    pollUntil([&] { return loaded.count() + failed.count() > 0; }, 10000);
    if (loaded.isEmpty()) {
        *error = QStringLiteral("%1 does not load").arg(fileName);
        return std::nullopt;
    }
    Network network;
    QmdItemId a = 0;
    QList<QmdItemId> nodes;
    QList<QmdItemId> edges;
    for (QmdItemId id : controller.elementIds()) {
        const QmdIndex element = controller.elementIndex(id);
        switch (controller.elementType(id)) {
        case QmdVelka::Node:
            nodes.append(id);
            break;
        case QmdVelka::Edge:
            edges.append(id);
            break;
        case QmdVelka::VoiceGroup:
            ++network.voiceGroups;
            a = controller.data(QStringLiteral("ToNode"), element).toUInt();
            break;
        default:
            break;
        }
    }
    network.nodes = nodes.size();
    network.edges = edges.size();
    if (nodes.size() != 2 || edges.size() != 2 || network.voiceGroups != 1 || !nodes.contains(a)) {
        *error = QStringLiteral("%1 holds %2 nodes, %3 edges and %4 voice groups")
                     .arg(fileName).arg(nodes.size()).arg(edges.size()).arg(network.voiceGroups);
        return network;
    }
    const QmdItemId b = nodes.at(0) == a ? nodes.at(1) : nodes.at(0);
    network.pitchListA = controller.data(QStringLiteral("PitchList"), controller.elementIndex(a)).toString();
    network.pitchesA = pitchesOf(network.pitchListA);
    network.pitchesB = pitchesOf(controller.data(QStringLiteral("PitchList"), controller.elementIndex(b)).toString());

    const double tempo = qMax(1u, controller.data(QStringLiteral("Tempo")).toUInt());
    const double numerator = qMax(1u, controller.data(QStringLiteral("PrincipalsToBeatsNumerator")).toUInt());
    const double denominator = qMax(1u, controller.data(QStringLiteral("PrincipalsToBeatsDenominator")).toUInt());
    const double nsPerTick = denominator * 6e10 / (numerator * TicksPerPrincipal * tempo);
    for (QmdItemId edge : edges) {
        const QmdIndex index = controller.elementIndex(edge);
        const QmdItemId from = controller.data(QStringLiteral("FromNode"), index).toUInt();
        const double ns = double(controller.edgeLength(edge)) * nsPerTick;
        (from == a ? network.nsAB : network.nsBA) = ns;
    }
    controller.setModel(nullptr);
    return network;
}

// Writes the network the user would draw: A holding "C3,E3,G3", B to its
// right and below, A to B the direct way and back round the corner, a voice
// group on A, one instrument on the given port.
bool writeNetwork(const QString &fileName, const QString &port)
{
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    const QmdRequestOptions options(QStringLiteral("Network"));
    controller.requestAddInstrument(options);
    pollUntil([&] { return !controller.instrumentIds().isEmpty(); }, 5000);
    if (controller.instrumentIds().isEmpty())
        return false;
    controller.requestSetData(QStringLiteral("MidiPort"), port,
                              controller.instrumentIndex(controller.instrumentIds().first()), options);
    controller.requestAddNode(QmdVelka::TickPos(0, 0), QmdVelka::NoCreationFlags, options);
    controller.requestAddNode(QmdVelka::TickPos(665280, 332640), QmdVelka::NoCreationFlags, options);
    pollUntil([&] { return controller.elementIds().size() == 2; }, 5000);
    const QmdItemIdList nodes = controller.elementIds();
    if (nodes.size() != 2)
        return false;
    const QmdIndex a = controller.elementIndex(nodes.at(0));
    const QmdIndex b = controller.elementIndex(nodes.at(1));
    controller.requestSetData(QStringLiteral("PitchList"), QStringLiteral("C3,E3,G3"), a, options);
    controller.requestSetData(QStringLiteral("PitchList"), QStringLiteral("D3,A3"), b, options);
    controller.requestAddEdge(a, b, QmdVelka::Direct, QmdVelka::NoCreationFlags, options);
    controller.requestAddEdge(b, a, QmdVelka::CityBlock, QmdVelka::NoCreationFlags, options);
    controller.requestAddVoiceGroup(a, QmdVelka::NoCreationFlags, options);
    pollUntil([&] { return controller.elementIds().size() == 5; }, 5000);
    QSignalSpy saved(&controller, &QmdDocController::fileSaved);
    controller.requestSave(fileName);
    const bool ok = pollUntil([&] { return saved.count() > 0; }, 10000);
    controller.setModel(nullptr);
    return ok;
}

} // namespace

class EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    // The steps, in the order a new user takes them.
    void launch();
    void secondLaunch();
    void playPreparedDocument();
    void networkByMouse();
    void inspector();
    void play();
    void save();
    void exitFromMenu();
    void relaunch();
    void undoAndModifiedState();
    void closeWhilePlaying();

private:
    // Starts scripts/run and waits for its build; false when the build
    // failed or timed out. The build's time is added to m_buildMs.
    QProcess *startRun(const QStringList &arguments, const QString &folder, QString *error);
    QString window(const QString &title) const;
    // The screen point of a grid point, counted in grid steps from the scene's
    // origin, which lies in the middle of the canvas while the network fits in it.
    QPoint gridPoint(const QString &window, int columns, int rows) const;
    // A point of the inspector dock, given from the window's top right.
    QPoint dockPoint(const QString &window, const QPoint &fromTopRight) const;
    void activate(const QString &window) const;
    static QStringList pointAt(const QPoint &at);
    void click(const QPoint &at) const;
    void drag(const QPoint &from, const QPoint &to) const;
    void keys(const QString &keys) const;
    void type(const QString &text) const;
    // Space on the canvas, PlayMs of playback, Space again; the events heard.
    // A rewind half-way (Ctrl+Left) leaves the events from its new start on.
    std::vector<PlaybackCapture::Event> playAndPause(const QString &window, quint64 *pausedAt,
                                                      bool rewindHalfWay = false);
    // Compares what was heard with what the file says; empty when it matches.
    QString checkPlayback(const std::vector<PlaybackCapture::Event> &events, quint64 pausedAt,
                          const QString &fileName, QList<int> *pitches);

    Desktop m_desktop;
    PlaybackCapture m_capture;
    QString m_capturePort;
    QTemporaryDir m_work;
    QProcess *m_program = nullptr;
    int m_step = 0;
    bool m_failed = false;
    qint64 m_buildMs = 0;
    QElapsedTimer m_ownTime;
    QString m_drawnWindow;
    std::vector<PlaybackCapture::Event> m_firstPlayback;
    quint64 m_firstPausedAt = 0;
    QList<int> m_firstPitches;
    QString m_playWindow;
};

void EndToEnd::initTestCase()
{
    m_ownTime.start();
    QDir(ScreenshotFolder).removeRecursively();
    QVERIFY(QDir().mkpath(ScreenshotFolder));
    QVERIFY(m_work.isValid());
    QString error;
    QVERIFY2(m_desktop.start(&error), qPrintable(error));
    QVERIFY2(m_capture.open(QStringLiteral("velka-e2e"), {QStringLiteral("capture")}, &error), qPrintable(error));
    m_capturePort = m_capture.fullPortName(0);
}

void EndToEnd::init()
{
    if (m_failed)
        QSKIP("an earlier step failed");
}

void EndToEnd::cleanup()
{
    ++m_step;
    const QString file = QDir(ScreenshotFolder)
                             .filePath(QStringLiteral("%1-%2.png")
                                           .arg(m_step, 2, 10, QLatin1Char('0'))
                                           .arg(QString::fromLatin1(QTest::currentTestFunction())));
    if (!m_desktop.display().isEmpty())
        m_desktop.screenshot(file, ScreenshotHelper);
    if (QTest::currentTestFailed()) {
        m_failed = true;
        qWarning("step %s failed; the screen: %s", QTest::currentTestFunction(), qPrintable(file));
        if (m_program) {
            const bool running = m_program->state() != QProcess::NotRunning;
            qWarning("the program %s; its output:\n%s",
                     running ? "runs"
                             : qPrintable(QStringLiteral("ended with status %1%2")
                                              .arg(m_program->exitCode())
                                              .arg(m_program->exitStatus() == QProcess::CrashExit
                                                       ? QStringLiteral(" (crashed)")
                                                       : QString())),
                     m_program->readAll().constData());
        }
    }
}

void EndToEnd::cleanupTestCase()
{
    m_desktop.stop();
    m_capture.close();
    qInfo("scripts/run until the program started (its build): %.1f s; the run itself: %.1f s",
          double(m_buildMs) / 1000, double(m_ownTime.elapsed() - m_buildMs) / 1000);
}

QProcess *EndToEnd::startRun(const QStringList &arguments, const QString &folder, QString *error)
{
    QElapsedTimer build;
    build.start();
    QProcess *process = m_desktop.launch(runScript(), arguments, folder);
    // The script replaces itself with the program once the build is done.
    const QString program = programFile();
    const bool built = pollUntil(
        [&] { return process->state() == QProcess::NotRunning || exeOf(process->processId()) == program; },
        BuildTimeoutMs);
    m_buildMs += build.elapsed();
    if (!built || (process->state() == QProcess::NotRunning && process->exitCode() != 0)) {
        *error = QStringLiteral("scripts/run %1 did not start the program:\n%2")
                     .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process->readAll()));
        return nullptr;
    }
    return process;
}

QString EndToEnd::window(const QString &title) const
{
    return m_desktop.windows(title).value(0);
}

QPoint EndToEnd::gridPoint(const QString &window, int columns, int rows) const
{
    const QRect inside = m_desktop.geometry(window);
    const QRect canvas = inside.adjusted(0, CanvasTop, -CanvasRightMargin, -CanvasBottomMargin);
    return canvas.topLeft() + QPoint(canvas.width() / 2, canvas.height() / 2) + QPoint(columns, rows) * GridPixels;
}

QPoint EndToEnd::dockPoint(const QString &window, const QPoint &fromTopRight) const
{
    const QRect inside = m_desktop.geometry(window);
    return QPoint(inside.left() + inside.width(), inside.top()) + fromTopRight;
}

void EndToEnd::activate(const QString &window) const
{
    m_desktop.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
}

QStringList EndToEnd::pointAt(const QPoint &at)
{
    // A hand rests before it presses: a press soon after one on the same spot
    // would be a double click.
    return {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("sleep"),
            PressPause};
}

void EndToEnd::click(const QPoint &at) const
{
    m_desktop.xdotool(pointAt(at) << QStringLiteral("click") << QStringLiteral("1"));
}

void EndToEnd::drag(const QPoint &from, const QPoint &to) const
{
    QStringList arguments = pointAt(from) << QStringLiteral("mousedown") << QStringLiteral("1");
    // Moves in small steps, as a hand does.
    for (int i = 1; i <= 10; ++i) {
        const QPoint at = from + (to - from) * i / 10;
        arguments << QStringLiteral("sleep") << QStringLiteral("0.03") << QStringLiteral("mousemove")
                  << QString::number(at.x()) << QString::number(at.y());
    }
    arguments << QStringLiteral("mouseup") << QStringLiteral("1");
    m_desktop.xdotool(arguments);
}

void EndToEnd::keys(const QString &keys) const
{
    QStringList arguments{QStringLiteral("key"), QStringLiteral("--clearmodifiers")};
    arguments += keys.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    m_desktop.xdotool(arguments);
}

void EndToEnd::type(const QString &text) const
{
    m_desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

std::vector<PlaybackCapture::Event> EndToEnd::playAndPause(const QString &window, quint64 *pausedAt,
                                                           bool rewindHalfWay)
{
    activate(window);
    // An empty corner of the canvas takes the keyboard focus.
    const QRect frame = m_desktop.geometry(window);
    click(frame.topLeft() + QPoint(30, frame.height() - 60));
    m_capture.take();
    keys(QStringLiteral("space"));
    QThread::msleep(PlayMs / 2);
    const quint64 rewoundAt = MonotonicClock::nanoseconds();
    if (rewindHalfWay)
        keys(QStringLiteral("ctrl+Left"));
    QThread::msleep(PlayMs / 2);
    const quint64 pausePressedAt = MonotonicClock::nanoseconds();
    keys(QStringLiteral("space"));
    *pausedAt = MonotonicClock::nanoseconds();
    QThread::msleep(AfterPauseMs);
    std::vector<PlaybackCapture::Event> events = m_capture.take();
    if (rewindHalfWay) {
        // The rewind silences what still sounds (All Notes Off, maybe more
        // than once, none when nothing sounded); the run begins anew with the
        // first note after the last of those before the pause.
        auto start = std::find_if(events.begin(), events.end(), [rewoundAt](const PlaybackCapture::Event &event) {
            return event.time >= rewoundAt;
        });
        for (auto it = start; it != events.end() && it->time < pausePressedAt; ++it) {
            if (isAllNotesOff(*it))
                start = it;
        }
        start = std::find_if(start, events.end(), isNoteOn);
        events.erase(events.begin(), start);
    }
    return events;
}

QString EndToEnd::checkPlayback(const std::vector<PlaybackCapture::Event> &events, quint64 pausedAt,
                                const QString &fileName, QList<int> *pitches)
{
    QString error;
    const std::optional<Network> network = readNetwork(fileName, &error);
    if (!network || !error.isEmpty())
        return error;
    if (network->pitchesA.isEmpty() || network->pitchesB.isEmpty())
        return QStringLiteral("a node of %1 has no pitches").arg(fileName);

    QList<Note> notes;
    std::optional<quint64> firstNotesOff;
    for (const PlaybackCapture::Event &event : events) {
        const int kind = event.bytes[0] & 0xF0;
        if (isNoteOn(event)) {
            if (firstNotesOff)
                return QStringLiteral("a note arrived after All Notes Off");
            notes.append({event.time, event.bytes[1]});
        } else if (isAllNotesOff(event)) {
            if (!firstNotesOff)
                firstNotesOff = event.time;
        } else if (firstNotesOff && kind != 0x80) {
            return QStringLiteral("MIDI status %1 arrived after All Notes Off").arg(event.bytes[0], 0, 16);
        }
    }
    if (!firstNotesOff || *firstNotesOff + 100000000 < pausedAt)
        return QStringLiteral("no All Notes Off after the pause");
    if (notes.size() < 4)
        return QStringLiteral("only %1 notes in %2 ms").arg(notes.size()).arg(PlayMs);

    const double tolerance = ToleranceNs + 1e9 * m_capture.periodFrames() / qMax(1u, m_capture.sampleRate());
    // A mismatch shows every note's time, from the first note, in ms, and
    // how busy the machine was.
    const auto heard = [&notes] {
        QStringList times;
        for (const Note &note : std::as_const(notes))
            times.append(QString::number(double(note.time - notes.first().time) / 1e6, 'f', 1));
        QFile load(QStringLiteral("/proc/loadavg"));
        const QString loadAverage = load.open(QIODevice::ReadOnly) ? QString::fromLatin1(load.readLine()).trimmed() : QString();
        return QStringLiteral(" (heard at %1; load average %2)").arg(times.join(QLatin1Char(' ')), loadAverage);
    };
    for (int i = 0; i < notes.size(); ++i) {
        const bool onA = i % 2 == 0;
        const QList<int> &list = onA ? network->pitchesA : network->pitchesB;
        const int expected = list.at((i / 2) % list.size());
        if (notes.at(i).pitch != expected)
            return QStringLiteral("note %1 is %2, not %3").arg(i).arg(noteNumberToName(notes.at(i).pitch),
                                                                     noteNumberToName(expected));
        if (i == 0)
            continue;
        const double spacing = double(notes.at(i).time - notes.at(i - 1).time);
        const double wanted = onA ? network->nsBA : network->nsAB;
        if (std::abs(spacing - wanted) > tolerance)
            return QStringLiteral("note %1 comes %2 ms after the one before, not %3 ms")
                       .arg(i).arg(spacing / 1e6, 0, 'f', 1).arg(wanted / 1e6, 0, 'f', 1)
                   + heard();
    }
    if (pitches) {
        for (const Note &note : std::as_const(notes))
            pitches->append(note.pitch);
    }
    return {};
}

// ---- Steps ----

void EndToEnd::launch()
{
    QString error;
    m_program = startRun({}, m_work.path(), &error);
    QVERIFY2(m_program, qPrintable(error));
    QStringList found;
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("Untitled"), 1, WindowTimeoutMs, &found),
             "no window \"Untitled\"");
    const QString state = m_desktop.windowState(found.first());
    QVERIFY2(state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_VERT"))
                 && state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_HORZ")),
             qPrintable(QStringLiteral("the window is not maximised: ") + state));
}

void EndToEnd::secondLaunch()
{
    // An example copied to a folder of its own, opened from another folder.
    const QString examples = QFileInfo(programFile()).dir().filePath(QStringLiteral("Examples"));
    const QStringList found = QDir(examples).entryList({QStringLiteral("*.vlk")}, QDir::Files, QDir::Name);
    QVERIFY2(!found.isEmpty(), "no example documents beside the program");
    QVERIFY(QDir(m_work.path()).mkpath(QStringLiteral("other/sub")));
    const QString other = m_work.filePath(QStringLiteral("other"));
    QVERIFY(QFile::copy(QDir(examples).filePath(found.first()), other + QStringLiteral("/sub/ref.vlk")));

    QString error;
    QProcess *second = startRun({QStringLiteral("sub/ref.vlk")}, other, &error);
    QVERIFY2(second, qPrintable(error));
    QVERIFY2(endsWithin(second, SecondLaunchMs), "the second launch did not end within 10 s");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("ref"), 1, WindowTimeoutMs), "no window \"ref\"");
    QCOMPARE(programProcesses(m_desktop), QList<qint64>{m_program->processId()});

    // The untouched start-up window may have taken the file: count anew.
    const int untitled = m_desktop.windows(QStringLiteral("Untitled")).size();
    QProcess *third = startRun({}, m_work.path(), &error);
    QVERIFY2(third, qPrintable(error));
    QVERIFY2(endsWithin(third, SecondLaunchMs), "the third launch did not end within 10 s");
    QCOMPARE(third->exitCode(), 0);
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("Untitled"), untitled + 1, WindowTimeoutMs),
             "no further \"Untitled\" window");
    QCOMPARE(programProcesses(m_desktop), QList<qint64>{m_program->processId()});
}

void EndToEnd::playPreparedDocument()
{
    // A network written beside the program's files, its instrument on the
    // capture port: it plays as its file says.
    const QString fileName = m_work.filePath(QStringLiteral("pair.vlk"));
    QVERIFY(writeNetwork(fileName, m_capturePort));
    QString error;
    QProcess *open = startRun({fileName}, m_work.path(), &error);
    QVERIFY2(open, qPrintable(error));
    QVERIFY(endsWithin(open, SecondLaunchMs));
    QStringList found;
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("pair"), 1, WindowTimeoutMs, &found), "no window \"pair\"");
    quint64 pausedAt = 0;
    const std::vector<PlaybackCapture::Event> events = playAndPause(found.first(), &pausedAt);
    const QString mismatch = checkPlayback(events, pausedAt, fileName, nullptr);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    m_playWindow = found.first();
}

void EndToEnd::networkByMouse()
{
    m_drawnWindow = m_desktop.windows(QStringLiteral("Untitled")).value(0);
    QVERIFY(!m_drawnWindow.isEmpty());
    activate(m_drawnWindow);
    // Maximised (a double click on the title bar), the window shows the
    // network where the relaunched one will: the undo step finds B there.
    const QRect frame = m_desktop.geometry(m_drawnWindow);
    m_desktop.xdotool({QStringLiteral("mousemove"), QString::number(frame.center().x()),
                       QString::number(frame.top() - 8), QStringLiteral("click"), QStringLiteral("--repeat"),
                       QStringLiteral("2"), QStringLiteral("1")});
    QVERIFY2(pollUntil([&] { return m_desktop.windowState(m_drawnWindow).contains(QLatin1String("MAXIMIZED_HORZ")); },
                       WindowTimeoutMs),
             "the window does not maximise");
    // A and B on grid points, where the snap leaves them: the later
    // gestures find them there.
    const QPoint a = gridPoint(m_drawnWindow, -2, -1);
    const QPoint b = gridPoint(m_drawnWindow, 0, 0);
    keys(QStringLiteral("ctrl+3"));
    click(a);
    drag(a, b);
    drag(b, a);
    keys(QStringLiteral("ctrl+4"));
    click(a);
    keys(QStringLiteral("ctrl+1"));
    click(a);
    // The drawing is judged by the saved file (see save).
}

void EndToEnd::inspector()
{
    // Selecting A brought up the Node page.
    QThread::msleep(InspectorTransitionMs);
    click(dockPoint(m_drawnWindow, PitchListField));
    keys(QStringLiteral("ctrl+a"));
    type(QStringLiteral("c3,e3,g3"));
    keys(QStringLiteral("Return"));

    click(dockPoint(m_drawnWindow, InstrumentPageButton));
    QThread::msleep(InspectorTransitionMs);
    click(dockPoint(m_drawnWindow, FirstInstrument));
    // The port box opens its list; typing the capture port's name picks it.
    click(dockPoint(m_drawnWindow, PortBox));
    type(m_capturePort);
    keys(QStringLiteral("Return"));
    // Both are judged by the saved file and the playback (see save).
}

void EndToEnd::play()
{
    m_firstPlayback = playAndPause(m_drawnWindow, &m_firstPausedAt);
    QVERIFY2(!m_firstPlayback.empty(), "nothing was heard");
    // The sequence is judged against the saved file (see save).
}

void EndToEnd::save()
{
    const QString fileName = m_work.filePath(QStringLiteral("net.vlk"));
    activate(m_drawnWindow);
    keys(QStringLiteral("ctrl+s"));
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("Save As"), 1, WindowTimeoutMs), "no Save As dialog");
    keys(QStringLiteral("ctrl+a"));
    type(fileName);
    keys(QStringLiteral("Return"));
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("net"), 1, WindowTimeoutMs), "no window \"net\"");
    QVERIFY2(pollUntil([&] { return QFileInfo::exists(fileName); }, WindowTimeoutMs), "net.vlk was not written");

    QString error;
    const std::optional<Network> network = readNetwork(fileName, &error);
    QVERIFY2(network && error.isEmpty(), qPrintable(error));
    QCOMPARE(QString(network->pitchListA).remove(QLatin1Char(' ')).toUpper(), QStringLiteral("C3,E3,G3"));
    const QString mismatch = checkPlayback(m_firstPlayback, m_firstPausedAt, fileName, &m_firstPitches);
    QVERIFY2(mismatch.isEmpty(), qPrintable(QStringLiteral("first playback: ") + mismatch));
}

void EndToEnd::exitFromMenu()
{
    activate(window(QStringLiteral("net")));
    // The open menu takes the second key.
    keys(QStringLiteral("alt+f x"));
    QVERIFY2(m_program->waitForFinished(CloseWhilePlayingMs), "the program did not end");
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
    QVERIFY(programProcesses(m_desktop).isEmpty());
}

void EndToEnd::relaunch()
{
    QString error;
    m_program = startRun({QStringLiteral("net.vlk")}, m_work.path(), &error);
    QVERIFY2(m_program, qPrintable(error));
    QStringList found;
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("net"), 1, WindowTimeoutMs, &found), "no window \"net\"");
    m_playWindow = found.first();
    const QString fileName = m_work.filePath(QStringLiteral("net.vlk"));

    quint64 pausedAt = 0;
    QList<int> pitches;
    QString mismatch = checkPlayback(playAndPause(m_playWindow, &pausedAt), pausedAt, fileName, &pitches);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    const int common = qMin(pitches.size(), m_firstPitches.size());
    QCOMPARE(pitches.mid(0, common), m_firstPitches.mid(0, common));

    // Back to the start while playing: the notes begin again with A's first.
    pitches.clear();
    mismatch = checkPlayback(playAndPause(m_playWindow, &pausedAt, true), pausedAt, fileName,
                             &pitches);
    QVERIFY2(mismatch.isEmpty(), qPrintable(QStringLiteral("after Ctrl+Left: ") + mismatch));
}

void EndToEnd::undoAndModifiedState()
{
    activate(m_playWindow);
    keys(QStringLiteral("ctrl+1"));
    drag(gridPoint(m_playWindow, 0, 0), gridPoint(m_playWindow, 2, 1));
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("net*"), 1, WindowTimeoutMs), "no modified marker");
    keys(QStringLiteral("ctrl+s"));
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("net"), 1, WindowTimeoutMs), "the marker stays after saving");
    keys(QStringLiteral("ctrl+z"));
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("Velka"), 1, WindowTimeoutMs), "no question before the undo");
    keys(QStringLiteral("Escape"));
    QVERIFY2(m_desktop.waitForWindows(QStringLiteral("Velka"), 0, WindowTimeoutMs), "the question stays open");
    QVERIFY2(m_desktop.windows(QStringLiteral("net*")).isEmpty(), "the undo went past the save");
    QCOMPARE(m_desktop.windows(QStringLiteral("net")).size(), 1);
}

void EndToEnd::closeWhilePlaying()
{
    QVERIFY(!m_playWindow.isEmpty());
    // Every other window goes first, so that the playing one is the last.
    for (const QString &title : {QStringLiteral("Untitled"), QStringLiteral("ref")}) {
        for (const QString &other : m_desktop.windows(title)) {
            activate(other);
            keys(QStringLiteral("alt+F4"));
        }
        QVERIFY2(m_desktop.waitForWindows(title, 0, WindowTimeoutMs),
                 qPrintable(QStringLiteral("a window \"%1\" stays open").arg(title)));
    }
    QVERIFY2(m_program->state() == QProcess::Running, "the program ended with its other windows");

    activate(m_playWindow);
    const QRect frame = m_desktop.geometry(m_playWindow);
    click(frame.topLeft() + QPoint(30, frame.height() - 60));
    m_capture.take();
    keys(QStringLiteral("space"));
    QVERIFY2(pollUntil([&] { return !m_capture.take().empty(); }, PlayMs), "nothing plays");
    keys(QStringLiteral("alt+F4"));
    QVERIFY2(m_program->waitForFinished(CloseWhilePlayingMs), "the program did not end within 5 s");
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
    QVERIFY(programProcesses(m_desktop).isEmpty());
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    EndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "endtoend.moc"
