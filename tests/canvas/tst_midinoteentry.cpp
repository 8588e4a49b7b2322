#include "canvasfixture.h"
#include "midievent.h"

using QmdVelka::TickPos;

// Notes from a MIDI keyboard, delivered to the view as the application
// delivers them, go into the selected nodes and voice groups.
class TestMidiNoteEntry : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void notesReplaceOrAppend_data();
    void notesReplaceOrAppend();
    void nodeAndVoiceGroupInOneStep();
    void elementsGoInIdOrder();
    void otherMessagesChangeNothing();
    void otherEventsOfTheSameNumberAreNoNotes();

private:
    void play(const QVector<unsigned char> &bytes, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void select(const QmdItemIdList &ids);

    std::unique_ptr<CanvasFixture> f;
    QmdItemId node = 0;
};

namespace {

const QString keyPitchList = QStringLiteral("PitchList");
const QString keyVelocityList = QStringLiteral("VelocityList");

using Message = QVector<unsigned char>;

} // namespace

void TestMidiNoteEntry::init()
{
    f = std::make_unique<CanvasFixture>();
    f->view();
    node = f->addNode(TickPos(0, 0));
    f->set(node, keyPitchList, QStringLiteral("A1,B1"));
    f->set(node, keyVelocityList, QStringLiteral("10,20"));
    select({node});
}

void TestMidiNoteEntry::play(const QVector<unsigned char> &bytes, Qt::KeyboardModifiers modifiers)
{
    MidiEvent event(0.0, bytes, modifiers);
    QApplication::sendEvent(f->view(), &event);
    CanvasFixture::settle();
}

void TestMidiNoteEntry::select(const QmdItemIdList &ids)
{
    f->scene()->clearSelection();
    for (QmdItemId id : ids)
        f->scene()->elementItem(id)->graphicsItem()->setSelected(true);
}

void TestMidiNoteEntry::notesReplaceOrAppend_data()
{
    QTest::addColumn<QList<Message>>("messages");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("pitches");
    QTest::addColumn<QString>("velocities");

    QTest::newRow("play, release, play: the last note")
        << QList<Message>{{0x90, 0x3c, 0x64}, {0x80, 0x3c, 0x00}, {0x90, 0x3e, 0x5a}} << false << "D3" << "90";
    QTest::newRow("note on of velocity 0 releases")
        << QList<Message>{{0x90, 0x3c, 0x64}, {0x90, 0x3c, 0x00}, {0x90, 0x3e, 0x5a}} << false << "D3" << "90";
    QTest::newRow("chord held: appended")
        << QList<Message>{{0x90, 0x3c, 0x64}, {0x90, 0x40, 0x50}, {0x90, 0x43, 0x40}} << false << "C3,E3,G3"
        << "100,80,64";
    QTest::newRow("shift: appended after a release")
        << QList<Message>{{0x90, 0x3c, 0x64}, {0x80, 0x3c, 0x40}, {0x90, 0x3e, 0x5a}} << true << "A1,B1,C3,D3"
        << "10,20,100,90";
    QTest::newRow("second channel taken like the first")
        << QList<Message>{{0x91, 0x3c, 0x64}} << false << "C3" << "100";
    QTest::newRow("release on another channel")
        << QList<Message>{{0x9f, 0x3c, 0x64}, {0x8f, 0x3c, 0x00}, {0x92, 0x3e, 0x5a}} << false << "D3" << "90";
    QTest::newRow("lowest and highest notes")
        << QList<Message>{{0x90, 0x00, 0x01}, {0x90, 0x7f, 0x7f}} << false << "C-2,G8" << "1,127";
}

