#ifndef QMDVELKAKEYS_H
#define QMDVELKAKEYS_H

#include <QString>
#include <QtGlobal>

// The keys of the network document and its tick constants, each written out
// once: the controller, the files, the clipboard and the players name entries
// through these.
namespace QmdVelkaKeys {

// Values at the document's root.
inline const QString Tempo = QStringLiteral("Tempo");
inline const QString PrincipalsToBeatsNumerator = QStringLiteral("PrincipalsToBeatsNumerator");
inline const QString PrincipalsToBeatsDenominator = QStringLiteral("PrincipalsToBeatsDenominator");
inline const QString DivsPerPrincipal = QStringLiteral("DivsPerPrincipal");
inline const QString ShowGrid = QStringLiteral("ShowGrid");
inline const QString SnapToGrid = QStringLiteral("SnapToGrid");
inline const QString ShowNodeCounters = QStringLiteral("ShowNodeCounters");
inline const QString ZoomScale = QStringLiteral("ZoomScale");
inline const QString SyncType = QStringLiteral("SyncType");
inline const QString Tool = QStringLiteral("Tool");

// The colours of the canvas, at the root.
inline const QString StyleBackgroundColor = QStringLiteral("StyleBackgroundColor");
inline const QString StylePrincipalLinesColor = QStringLiteral("StylePrincipalLinesColor");
inline const QString StylePrincipalPointsColor = QStringLiteral("StylePrincipalPointsColor");
inline const QString StyleDivisionLinesColor = QStringLiteral("StyleDivisionLinesColor");
inline const QString StyleDivisionPointsColor = QStringLiteral("StyleDivisionPointsColor");
inline const QString StyleAnnotationColor = QStringLiteral("StyleAnnotationColor");
inline const QString StyleNodesColor = QStringLiteral("StyleNodesColor");
inline const QString StyleEdgesColor = QStringLiteral("StyleEdgesColor");

// Containers at the root: the elements and instruments by id, the MIDI clock inputs and outputs, and "Temp", which holds what is never saved (the element states).
inline const QString Elements = QStringLiteral("Elements");
inline const QString Instruments = QStringLiteral("Instruments");
inline const QString SyncMidiInputs = QStringLiteral("SyncMidiInputs");
inline const QString SyncMidiOutputs = QStringLiteral("SyncMidiOutputs");
inline const QString Temp = QStringLiteral("Temp");
inline const QString ElementStates = QStringLiteral("ElementStates");

// Keys of a clock input or output.
inline const QString Identifier = QStringLiteral("Identifier");
inline const QString OutputType = QStringLiteral("OutputType");
inline const QString MidiSync = QStringLiteral("MidiSync");

// Keys of every element.
inline const QString Type = QStringLiteral("Type");
inline const QString TickPos = QStringLiteral("TickPos");
inline const QString IsHidden = QStringLiteral("IsHidden");

// Keys of a node.
inline const QString PitchList = QStringLiteral("PitchList");
inline const QString VelocityList = QStringLiteral("VelocityList");
inline const QString DurationList = QStringLiteral("DurationList");
inline const QString SignallingMethod = QStringLiteral("SignallingMethod");
inline const QString ArcIdentifiers = QStringLiteral("ArcIdentifiers");
inline const QString ArcUsageList = QStringLiteral("ArcUsageList");
inline const QString Instrument = QStringLiteral("Instrument");
inline const QString DoInstrumentChange = QStringLiteral("DoInstrumentChange");
inline const QString DontPlayNote = QStringLiteral("DontPlayNote");

// Keys of a node written by older versions, upgraded on load.
inline const QString OrderedArcUsages = QStringLiteral("OrderedArcUsages");
inline const QString Arc = QStringLiteral("Arc");
inline const QString UsageRule = QStringLiteral("UsageRule");

// Keys of an edge.
inline const QString Path = QStringLiteral("Path");
inline const QString FromNode = QStringLiteral("FromNode");
inline const QString ToNode = QStringLiteral("ToNode");
inline const QString IsWormhole = QStringLiteral("IsWormhole");

// Keys of a voice group ("ToNode" names the node it starts at).
inline const QString InitialPitch = QStringLiteral("InitialPitch");
inline const QString InitialVelocity = QStringLiteral("InitialVelocity");
inline const QString InitialDuration = QStringLiteral("InitialDuration");
inline const QString InitialInstrument = QStringLiteral("InitialInstrument");

// Keys of a text box.
inline const QString Text = QStringLiteral("Text");

// Keys of an instrument ("Type" names its kind).
inline const QString Label = QStringLiteral("Label");
inline const QString Color = QStringLiteral("Color");
inline const QString MidiPort = QStringLiteral("MidiPort");
inline const QString MidiChannels = QStringLiteral("MidiChannels");
inline const QString MidiProgram = QStringLiteral("MidiProgram");
inline const QString MidiDoProgramChange = QStringLiteral("MidiDoProgramChange");
inline const QString MidiBankMSB = QStringLiteral("MidiBankMSB");
inline const QString MidiBankLSB = QStringLiteral("MidiBankLSB");

// Counters of an element state: an edge's, then a node's.
inline const QString CurrentScaleId = QStringLiteral("CurrentScaleId");
inline const QString CurrentEdgeUsageId = QStringLiteral("CurrentEdgeUsageId");
inline const QString CurrentEdgeUsageUses = QStringLiteral("CurrentEdgeUsageUses");
inline const QString CurrentPitchId = QStringLiteral("CurrentPitchId");
inline const QString CurrentVelocityId = QStringLiteral("CurrentVelocityId");
inline const QString CurrentDurationId = QStringLiteral("CurrentDurationId");
inline const QString CurrentUserMidiMessageId = QStringLiteral("CurrentUserMidiMessageId");
inline const QString HitCount = QStringLiteral("HitCount");

} // namespace QmdVelkaKeys

namespace QmdVelka {

// Ticks of one principal, the grid unit of the canvas and of edge lengths: a
// number that many note lengths divide evenly (2^6 * 3^3 * 5 * 7 * 11).
constexpr quint64 TicksPerPrincipal = 665280;
// Beat ticks of one beat, the unit of the playback clock's beat position.
constexpr quint64 BeatTicksPerBeat = 665280;

} // namespace QmdVelka

#endif // QMDVELKAKEYS_H
