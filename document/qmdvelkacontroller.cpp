#include "qmdvelkacontroller.h"

#include "abstractsync.h"
#include "edgelength.h"
#include "instrumentsmodel.h"
#include "instrumentplayer.h"
#include "qmdmodel.h"
#include "outputportnames.h"
#include "palette.h"
#include "playerfactory.h"
#include "qmdreadlocker.h"
#include "qmdrequestguard.h"
#include "qmdrequestlocker.h"
#include "qmdvelkaclipboard.h"
#include "qmdvelkaexporter.h"
#include "qmdvelkaimporter.h"
#include "qmdtree.h"
#include "stylepresets.h"

#include <QSet>
#include <QSignalBlocker>

#include <limits>

namespace {

const int midiChannelCount = 16;
const quint32 feedbackQueueLimit = 1000;

const QString keyElements = QStringLiteral("Elements");
const QString keyInstruments = QStringLiteral("Instruments");
const QString keyTemp = QStringLiteral("Temp");
const QString keyElementStates = QStringLiteral("ElementStates");
const QString keySyncMidiInputs = QStringLiteral("SyncMidiInputs");
const QString keySyncMidiOutputs = QStringLiteral("SyncMidiOutputs");
const QString keyType = QStringLiteral("Type");
const QString keyArcIdentifiers = QStringLiteral("ArcIdentifiers");
const QString keyArcUsageList = QStringLiteral("ArcUsageList");
const QString keyFromNode = QStringLiteral("FromNode");
const QString keyToNode = QStringLiteral("ToNode");
const QString keyPath = QStringLiteral("Path");
const QString keyTickPos = QStringLiteral("TickPos");

} // namespace

QmdVelkaController::QmdVelkaController(QObject *parent)
    : QmdSyncronizedController<QmdElementDocController>(parent)
    , m_feedbackQueue(feedbackQueueLimit)
{
    qRegisterMetaType<QmdVelka::TickPos>("QmdVelka::TickPos");
    // The list follows every reset through modelReset.
    m_instrumentsModel = new InstrumentsModel(this);
    m_instrumentsModel->setController(this);
}

QmdVelkaController::~QmdVelkaController()
{
    stopPlayers(takePlayers());
}

// --- Elements ---------------------------------------------------------------

QmdItemIdList QmdVelkaController::elementIds() const
{
    QmdReadLocker locker(this);
    const QmdIndex elements = index(keyElements);
    return elements.isValid() ? ids(elements) : QmdItemIdList();
}

QmdIndex QmdVelkaController::elementIndex(QmdItemId element) const
{
    QmdReadLocker locker(this);
    return elementEntry(element);
}

QVariant QmdVelkaController::elementData(QmdItemId element, const QString &key) const
{
    QmdReadLocker locker(this);
    const QmdIndex entry = elementEntry(element);
    return entry.isValid() ? QmdDirectModelInterface::data(key, entry) : QVariant();
}

// The readers below run under the read lock their public caller took once,
// reading the model directly rather than taking the lock again at each step.

QmdIndex QmdVelkaController::elementEntry(QmdItemId element) const
{
    if (element == 0)
        return QmdIndex();
    const QmdIndex elements = QmdDirectModelInterface::index(keyElements, QmdIndex());
    return elements.isValid() ? QmdDirectModelInterface::index(element, elements) : QmdIndex();
}

QmdIndex QmdVelkaController::referencedEntry(const QmdIndex &entry, const QString &key) const
{
    return elementEntry(QmdDirectModelInterface::data(key, entry).toUInt());
}

QmdIndex QmdVelkaController::elementStatesEntry() const
{
    const QmdIndex temp = QmdDirectModelInterface::index(keyTemp, QmdIndex());
    return temp.isValid() ? QmdDirectModelInterface::index(keyElementStates, temp) : QmdIndex();
}

int QmdVelkaController::elementType(QmdItemId element) const
{
    return elementData(element, keyType).toInt();
}

QmdIndex QmdVelkaController::referencedElementIndex(QmdItemId element, const QString &key) const
{
    QmdReadLocker locker(this);
    const QmdIndex entry = elementEntry(element);
    return entry.isValid() ? referencedEntry(entry, key) : QmdIndex();
}

int QmdVelkaController::arcIdentifier(QmdItemId node, QmdItemId edge) const
{
    QmdReadLocker locker(this);
    const QmdIndex entry = elementIndex(node);
    if (!entry.isValid())
        return 0;
    const QmdIndex arcs = index(keyArcIdentifiers, entry);
    return arcs.isValid() && edge != 0 ? data(edge, arcs).toInt() : 0;
}

