#include "auditionoutput.h"
#include "canvasfixture.h"
#include "nodeaudition.h"

#include <limits>
#include <vector>

using QmdVelka::TickPos;

namespace {

constexpr qint64 P = CanvasFixture::P;

// The thru instrument as the canvas sees it: a queue, a port that is open or
// not, a clock set by hand; it records when its notes were switched off.
class FakeAuditionOutput : public AuditionOutput
{
public:
    explicit FakeAuditionOutput(quint32 limit = 1000) : queue(limit) {}

    bool isOpen() const override { return open; }
    TimedEventQueue<InstrumentEvent> &eventQueue() override { return queue; }
    void allNotesOff() override
    {
        ++allNotesOffCalls;
        queuedAtAllNotesOff = queue.size();
    }
    quint64 currentTick() const override { return tick; }

    std::vector<InstrumentEvent> records()
    {
        std::vector<InstrumentEvent> out;
        queue.takeDue(out, std::numeric_limits<int>::max(), std::numeric_limits<quint64>::max());
        return out;
    }

    TimedEventQueue<InstrumentEvent> queue;
    bool open = true;
    quint64 tick = 5 * P + 17;
    int allNotesOffCalls = 0;
    int queuedAtAllNotesOff = -1;
};

struct Note
{
    quint32 type;
    quint64 tick;
    int pitch;
    int velocity;
};

} // namespace

// An Alt-click on a node with the selection tool plays its pitch list once on
// the installed output.
class TestNodeAudition : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pitchesOfAList_data();
    void pitchesOfAList();
    void altClickQueuesTheNotes();
    void fullQueueStopsAtTheLastPairThatFits();
    void nothingPlays_data();
    void nothingPlays();

private:
    void altClick(const QPointF &scenePos);

    std::unique_ptr<CanvasFixture> f;
    std::unique_ptr<FakeAuditionOutput> output;
    QmdItemId node = 0;
};

void TestNodeAudition::init()
{
    f = std::make_unique<CanvasFixture>();
    f->view();
    f->controller()->requestSetData(QStringLiteral("Tool"), int(NetworkView::SelectionTool), QmdIndex(),
                                    QmdRequestOptions(Qmd::NoUndoHistory));
    node = f->addNode(TickPos(0, 0));
    f->scene()->clearSelection();
    output = std::make_unique<FakeAuditionOutput>();
    // Something that sounds already: the audition replaces it.
    output->queue.insert(InstrumentEvent::noteOn(P, 50, 100));
    AuditionOutput::install(output.get());
}

void TestNodeAudition::cleanup()
{
    AuditionOutput::install(nullptr);
    f.reset();
    output.reset();
}

void TestNodeAudition::altClick(const QPointF &scenePos)
{
    f->click(scenePos, Qt::AltModifier);
}

void TestNodeAudition::pitchesOfAList_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<std::vector<int>>("pitches");

    QTest::newRow("names and steps") << "C3,+2,+2,-4" << std::vector<int>{60, 62, 64, 60};
    QTest::newRow("up to the top") << "+100" << std::vector<int>{127};
    QTest::newRow("down to the bottom") << "-100" << std::vector<int>{0};
    QTest::newRow("clamped, then carried") << "+100,-7" << std::vector<int>{127, 120};
    QTest::newRow("offsets beyond 32 bits") << "+4294967296,-4294967296" << std::vector<int>{127, 0};
    QTest::newRow("offsets at the ends of 64 bits")
        << "+9223372036854775807,-9223372036854775808" << std::vector<int>{127, 0};
    QTest::newRow("unreadable offset adds nothing") << "D3,+x,+99999999999999999999" << std::vector<int>{62, 62, 62};
    QTest::newRow("sharps and octaves") << "C#-2,G8,A#4" << std::vector<int>{1, 127, 82};
    QTest::newRow("empty entries kept") << "C3,,E3" << std::vector<int>{60, 0, 64};
}

void TestNodeAudition::pitchesOfAList()
{
    QFETCH(QString, list);
    QFETCH(std::vector<int>, pitches);
    QCOMPARE(auditionPitches(list), pitches);
}