void TestMidiNoteEntry::notesReplaceOrAppend()
{
    QFETCH(QList<Message>, messages);
    QFETCH(bool, shift);
    QFETCH(QString, pitches);
    QFETCH(QString, velocities);
    for (const Message &message : messages)
        play(message, shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(f->controller()->elementData(node, keyPitchList).toString(), pitches);
    QCOMPARE(f->controller()->elementData(node, keyVelocityList).toString(), velocities);
}

void TestMidiNoteEntry::nodeAndVoiceGroupInOneStep()
{
    QmdVelkaController *c = f->controller();
    const QmdItemId group = f->addVoiceGroup(node);
    f->set(group, QStringLiteral("InitialPitch"), QStringLiteral("A1"));
    f->set(group, QStringLiteral("InitialVelocity"), QStringLiteral("10"));
    select({node, group});
    const int steps = c->undoRedoCount();

    play({0x90, 0x3c, 0x64});
    QCOMPARE(c->elementData(node, keyPitchList).toString(), QStringLiteral("C3"));
    QCOMPARE(c->elementData(node, keyVelocityList).toString(), QStringLiteral("100"));
    QCOMPARE(c->elementData(group, QStringLiteral("InitialPitch")), QVariant(QStringLiteral("C3")));
    QCOMPARE(c->elementData(group, QStringLiteral("InitialVelocity")), QVariant(QStringLiteral("100")));
    QCOMPARE(c->undoRedoCount(), steps + 1);
    QCOMPARE(c->undoText(), QStringLiteral("MIDI Entry"));

    c->requestUndo();
    CanvasFixture::settle();
    QCOMPARE(c->elementData(node, keyPitchList).toString(), QStringLiteral("A1,B1"));
    QCOMPARE(c->elementData(group, QStringLiteral("InitialPitch")).toString(), QStringLiteral("A1"));
    QCOMPARE(c->elementData(group, QStringLiteral("InitialVelocity")).toString(), QStringLiteral("10"));
}

void TestMidiNoteEntry::elementsGoInIdOrder()
{
    QmdVelkaController *c = f->controller();
    QmdItemIdList nodes{node};
    for (int i = 1; i < 16; ++i)
        nodes.append(f->addNode(TickPos(i * CanvasFixture::P, 0)));
    select(nodes);
    QmdItemIdList written;
    connect(c, &QmdVelkaController::elementDataChanged, this,
            [&written](QmdItemId id, const QStringList &keys, QmdRequestId) {
                if (keys.contains(keyPitchList))
                    written.append(id);
            });
    const int steps = c->undoRedoCount();
    play({0x90, 0x3c, 0x64});
    QCOMPARE(c->undoRedoCount(), steps + 1);
    std::sort(nodes.begin(), nodes.end());
    QCOMPARE(written, nodes);
}

void TestMidiNoteEntry::otherMessagesChangeNothing()
{
    QmdVelkaController *c = f->controller();
    const int steps = c->undoRedoCount();
    play({0x90, 0x3c});                 // 2 bytes
    play({0x90, 0x3c, 0x64, 0x00});     // 4 bytes
    play({0xb0, 0x07, 0x64});           // control change
    play({0xa0, 0x3c, 0x64});           // aftertouch
    play({});
    QCOMPARE(c->undoRedoCount(), steps);
    QCOMPARE(c->elementData(node, keyPitchList).toString(), QStringLiteral("A1,B1"));

    // With nothing selected a note changes nothing, but counts as held.
    f->scene()->clearSelection();
    play({0x90, 0x3c, 0x64});
    QCOMPARE(c->undoRedoCount(), steps);
    select({node});
    play({0x90, 0x3e, 0x64});
    QCOMPARE(c->elementData(node, keyPitchList).toString(), QStringLiteral("A1,B1,D3"));
}

void TestMidiNoteEntry::otherEventsOfTheSameNumberAreNoNotes()
{
    // An event of the MIDI event's type number but another class (the
    // settings framework's) must not be read as a message.
    QEvent event(QEvent::Type(MidiEvent::eventType()));
    QApplication::sendEvent(f->view(), &event);
    CanvasFixture::settle();
    QCOMPARE(f->controller()->elementData(node, keyPitchList).toString(), QStringLiteral("A1,B1"));
}

CANVAS_TEST_MAIN(TestMidiNoteEntry)
#include "tst_midinoteentry.moc"