void QmdVelkaController::setElementData(QmdItemId element, const QString &key, const QVariant &value)
{
    const QmdIndex entry = elementIndex(element);
    if (entryExists(entry))
        setData(key, value, entry);
}

// --- Run-time containers ----------------------------------------------------

QmdIndex QmdVelkaController::tempIndex() const
{
    return index(keyTemp);
}

QmdIndex QmdVelkaController::elementStatesIndex() const
{
    QmdReadLocker locker(this);
    return elementStatesEntry();
}

QmdIndex QmdVelkaController::elementStateIndex(QmdItemId element) const
{
    QmdReadLocker locker(this);
    if (element == 0)
        return QmdIndex();
    const QmdIndex states = elementStatesEntry();
    return states.isValid() ? QmdDirectModelInterface::index(element, states) : QmdIndex();
}

namespace {

// The counters of a fresh state entry of an element of the given kind; none
// for kinds without a state. Shared by every state until one is written.
const QHash<QString, QVariant> &stateCounters(int kind)
{
    static const QHash<QString, QVariant> edge{{QStringLiteral("CurrentScaleId"), 0}};
    static const QHash<QString, QVariant> node{{QStringLiteral("CurrentEdgeUsageId"), 0u},
                                               {QStringLiteral("CurrentEdgeUsageUses"), 0},
                                               {QStringLiteral("CurrentPitchId"), 0},
                                               {QStringLiteral("CurrentVelocityId"), 0},
                                               {QStringLiteral("CurrentDurationId"), 0},
                                               {QStringLiteral("CurrentUserMidiMessageId"), 0},
                                               {QStringLiteral("HitCount"), 0}};
    static const QHash<QString, QVariant> none;
    switch (kind) {
    case QmdVelka::Edge:
        return edge;
    case QmdVelka::Node:
        return node;
    default:
        return none;
    }
}

} // namespace

void QmdVelkaController::createElementState(QmdItemId element)
{
    const QmdIndex states = elementStatesIndex();
    if (!entryExists(states) || !elementIndex(element).isValid())
        return;
    setType(element, Qmd::StrDict, states);
    resetElementState(index(element, states));
}

void QmdVelkaController::createElementStates(const QmdItemIdList &elements)
{
    const QmdIndex states = elementStatesIndex();
    if (!entryExists(states))
        return;
    QHash<QmdItemId, QmdTree *> trees;
    trees.reserve(elements.size());
    QmdReadLocker locker(this);
    for (QmdItemId element : elements) {
        const int kind = QmdDirectModelInterface::data(keyType, elementEntry(element)).toInt();
        if (kind != QmdVelka::Edge && kind != QmdVelka::Node)
            continue;
        auto *state = new QmdTree(Qmd::StrDict);
        state->keys() = stateCounters(kind);
        delete trees.value(element);
        trees.insert(element, state);
    }
    if (!trees.isEmpty())
        model()->setTrees(trees, states);
}

void QmdVelkaController::resetElementState(const QmdIndex &state)
{
    if (!entryExists(state) || type(state) != Qmd::StrDict)
        return;
    const QHash<QString, QVariant> counters = stateCounters(elementType(state.id()));
    if (!counters.isEmpty())
        setData(counters, state);
}

// --- Instruments ------------------------------------------------------------

QmdIndex QmdVelkaController::instrumentsIndex() const
{
    return index(keyInstruments);
}

QmdItemIdList QmdVelkaController::instrumentIds() const
{
    QmdReadLocker locker(this);
    const QmdIndex instruments = instrumentsIndex();
    return instruments.isValid() ? ids(instruments) : QmdItemIdList();
}

QmdIndex QmdVelkaController::instrumentIndex(QmdItemId instrument) const
{
    QmdReadLocker locker(this);
    const QmdIndex instruments = instrumentsIndex();
    return instruments.isValid() && instrument != 0 ? index(instrument, instruments) : QmdIndex();
}

QVariant QmdVelkaController::instrumentData(QmdItemId instrument, const QString &key) const
{
    QmdReadLocker locker(this);
    const QmdIndex record = instrumentIndex(instrument);
    return record.isValid() ? data(key, record) : QVariant();
}

bool QmdVelkaController::isInstrumentIndex(const QmdIndex &index) const
{
    QmdReadLocker locker(this);
    const QmdIndex instruments = instrumentsIndex();
    return index.isValid() && instruments.isValid() && parent(index) == instruments;
}

