#include "examples.h"

#include "documentbuilder.h"
#include "palette.h"

#include <QColor>
#include <QPointF>

#include <initializer_list>

namespace Examples {
namespace {

const QString SignallingMethodKey = QStringLiteral("SignallingMethod");
constexpr int SequentialMethod = 0;
constexpr int ParallelMethod = 1;
constexpr int RandomMethod = 2;

// Edges from each node of the path to the next, in order; their ids.
QList<QmdItemId> addPath(DocumentBuilder &doc, std::initializer_list<QmdItemId> nodes)
{
    QList<QmdItemId> edges;
    for (auto from = nodes.begin(), to = from + 1; to != nodes.end(); ++from, ++to)
        edges << doc.addEdge(*from, *to);
    return edges;
}

// Every example is laid out about the origin, where a window opens its
// canvas: at its zoom it shows whole in a canvas of 800 x 600 pixels, the
// text at the upper left and the network beside and below it.
constexpr double ExampleZoom = 0.75;

// The tempo, the zoom and the text box that tells what the example shows.
void describe(DocumentBuilder &doc, uint tempo, const QString &title, const QString &text)
{
    doc.setRoot({{QStringLiteral("Tempo"), tempo}, {QStringLiteral("ZoomScale"), ExampleZoom}});
    doc.addTextBox(-3, -2.2, title, text);
}

// One instrument on the default port and MIDI channel 1: a new document is
// ready to play as soon as nodes and a voice group are drawn.
void buildTemplate(DocumentBuilder &doc)
{
    doc.addInstrument(QStringLiteral("Instrument"), paletteColor(0), 1);
}

// A figure of eight: the middle node takes its two edges in turn. Voice group
// markers point at their node from the left, so each example starts its voice
// on a node with nothing to its left.
void buildSequential(DocumentBuilder &doc)
{
    const auto piano = doc.addInstrument(QStringLiteral("Piano"), paletteColor(0), 1);
    describe(doc, 132, QStringLiteral("Sequential signalling"),
             QStringLiteral("The middle node sends its voice along its edges in turn: first round the "
                            "right loop, then round the left one. Each node plays its next pitch as the "
                            "voice arrives."));
    const auto a = doc.addNode(1, 0, QStringLiteral("C3"));
    const auto b = doc.addNode(2, 0, QStringLiteral("E3"));
    const auto c = doc.addNode(2, 1, QStringLiteral("G3"));
    const auto d = doc.addNode(1, 1, QStringLiteral("B3"));
    const auto e = doc.addNode(0, 0, QStringLiteral("F3"));
    const auto f = doc.addNode(0, -1, QStringLiteral("A3"));
    const auto g = doc.addNode(1, -1, QStringLiteral("D4"));
    addPath(doc, {a, b, c, d, a});
    addPath(doc, {a, e, f, g, a});
    doc.set(a, {{SignallingMethodKey, SequentialMethod}});
    doc.addVoiceGroup(d, piano);
}

// One voice splits into three at the middle node: two voices end on the
// chord notes, the third goes round and comes back.
void buildParallel(DocumentBuilder &doc)
{
    const auto strings = doc.addInstrument(QStringLiteral("Strings"), paletteColor(1), 1);
    describe(doc, 150, QStringLiteral("Parallel signalling"),
             QStringLiteral("The node in the middle sends a voice along every one of its edges at once. "
                            "The three voices arrive together and sound a chord; two of them end there, "
                            "the third travels round the square and starts the next chord. The lists "
                            "step through four chords."));
    const auto a = doc.addNode(0, 0, QStringLiteral("C3,A2,F2,G2"), QStringLiteral("96"));
    const auto up = doc.addNode(0, -2, QStringLiteral("E4,C4,A3,B3"), QStringLiteral("72"));
    const auto left = doc.addNode(-2, 0, QStringLiteral("G3,E3,C3,D3"), QStringLiteral("72"));
    const auto right = doc.addNode(2, 0, QStringLiteral("C4,A3,F3,G3"), QStringLiteral("72"));
    const auto below = doc.addNode(2, 2, QStringLiteral("D4,E4,A3,B3"), QStringLiteral("64"));
    const auto back = doc.addNode(0, 2, QStringLiteral("B3,C4,C4,D4"), QStringLiteral("64"));
    doc.addEdge(a, up);
    doc.addEdge(a, left);
    addPath(doc, {a, right, below, back, a});
    doc.set(a, {{SignallingMethodKey, ParallelMethod}});
    doc.addVoiceGroup(back, strings);
}

// A hub picks one of four neighbours at random, some more often than others.
void buildRandom(DocumentBuilder &doc)
{
    const auto marimba = doc.addInstrument(QStringLiteral("Marimba"), paletteColor(2), 1);
    describe(doc, 140, QStringLiteral("Random choice"),
             QStringLiteral("The centre node chooses one of its four edges at random each time a voice "
                            "arrives. The numbers on its edge-usage tiles weigh the choice: the upper "
                            "right neighbour comes three times as often as the lower left one."));
    const auto hub = doc.addNode(1, 0, QStringLiteral("D3"), QStringLiteral("90"));
    const auto ne = doc.addNode(2, -1, QStringLiteral("F3,A3"), QStringLiteral("70"));
    const auto se = doc.addNode(2, 1, QStringLiteral("G3,E3"), QStringLiteral("70"));
    const auto sw = doc.addNode(0, 1, QStringLiteral("C4,A2"), QStringLiteral("70"));
    const auto nw = doc.addNode(0, -1, QStringLiteral("D4,C3"), QStringLiteral("70"));
    const auto toNe = doc.addEdge(hub, ne, QmdVelka::CityBlock);
    const auto toSe = doc.addEdge(hub, se, QmdVelka::CityBlockFlipped);
    const auto toSw = doc.addEdge(hub, sw, QmdVelka::CityBlock);
    const auto toNw = doc.addEdge(hub, nw, QmdVelka::CityBlockFlipped);
    for (auto node : {ne, se, sw, nw})
        doc.addEdge(node, hub, QmdVelka::Direct);
    doc.set(hub, {{SignallingMethodKey, RandomMethod},
                  {QStringLiteral("ArcUsageList"),
                   DocumentBuilder::usage({{toNe, 3}, {toSe, 2}, {toSw, 1}, {toNw, 2}})}});
    doc.addVoiceGroup(nw, marimba);
}

// A sequential node whose edge-usage list takes the short loop three times,
// then the long one once.
void buildEdgeUsage(DocumentBuilder &doc)
{
    const auto guitar = doc.addInstrument(QStringLiteral("Guitar"), paletteColor(3), 1);
    describe(doc, 140, QStringLiteral("Edge-usage lists"),
             QStringLiteral("The edge-usage list of the first node reads: the edge to the right three "
                            "times, then the edge to the left once. The short loop plays three times, "
                            "the long loop once, and the pattern repeats."));
    const auto a = doc.addNode(1, 1, QStringLiteral("C3"), QStringLiteral("100"));
    const auto b = doc.addNode(2, 1, QStringLiteral("E3"));
    const auto c = doc.addNode(2, 2, QStringLiteral("G3"));
    const auto d = doc.addNode(-1, 1, QStringLiteral("A3"));
    const auto e = doc.addNode(-1, -1, QStringLiteral("F3"));
    const auto shortLoop = addPath(doc, {a, b, c, a}).first();
    const auto longLoop = addPath(doc, {a, d, e, a}).first();
    doc.set(a, {{SignallingMethodKey, SequentialMethod},
                {QStringLiteral("ArcUsageList"), DocumentBuilder::usage({{shortLoop, 3}, {longLoop, 1}})}});
    doc.addVoiceGroup(e, guitar);
}

// Two phrases far apart, joined by wormholes that take no time to cross.
void buildWormholes(DocumentBuilder &doc)
{
    const auto flute = doc.addInstrument(QStringLiteral("Flute"), paletteColor(4), 1);
    describe(doc, 150, QStringLiteral("Wormholes"),
             QStringLiteral("A wormhole edge takes no time to travel, however long it is drawn. The "
                            "voice plays the phrase on the left, jumps at once to the phrase on the "
                            "right, and jumps back again. The silent nodes only pass the voice on."));
    const QHash<QString, QVariant> silent{{QStringLiteral("DontPlayNote"), true}};
    const auto l1 = doc.addNode(-2, 0, QStringLiteral("A3"));
    const auto l2 = doc.addNode(-1, 0, QStringLiteral("C4"));
    const auto l3 = doc.addNode(-1, 1, QStringLiteral("E4"));
    const auto lOut = doc.addNode(-2, 1, QStringLiteral("C3"), QStringLiteral("80"), QStringLiteral("100%"), silent);
    const auto r1 = doc.addNode(2, 0, QStringLiteral("D4"));
    const auto r2 = doc.addNode(3, 0, QStringLiteral("B3"));
    const auto r3 = doc.addNode(3, 1, QStringLiteral("G3"));
    const auto rOut = doc.addNode(2, 1, QStringLiteral("C3"), QStringLiteral("80"), QStringLiteral("100%"), silent);
    addPath(doc, {l1, l2, l3, lOut});
    addPath(doc, {r1, r2, r3, rOut});
    const auto there = doc.addEdge(lOut, r1, QmdVelka::Direct);
    const auto back = doc.addEdge(rOut, l1, QmdVelka::Direct);
    doc.set(there, {{QStringLiteral("IsWormhole"), true}});
    doc.set(back, {{QStringLiteral("IsWormhole"), true}});
    doc.addVoiceGroup(l1, flute);
}

// A bass line and a melody on two instruments; one node of the melody hands
// its voice to a third instrument for the rest of the round.
void buildInstruments(DocumentBuilder &doc)
{
    const auto melody = doc.addInstrument(QStringLiteral("Melody"), paletteColor(0), 1);
    const auto bass = doc.addInstrument(QStringLiteral("Bass"), paletteColor(5), 2);
    const auto bell = doc.addInstrument(QStringLiteral("Bell"), paletteColor(6), 3);
    describe(doc, 120, QStringLiteral("Several instruments"),
             QStringLiteral("Each voice group plays through its own instrument, each instrument on its "
                            "own MIDI channel: the melody on channel 1, the bass on channel 2. The node "
                            "at the lower right of the melody changes the voice's instrument to the "
                            "bell on channel 3, and the first node changes it back."));
    const QString melodyPitches[] = {QStringLiteral("E4"), QStringLiteral("G4"), QStringLiteral("A4"),
                                     QStringLiteral("G4"), QStringLiteral("C5"), QStringLiteral("B4"),
                                     QStringLiteral("G4"), QStringLiteral("D4")};
    const QPointF ring[] = {{0, -1}, {1, -1}, {2, -1}, {3, -1}, {3, 0}, {2, 0}, {1, 0}, {0, 0}};
    QList<QmdItemId> tune;
    for (int i = 0; i < 8; ++i)
        tune << doc.addNode(ring[i].x(), ring[i].y(), melodyPitches[i], QStringLiteral("84"));
    for (int i = 0; i < 8; ++i)
        doc.addEdge(tune.at(i), tune.at((i + 1) % 8));
    doc.set(tune.at(0), {{QStringLiteral("DoInstrumentChange"), true}, {QStringLiteral("Instrument"), melody}});
    doc.set(tune.at(4), {{QStringLiteral("DoInstrumentChange"), true}, {QStringLiteral("Instrument"), bell}});
    doc.addVoiceGroup(tune.at(0), melody);

    const auto b1 = doc.addNode(-2.8, 0, QStringLiteral("C2"), QStringLiteral("100"));
    const auto b2 = doc.addNode(-0.8, 0, QStringLiteral("A1"), QStringLiteral("100"));
    const auto b3 = doc.addNode(-0.8, 2, QStringLiteral("F1"), QStringLiteral("100"));
    const auto b4 = doc.addNode(-2.8, 2, QStringLiteral("G1"), QStringLiteral("100"));
    addPath(doc, {b1, b2, b3, b4, b1});
    doc.addVoiceGroup(b1, bass);
}

// Pitches, velocities and durations that change what the voice brought.
void buildRelative(DocumentBuilder &doc)
{
    const auto harp = doc.addInstrument(QStringLiteral("Harp"), paletteColor(7), 1);
    describe(doc, 120, QStringLiteral("Relative pitch and duration"),
             QStringLiteral("Only the first node names its pitches (C3, A2, F2, G2). The others add to "
                            "the pitch the voice brings: +4 or +3 semitones, then +5, so every round "
                            "plays a broken chord on a new root. Durations work the same way: 0.25 of a "
                            "principal, then +0.25, *2 and 50% of the next edge; velocities rise by +10."));
    const auto root = doc.addNode(0, 0, QStringLiteral("C3,A2,F2,G2"), QStringLiteral("70"),
                                  QStringLiteral("0.25"));
    const auto third = doc.addNode(1, 0, QStringLiteral("+4,+3,+4,+4"), QStringLiteral("+10"),
                                   QStringLiteral("+0.25"));
    const auto fifth = doc.addNode(2, 0, QStringLiteral("+3,+4,+3,+3"), QStringLiteral("+10"),
                                   QStringLiteral("*2"));
    const auto octave = doc.addNode(2, 1, QStringLiteral("+5"), QStringLiteral("+10"), QStringLiteral("50%"));
    addPath(doc, {root, third, fifth, octave, root});
    doc.addVoiceGroup(root, harp);
}

} // namespace

QList<Document> documents()
{
    return {
        {QStringLiteral("template.vlk"), buildTemplate},
        {QStringLiteral("Examples/Sequential Signalling.vlk"), buildSequential},
        {QStringLiteral("Examples/Parallel Signalling.vlk"), buildParallel},
        {QStringLiteral("Examples/Random Choice.vlk"), buildRandom},
        {QStringLiteral("Examples/Edge-Usage Lists.vlk"), buildEdgeUsage},
        {QStringLiteral("Examples/Wormholes.vlk"), buildWormholes},
        {QStringLiteral("Examples/Several Instruments.vlk"), buildInstruments},
        {QStringLiteral("Examples/Relative Pitch and Duration.vlk"), buildRelative},
    };
}

} // namespace Examples