void TestNodeAudition::altClickQueuesTheNotes()
{
    f->set(node, QStringLiteral("PitchList"), QStringLiteral("C3,+2,+2,-4"));
    const int steps = f->controller()->undoRedoCount();
    altClick(QPointF(0, 0));

    QCOMPARE(output->allNotesOffCalls, 1);
    QCOMPARE(output->queuedAtAllNotesOff, 0); // the earlier note went first
    const quint64 t0 = output->tick;
    const std::vector<Note> expected{
        {InstrumentEvent::NoteOn, t0, 60, 64},          {InstrumentEvent::NoteOff, t0 + P, 60, 64},
        {InstrumentEvent::NoteOn, t0 + P, 62, 64},      {InstrumentEvent::NoteOff, t0 + 2 * P, 62, 64},
        {InstrumentEvent::NoteOn, t0 + 2 * P, 64, 64},  {InstrumentEvent::NoteOff, t0 + 3 * P, 64, 64},
        {InstrumentEvent::NoteOn, t0 + 3 * P, 60, 64},  {InstrumentEvent::NoteOff, t0 + 4 * P, 60, 64},
    };
    const std::vector<InstrumentEvent> records = output->records();
    QCOMPARE(records.size(), expected.size());
    // Records of one tick keep their order: the note off before the next note on.
    for (size_t i = 0; i < records.size(); ++i) {
        QCOMPARE(records[i].type, expected[i].type);
        QCOMPARE(records[i].pos, expected[i].tick);
        QCOMPARE(int(records[i].pitch), expected[i].pitch);
        QCOMPARE(int(records[i].velocity), expected[i].velocity);
    }
    // Listening changes nothing in the document and selects nothing.
    QCOMPARE(f->controller()->undoRedoCount(), steps);
    QVERIFY(f->scene()->selectedElementIds().isEmpty());
}

void TestNodeAudition::fullQueueStopsAtTheLastPairThatFits()
{
    output = std::make_unique<FakeAuditionOutput>(5);
    AuditionOutput::install(output.get());
    f->set(node, QStringLiteral("PitchList"), QStringLiteral("C3,D3,E3,F3"));
    altClick(QPointF(0, 0));
    const std::vector<InstrumentEvent> records = output->records();
    QCOMPARE(records.size(), size_t(4));
    QCOMPARE(int(records[0].pitch), 60);
    QCOMPARE(int(records[3].pitch), 62);
    QCOMPARE(records[3].type, quint32(InstrumentEvent::NoteOff));
}

void TestNodeAudition::nothingPlays_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("port closed") << "closed";
    QTest::newRow("empty canvas") << "empty";
    QTest::newRow("text box") << "text";
    QTest::newRow("no output installed") << "none";
    QTest::newRow("click without Alt") << "plain";
    QTest::newRow("Alt with another tool") << "tool";
}

void TestNodeAudition::nothingPlays()
{
    QFETCH(QString, where);
    f->set(node, QStringLiteral("PitchList"), QStringLiteral("C3,D3"));
    const QmdItemId box = f->addTextBox(TickPos(0, 2 * P));
    if (auto *item = f->itemFor<ElementItem>(box))
        item->graphicsItem()->clearFocus();
    f->scene()->setFocusItem(nullptr);
    QPointF at(0, 0);
    if (where == QLatin1String("closed"))
        output->open = false;
    else if (where == QLatin1String("empty"))
        at = QPointF(400, 300);
    else if (where == QLatin1String("text"))
        at = f->scene()->elementItem(box)->graphicsItem()->sceneBoundingRect().center();
    else if (where == QLatin1String("none"))
        AuditionOutput::install(nullptr);
    else if (where == QLatin1String("tool"))
        f->controller()->requestSetData(QStringLiteral("Tool"), int(NetworkView::VoiceGroupTool), QmdIndex(),
                                        QmdRequestOptions(Qmd::NoUndoHistory));
    CanvasFixture::settle();

    if (where == QLatin1String("plain"))
        f->click(at);
    else
        altClick(at);
    QCOMPARE(output->allNotesOffCalls, 0);
    const std::vector<InstrumentEvent> records = output->records();
    QCOMPARE(records.size(), size_t(1)); // only what was queued before
    QCOMPARE(int(records[0].pitch), 50);
}

CANVAS_TEST_MAIN(TestNodeAudition)
#include "tst_nodeaudition.moc"