QmdIndex QmdVelkaController::syncMidiInputsIndex() const
{
    return index(keySyncMidiInputs);
}

QmdIndex QmdVelkaController::syncMidiOutputsIndex() const
{
    return index(keySyncMidiOutputs);
}

// --- Edge length ------------------------------------------------------------

qint64 QmdVelkaController::edgeLength(QmdItemId edge, bool *ok) const
{
    if (ok)
        *ok = false;
    QmdReadLocker locker(this);
    const QmdIndex entry = elementEntry(edge);
    if (!entry.isValid())
        return 0;
    // Both ends come from the elements container, so they are existing elements.
    const QmdIndex fromNode = referencedEntry(entry, keyFromNode);
    const QmdIndex toNode = referencedEntry(entry, keyToNode);
    if (!fromNode.isValid() || !toNode.isValid())
        return 0;
    return edgeLengthOf(fromNode, toNode, QmdDirectModelInterface::data(keyPath, entry).toInt(), ok);
}

qint64 QmdVelkaController::edgeLengthBetween(const QmdIndex &fromNode, const QmdIndex &toNode, int path,
                                             bool *ok) const
{
    if (ok)
        *ok = false;
    QmdReadLocker locker(this);
    if (!isExistingElement(fromNode) || !isExistingElement(toNode))
        return 0;
    return edgeLengthOf(fromNode, toNode, path, ok);
}

qint64 QmdVelkaController::edgeLengthOf(const QmdIndex &fromNode, const QmdIndex &toNode, int path, bool *ok) const
{
    const QmdVelka::TickPos a = QmdDirectModelInterface::data(keyTickPos, fromNode).value<QmdVelka::TickPos>();
    const QmdVelka::TickPos b = QmdDirectModelInterface::data(keyTickPos, toNode).value<QmdVelka::TickPos>();
    return edgePathLength(a, b, path, ok);
}

// --- Players and queues -----------------------------------------------------

QMutex *QmdVelkaController::mutex() const
{
    return &m_mutex;
}

TimedEventQueue<FeedbackEvent> &QmdVelkaController::feedbackPipe()
{
    return m_feedbackQueue;
}

bool QmdVelkaController::queueInstrumentEvent(QmdItemId instrument, const InstrumentEvent &event)
{
    QmdReadLocker locker(this);
    InstrumentPlayer *player = m_instrumentThreads.value(instrument);
    return player && player->eventQueue().insert(event);
}

bool QmdVelkaController::queueInstrumentEventPair(QmdItemId instrument, const InstrumentEvent &first,
                                                  const InstrumentEvent &second)
{
    QmdReadLocker locker(this);
    InstrumentPlayer *player = m_instrumentThreads.value(instrument);
    return player && player->eventQueue().insertPair(first, second);
}

QString QmdVelkaController::defaultMidiOutputPortName()
{
    return OutputPortNames::chooseDefault(OutputPortNames::available());
}

QStringList QmdVelkaController::stylePresetNames()
{
    return StylePresets::names();
}

// --- Reset and document defaults ----------------------------------------------

void QmdVelkaController::Reset()
{
    QmdSyncronizedController<QmdElementDocController>::Reset();
    if (!model()) {
        // Without a document there is nothing to play.
        stopPlayers(takePlayers());
        return;
    }
    Players old;
    {
        QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("QmdVelkaController::Reset")));
        setDocumentDefaults();
        {
            // Observers hear of the upgrade as a whole, through modelReset.
            const QSignalBlocker blocker(model());
            upgradeArcUsageLists();
            upgradeVoiceGroupInstruments();
        }
        old = takePlayers();
        m_feedbackQueue.clear();
    }
    // The old players are joined only once the request lock is free, so a
    // player finishing its step can still read the document; they end before
    // the clock they use is replaced.
    stopPlayers(old);
    setupSync();
    createInstrumentThreads(instrumentIds());
    createVoiceGroups(elementIds());
    rebuildEdgeFromNodes();
}

