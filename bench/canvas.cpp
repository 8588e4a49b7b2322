// Canvas figures: how long the grid background takes to repaint a 1280 x 800
// viewport, and how far behind the clock played nodes start to flash when
// records arrive faster than the scene drains them (32 per 16 ms pass).

#include "abstractsync.h"
#include "benchstats.h"
#include "displayscale.h"
#include "networkscene.h"
#include "playerfactory.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>

namespace {

constexpr quint64 P = QmdVelka::TicksPerPrincipal;
constexpr quint64 ticksPerSecond = 2 * P; // 120 bpm, one beat a principal

// A clock moved by hand.
class BenchSync : public AbstractSync
{
public:
    QString type() const override { return QStringLiteral("bench"); }
    QString description() const override { return type(); }
    bool isPlaying() const override { return true; }
    void setPlaying(bool) override {}
    uint tempo() const override { return 120; }
    uint principalsToBeatsNumerator() const override { return 1; }
    uint principalsToBeatsDenominator() const override { return 1; }
    quint64 currentNanoseconds() const override { return ticksToNanoseconds(tick); }
    quint64 currentTick() const override { return tick; }
    quint64 currentBeatTick() const override { return tick; }
    quint64 nanosecondsToTicks(quint64 ns) const override { return quint64((unsigned __int128)ns * ticksPerSecond / 1000000000u); }
    quint64 ticksToNanoseconds(quint64 t) const override { return quint64((unsigned __int128)t * 1000000000u / ticksPerSecond); }
    quint64 nanosecondsToBeatTicks(quint64 ns) const override { return nanosecondsToTicks(ns); }
    quint64 beatTicksToNanoseconds(quint64 t) const override { return ticksToNanoseconds(t); }
    quint64 ticksToBeatTicks(quint64 t) const override { return t; }
    quint64 beatTicksToTicks(quint64 t) const override { return t; }
    quint64 counterNanosecondsAtTick(quint64) const override { return 0; }
    quint64 counterNanosecondsAtBeatTick(quint64) const override { return 0; }
    void setTempo(uint) override {}
    void setPrincipalsToBeatsNumerator(uint) override {}
    void setPrincipalsToBeatsDenominator(uint) override {}

    quint64 tick = 0;
};

class BenchFactory : public PlayerFactory
{
public:
    AbstractSync *createSync(const QString &, QObject *parent) override
    {
        auto *sync = new BenchSync;
        sync->setParent(parent);
        return sync;
    }
    InstrumentPlayer *createInstrument(const QString &, QmdItemId) override { return nullptr; }
    VoicePlayer *createVoiceGroup(QmdItemId, QmdVelkaController *) override { return nullptr; }
};

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void backgroundFigures(QmdVelkaController &controller, NetworkScene &scene)
{
    std::printf("background repaint, 1280 x 800 viewport (ms: median, p99, max of 30)\n");
    QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
    for (int divs : {4, 64, 100000}) {
        controller.requestSetData(QStringLiteral("DivsPerPrincipal"), divs, QmdIndex());
        settle();
        for (qreal zoom : {1.0, 0.25}) {
            std::vector<double> times;
            for (int i = 0; i < 30; ++i) {
                QPainter painter(&image);
                QElapsedTimer timer;
                timer.start();
                scene.render(&painter, QRectF(0, 0, 1280, 800), QRectF(-333, -222, 1280 / zoom, 800 / zoom));
                times.push_back(timer.nsecsElapsed() / 1e6);
            }
            const Figures f = figures(times);
            std::printf("  divisions %6d zoom %.2f: %.2f  %.2f  %.2f\n", divs, zoom, f.median, f.p99, f.maximum);
        }
    }
}

void feedbackFigures(QmdVelkaController &controller, NetworkScene &scene)
{
    std::printf("feedback lag, 16 ms passes over 10 s of simulated time (clock tick at the flash minus the "
                "record's tick, ms)\n");
    auto *sync = static_cast<BenchSync *>(controller.sync());
    QList<QmdItemId> nodes;
    for (QmdItemId id : controller.elementIds())
        nodes.append(id);
    for (int rate : {1000, 2000, 4000}) {
        controller.feedbackPipe().clear();
        sync->tick = 0;
        scene.checkFeedbackPipe();
        std::vector<double> lags;
        int dropped = 0;
        quint64 fed = 0;
        const quint64 passTicks = ticksPerSecond * 16 / 1000;
        const quint64 total = 10 * ticksPerSecond;
        quint32 voice = 0;
        for (quint64 now = passTicks; now <= total; now += passTicks) {
            // Records due up to now, evenly spaced at the rate.
            const quint64 until = now * quint64(rate) / ticksPerSecond;
            for (; fed < until; ++fed) {
                const quint64 tick = fed * ticksPerSecond / quint64(rate);
                const QmdItemId node = nodes[int(fed % quint64(nodes.size()))];
                if (!controller.feedbackPipe().insert(FeedbackEvent(0, tick, 1, ++voice % 24 + 1, node, 0, 60, 100, P / 8)))
                    ++dropped;
            }
            // Which records this pass takes: those left after it.
            const int before = controller.feedbackPipe().size();
            quint64 front = 0;
            const bool any = controller.feedbackPipe().frontTick(&front) && front <= now;
            sync->tick = now;
            scene.checkFeedbackPipe();
            const int taken = before - controller.feedbackPipe().size();
            // Records leave in tick order: the taken ones run from front on.
            if (any && taken > 0) {
                for (int i = 0; i < taken; ++i) {
                    const quint64 index = (fed - quint64(before)) + quint64(i);
                    const quint64 tick = index * ticksPerSecond / quint64(rate);
                    lags.push_back(double(now - tick) * 1000.0 / double(ticksPerSecond));
                }
            }
        }
        std::sort(lags.begin(), lags.end());
        const double median = lags.empty() ? 0 : lags[lags.size() / 2];
        const double p95 = lags.empty() ? 0 : lags[std::min(lags.size() - 1, size_t(0.95 * double(lags.size() - 1) + 0.5))];
        std::printf("  %5d records/s: shown %zu, median %.1f ms, p95 %.1f ms, max %.1f ms, dropped at the pipe's limit %d, left %d\n",
                    rate, lags.size(), median, p95, lags.empty() ? 0.0 : lags.back(), dropped,
                    controller.feedbackPipe().size());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    QApplication app(argc, argv);
    setDisplayScale(96, 96);
    BenchFactory factory;
    QmdVelkaController::setPlayerFactory(&factory);
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    settle();
    for (int i = 0; i < 16; ++i)
        controller.requestAddNode(QmdVelka::TickPos(qint64(i % 4) * qint64(P), qint64(i / 4) * qint64(P)));
    settle();
    NetworkScene scene;
    scene.setController(&controller);
    settle();
    backgroundFigures(controller, scene);
    feedbackFigures(controller, scene);
    scene.setController(nullptr);
    QmdVelkaController::setPlayerFactory(nullptr);
    return 0;
}