void QmdVelkaController::setDocumentDefaults()
{
    const QmdIndex root;
    const QHash<QString, QVariant> defaults{
        {QStringLiteral("Tempo"), 120u},
        {QStringLiteral("PrincipalsToBeatsNumerator"), 1u},
        {QStringLiteral("PrincipalsToBeatsDenominator"), 1u},
        {QStringLiteral("DivsPerPrincipal"), 4u},
        {QStringLiteral("ShowGrid"), true},
        {QStringLiteral("SnapToGrid"), true},
        {QStringLiteral("ShowNodeCounters"), false},
        {QStringLiteral("ZoomScale"), 1.0},
        {QStringLiteral("SyncType"), QStringLiteral("internal")},
    };
    QHash<QString, QVariant> missing;
    const StylePresets::Preset colours = StylePresets::preset(StylePresets::defaultName());
    for (const auto &values : {defaults, colours}) {
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            if (!index(it.key(), root).isValid())
                missing.insert(it.key(), it.value());
        }
    }
    missing.insert(QStringLiteral("Tool"), 2);
    setData(missing, root);

    ensureRootContainer(keySyncMidiInputs, Qmd::StrDict);
    ensureRootContainer(keySyncMidiOutputs, Qmd::StrDict);
    ensureRootContainer(keyInstruments, Qmd::IntDict);

    setType(keyTemp, Qmd::StrDict, root);
    setType(keyElementStates, Qmd::IntDict, tempIndex());
    createElementStates(elementIds());
}

void QmdVelkaController::ensureRootContainer(const QString &key, Qmd::ContainerType containerType)
{
    const QmdIndex root;
    const QmdIndex entry = index(key, root);
    if (!entry.isValid() || type(entry) != containerType)
        setType(key, containerType, root);
}

void QmdVelkaController::upgradeArcUsageLists()
{
    const QmdIndex elements = index(keyElements);
    for (const QmdIndex &element : childIndexes(elements)) {
        if (data(keyType, element).toUInt() != QmdVelka::Node)
            continue;
        const QmdIndex ordered = index(QStringLiteral("OrderedArcUsages"), element);
        if (!ordered.isValid())
            continue;
        QStringList entries;
        for (const QmdIndex &usage : childIndexes(ordered)) {
            entries << QStringLiteral("%1=%2")
                           .arg(data(QStringLiteral("Arc"), usage).toUInt())
                           .arg(data(QStringLiteral("UsageRule"), usage).toInt());
        }
        setData(keyArcUsageList, entries.join(QLatin1Char(',')), element);
        remove(QStringLiteral("OrderedArcUsages"), element);
    }
}

void QmdVelkaController::upgradeVoiceGroupInstruments()
{
    static const QStringList midiKeys{
        QStringLiteral("MidiPort"), QStringLiteral("MidiChannels"), QStringLiteral("MidiDoProgramChange"),
        QStringLiteral("MidiProgram"), QStringLiteral("MidiBankMSB"), QStringLiteral("MidiBankLSB")};
    const QString identifierKey = QStringLiteral("Identifier");
    const QString outputTypeKey = QStringLiteral("OutputType");
    const QmdIndex instruments = instrumentsIndex();
    const QmdIndex elements = index(keyElements);
    for (const QmdIndex &element : childIndexes(elements)) {
        if (data(keyType, element).toUInt() != QmdVelka::VoiceGroup)
            continue;
        const QmdIndex identifier = index(identifierKey, element);
        if (!identifier.isValid())
            continue;
        const int number = data(identifier).toInt();
        QHash<QString, QVariant> record{
            {keyType, data(outputTypeKey, element)},
            {QStringLiteral("Color"), paletteColor(number)},
            {QStringLiteral("Label"),
             QStringLiteral("%1 %2").arg(QStringLiteral("Instrument")).arg(qint64(number) + 1)},
        };
        for (const QString &key : midiKeys)
            record.insert(key, data(key, element));
        // Keys the old voice group lacked stay absent; readers apply their defaults.
        for (auto it = record.begin(); it != record.end();) {
            it = it.value().isValid() ? std::next(it) : record.erase(it);
        }
        const QmdItemId id = instruments.isValid() ? addType(Qmd::StrDict, instruments) : 0;
        const QmdIndex recordIndex = id ? index(id, instruments) : QmdIndex();
        if (!recordIndex.isValid())
            continue; // no record was made: keep the old keys rather than lose them
        setData(record, recordIndex);
        setData(QStringLiteral("InitialInstrument"), id, element);
        remove(QStringList{identifierKey, outputTypeKey} + midiKeys, element);
    }
}

bool QmdVelkaController::entryExists(const QmdIndex &index) const
{
    return index.isValid() && exists(index);
}

bool QmdVelkaController::isExistingElement(const QmdIndex &index) const
{
    return entryExists(index) && isElementIndex(index);
}

// --- Element creation -------------------------------------------------------

QmdRequestId QmdVelkaController::addElement(int type, QHash<QString, QVariant> data,
                                            const QHash<QString, Qmd::ContainerType> &containerTypes,
                                            QmdVelka::CreationFlags flags, const QmdRequestOptions &options,
                                            QmdItemId *newId)
{
    if (flags.testFlag(QmdVelka::CreateHidden))
        data.insert(QStringLiteral("IsHidden"), true);
    return requestAddElement(type, data, containerTypes, options, newId);
}

QmdRequestId QmdVelkaController::requestAddNode(const QmdVelka::TickPos &pos, QmdVelka::CreationFlags flags,
                                                const QmdRequestOptions &options)
{
    const QHash<QString, QVariant> data{
        {QStringLiteral("PitchList"), QStringLiteral("C3")},
        {QStringLiteral("VelocityList"), QStringLiteral("64")},
        {QStringLiteral("DurationList"), QStringLiteral("100%")},
        {QStringLiteral("TickPos"), QVariant(pos)},
        {QStringLiteral("SignallingMethod"), 0},
    };
    return addElement(QmdVelka::Node, data, {{keyArcIdentifiers, Qmd::IntDict}}, flags, options);
}

QmdRequestId QmdVelkaController::requestAddEdge(const QmdIndex &fromNode, const QmdIndex &toNode,
                                                QmdVelka::EdgePath path, QmdVelka::CreationFlags flags,
                                                const QmdRequestOptions &options)
{
    // Held across both steps so that no other request comes between them.
    QmdRequestLocker locker(this);
    const bool hasFromNode = isExistingElement(fromNode);
    QHash<QString, QVariant> data{{QStringLiteral("Path"), int(path)}};
    if (hasFromNode)
        data.insert(QStringLiteral("FromNode"), fromNode.id());
    if (isExistingElement(toNode))
        data.insert(QStringLiteral("ToNode"), toNode.id());
    QmdItemId newId = 0;
    const QmdRequestId rid = addElement(QmdVelka::Edge, data, {}, flags, options, &newId);
    if (hasFromNode && newId != 0) {
        QmdRequestGuard request(this, rid, Qmd::RequestFlags(), tr("Edge From-Node Signalling"));
        addArcToFromNode(fromNode, newId);
    }
    return rid;
}

void QmdVelkaController::addArcToFromNode(const QmdIndex &fromNode, QmdItemId edge)
{
    setTypeIfInvalid(keyArcIdentifiers, Qmd::IntDict, fromNode);
    const QmdIndex arcs = index(keyArcIdentifiers, fromNode);
    QSet<uint> taken;
    for (const QVariant &value : childData(arcs))
        taken.insert(value.toUInt());
    int number = 0;
    while (number < std::numeric_limits<int>::max() && taken.contains(uint(number)))
        ++number;
    setData(edge, number, arcs);

    const QString usages = data(keyArcUsageList, fromNode).toString();
    const QString entry = QStringLiteral("%1=1").arg(edge);
    setData(keyArcUsageList, usages.isEmpty() ? entry : usages + QLatin1Char(',') + entry, fromNode);
}

QmdRequestId QmdVelkaController::requestAddVoiceGroup(const QmdIndex &toNode, QmdVelka::CreationFlags flags,
                                                      const QmdRequestOptions &options)
{
    const QmdItemIdList instruments = instrumentIds();
    const QHash<QString, QVariant> data{
        {QStringLiteral("InitialPitch"), QStringLiteral("C3")},
        {QStringLiteral("InitialVelocity"), QStringLiteral("64")},
        {QStringLiteral("InitialDuration"), QStringLiteral("1.0")},
        {QStringLiteral("InitialInstrument"), instruments.isEmpty() ? 0u : instruments.first()},
        {QStringLiteral("ToNode"), toNode.id()},
    };
    return addElement(QmdVelka::VoiceGroup, data, {}, flags, options);
}

QmdRequestId QmdVelkaController::requestAddTextBox(const QmdVelka::TickPos &pos, const QString &text,
                                                   QmdVelka::CreationFlags flags,
                                                   const QmdRequestOptions &options)
{
    const QHash<QString, QVariant> data{
        {QStringLiteral("TickPos"), QVariant(pos)},
        {QStringLiteral("Text"), text},
    };
    return addElement(QmdVelka::TextBox, data, {}, flags, options);
}

QmdRequestId QmdVelkaController::requestAddInstrument(const QmdRequestOptions &options)
{
    // The port list is asked for before any lock is taken: the MIDI library may be slow.
    const QString port = defaultMidiOutputPortName();
    QmdRequestLocker locker(this);
    QSet<QString> labels;
    QList<QColor> colours;
    QBitArray usedChannels(midiChannelCount);
    for (QmdItemId instrument : instrumentIds()) {
        labels.insert(instrumentData(instrument, QStringLiteral("Label")).toString());
        colours.append(instrumentData(instrument, QStringLiteral("Color")).value<QColor>());
        const QBitArray channels = instrumentData(instrument, QStringLiteral("MidiChannels")).toBitArray();
        for (int channel = 0; channel < qMin(int(channels.size()), midiChannelCount); ++channel) {
            if (channels.testBit(channel))
                usedChannels.setBit(channel);
        }
    }

    const QString base = tr("Instrument");
    QString label = base;
    for (qint64 n = 2; labels.contains(label) && n <= std::numeric_limits<int>::max(); ++n)
        label = QStringLiteral("%1 %2").arg(base).arg(n);

    QColor colour;
    for (const PaletteEntry &entry : namedPalette()) {
        if (!colours.contains(entry.color)) {
            colour = entry.color;
            break;
        }
    }

    QBitArray channels(midiChannelCount);
    for (int channel = 0; channel < midiChannelCount; ++channel) {
        if (!usedChannels.testBit(channel)) {
            channels.setBit(channel);
            break;
        }
    }

    return addInstrumentRecord(label, colour, channels, port, options);
}

QmdRequestId QmdVelkaController::requestAddInstrument(const QString &label, const QColor &color,
                                                      const QBitArray &channels,
                                                      const QmdRequestOptions &options)
{
    return addInstrumentRecord(label, color, channels, defaultMidiOutputPortName(), options);
}

QmdRequestId QmdVelkaController::addInstrumentRecord(const QString &label, const QColor &color,
                                                     const QBitArray &channels, const QString &port,
                                                     const QmdRequestOptions &options)
{
    QmdRequestGuard request(this, options);
    const QmdIndex instruments = instrumentsIndex();
    const QmdItemId id = instruments.isValid() ? addType(Qmd::StrDict, instruments) : 0;
    const QmdIndex record = id ? index(id, instruments) : QmdIndex();
    if (record.isValid()) {
        setData({{keyType, QStringLiteral("midi")},
                 {QStringLiteral("Label"), label},
                 {QStringLiteral("Color"), color},
                 {QStringLiteral("MidiPort"), port},
                 {QStringLiteral("MidiChannels"), channels},
                 {QStringLiteral("MidiDoProgramChange"), false},
                 {QStringLiteral("MidiProgram"), 1},
                 {QStringLiteral("MidiBankMSB"), 0},
                 {QStringLiteral("MidiBankLSB"), 0}},
                record);
    }
    return request.rid();
}

// --- Colour presets ---------------------------------------------------------

QmdRequestId QmdVelkaController::requestLoadStylePreset(const QString &presetName)
{
    const StylePresets::Preset preset = StylePresets::preset(presetName);
    if (preset.isEmpty())
        return 0;
    QmdRequestGuard request(this, QmdRequestOptions(tr("Color Preset: %1").arg(presetName)));
    setData(preset, QmdIndex());
    return request.rid();
}

// --- Files, clipboard and the instrument list -------------------------------

QFile::FileError QmdVelkaController::saveFile(const QString &fileName, QmdRequestId)
{
    QString reason;
    QStringList warnings;
    const QFile::FileError error = QmdVelkaExporter::saveDocument(model(), tempIndex(), fileName, &reason, &warnings);
    setFileErrorString(reason);
    addFileWarnings(warnings);
    return error;
}

QFile::FileError QmdVelkaController::loadFile(const QString &fileName, QmdRequestId)
{
    QString reason;
    QStringList warnings;
    const QFile::FileError error = QmdVelkaImporter::loadDocument(model(), fileName, &reason, &warnings);
    setFileErrorString(reason);
    addFileWarnings(warnings);
    return error;
}

QmdRequestId QmdVelkaController::requestCopy(const QmdItemIdSet &elements)
{
    return QmdVelkaClipboard(this).copy(elements);
}

QmdRequestId QmdVelkaController::requestPaste(const QmdVelka::TickPos &center)
{
    return QmdVelkaClipboard(this).paste(center);
}

InstrumentsModel *QmdVelkaController::instrumentsModel() const
{
    return m_instrumentsModel;
}
