#include "qmdvelkacontroller.h"
#include "qmdvelkavalues.h"
#include "qmdvelkakeys.h"

#include "edgelength.h"
#include "instrumentsmodel.h"
#include "qmdmodel.h"
#include "outputportnames.h"
#include "palette.h"
#include "playback.h"
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

} // namespace

QmdVelkaController::QmdVelkaController(QObject *parent)
    : QmdSyncronizedController<QmdElementDocController>(parent)
    , m_playback(std::make_unique<Playback>(this))
{
    qRegisterMetaType<QmdVelka::TickPos>("QmdVelka::TickPos");
    // The list follows every reset through modelReset.
    m_instrumentsModel = new InstrumentsModel(this);
    m_instrumentsModel->setController(this);
}

QmdVelkaController::~QmdVelkaController()
{
    // Every player ends while the document it reads is still whole.
    m_playback->stopPlayers();
}

// --- Elements ---------------------------------------------------------------

QmdItemIdList QmdVelkaController::elementIds() const
{
    QmdReadLocker locker(this);
    const QmdIndex elements = index(QmdVelkaKeys::Elements);
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

QmdIndex QmdVelkaController::elementsEntry() const
{
    return QmdDirectModelInterface::index(QmdVelkaKeys::Elements, QmdIndex());
}

QmdIndex QmdVelkaController::elementEntry(QmdItemId element) const
{
    return element != 0 ? elementEntry(element, elementsEntry()) : QmdIndex();
}

QmdIndex QmdVelkaController::elementEntry(QmdItemId element, const QmdIndex &elements) const
{
    return element != 0 && elements.isValid() ? QmdDirectModelInterface::index(element, elements) : QmdIndex();
}

QmdIndex QmdVelkaController::referencedEntry(const QmdIndex &entry, const QString &key) const
{
    return elementEntry(QmdDirectModelInterface::data(key, entry).toUInt());
}

QmdIndex QmdVelkaController::elementStatesEntry() const
{
    const QmdIndex temp = QmdDirectModelInterface::index(QmdVelkaKeys::Temp, QmdIndex());
    return temp.isValid() ? QmdDirectModelInterface::index(QmdVelkaKeys::ElementStates, temp) : QmdIndex();
}

int QmdVelkaController::elementType(QmdItemId element) const
{
    return elementData(element, QmdVelkaKeys::Type).toInt();
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
    const QmdIndex arcs = index(QmdVelkaKeys::ArcIdentifiers, entry);
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
    return index(QmdVelkaKeys::Temp);
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
const QmdKeyEntries &stateCounters(int kind)
{
    static const QmdKeyEntries edge{{QmdVelkaKeys::CurrentScaleId, 0}};
    static const QmdKeyEntries node{{QmdVelkaKeys::CurrentEdgeUsageId, 0u},
                                    {QmdVelkaKeys::CurrentEdgeUsageUses, 0},
                                    {QmdVelkaKeys::CurrentPitchId, 0},
                                    {QmdVelkaKeys::CurrentVelocityId, 0},
                                    {QmdVelkaKeys::CurrentDurationId, 0},
                                    {QmdVelkaKeys::CurrentUserMidiMessageId, 0},
                                    {QmdVelkaKeys::HitCount, 0}};
    static const QmdKeyEntries none;
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
    // An element that is gone has no kind.
    const QList<QVariant> kinds = QmdDirectModelInterface::data(QmdVelkaKeys::Type, elements, elementsEntry());
    for (qsizetype i = 0; i < elements.size(); ++i) {
        const QmdItemId element = elements.at(i);
        const int kind = kinds.at(i).toInt();
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
    const QmdKeyEntries &counters = stateCounters(elementType(state.id()));
    if (!counters.isEmpty())
        setData(QHash<QString, QVariant>(counters.cbegin(), counters.cend()), state);
}

// --- Instruments ------------------------------------------------------------

QmdIndex QmdVelkaController::instrumentsIndex() const
{
    return index(QmdVelkaKeys::Instruments);
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
    return index(QmdVelkaKeys::SyncMidiInputs);
}

QmdIndex QmdVelkaController::syncMidiOutputsIndex() const
{
    return index(QmdVelkaKeys::SyncMidiOutputs);
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
    const QmdIndex fromNode = referencedEntry(entry, QmdVelkaKeys::FromNode);
    const QmdIndex toNode = referencedEntry(entry, QmdVelkaKeys::ToNode);
    if (!fromNode.isValid() || !toNode.isValid())
        return 0;
    return edgeLengthOf(fromNode, toNode, QmdDirectModelInterface::data(QmdVelkaKeys::Path, entry).toInt(), ok);
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
    const QmdVelka::TickPos a = QmdDirectModelInterface::data(QmdVelkaKeys::TickPos, fromNode).value<QmdVelka::TickPos>();
    const QmdVelka::TickPos b = QmdDirectModelInterface::data(QmdVelkaKeys::TickPos, toNode).value<QmdVelka::TickPos>();
    return edgePathLength(a, b, path, ok);
}

// --- The controller's own lock and defaults -----------------------------------

QMutex *QmdVelkaController::mutex() const
{
    return &m_mutex;
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
        m_playback->stopPlayers();
        return;
    }
    {
        QmdRequestGuard request(this, QmdRequestOptions(Qmd::NoUndoHistory, tr("QmdVelkaController::Reset")));
        setDocumentDefaults();
        {
            // Observers hear of the upgrade as a whole, through modelReset.
            const QSignalBlocker blocker(model());
            upgradeArcUsageLists();
            upgradeVoiceGroupInstruments();
        }
    }
    // The old players are joined only once the request lock is free, so a
    // player finishing its step can still read the document.
    m_playback->replacePlayers();
    rebuildEdgeFromNodes();
}

void QmdVelkaController::setDocumentDefaults()
{
    const QmdIndex root;
    const QHash<QString, QVariant> defaults{
        {QmdVelkaKeys::Tempo, 120u},
        {QmdVelkaKeys::PrincipalsToBeatsNumerator, 1u},
        {QmdVelkaKeys::PrincipalsToBeatsDenominator, 1u},
        {QmdVelkaKeys::DivsPerPrincipal, 4u},
        {QmdVelkaKeys::ShowGrid, true},
        {QmdVelkaKeys::SnapToGrid, true},
        {QmdVelkaKeys::ShowNodeCounters, false},
        {QmdVelkaKeys::ZoomScale, 1.0},
        {QmdVelkaKeys::SyncType, QStringLiteral("internal")},
    };
    QHash<QString, QVariant> missing;
    const StylePresets::Preset colours = StylePresets::preset(StylePresets::defaultName());
    for (const auto &values : {defaults, colours}) {
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            if (!index(it.key(), root).isValid())
                missing.insert(it.key(), it.value());
        }
    }
    missing.insert(QmdVelkaKeys::Tool, 2);
    setData(missing, root);

    ensureRootContainer(QmdVelkaKeys::SyncMidiInputs, Qmd::StrDict);
    ensureRootContainer(QmdVelkaKeys::SyncMidiOutputs, Qmd::StrDict);
    ensureRootContainer(QmdVelkaKeys::Instruments, Qmd::IntDict);

    setType(QmdVelkaKeys::Temp, Qmd::StrDict, root);
    setType(QmdVelkaKeys::ElementStates, Qmd::IntDict, tempIndex());
    createElementStates(elementIds());
}

void QmdVelkaController::followUpItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid)
{
    if (parent.isValid() || isUndoRedoRequest(rid))
        return;
    // A clock far faster than its voices can be stepped only plays late, and
    // the tempo box shows no more than the form's range: the document never
    // holds what the clock and the box would read differently.
    QHash<QString, QVariant> bounded;
    for (const QString &key : keys) {
        QmdVelkaValues::TimingRange range;
        if (!QmdVelkaValues::timingRange(key, &range))
            continue;
        const QmdIndex entry = index(key, parent);
        if (!entry.isValid())
            continue;
        bool changed = false;
        const QVariant value = QmdVelkaValues::boundedTimingValue(range, data(entry), &changed);
        if (changed)
            bounded.insert(key, value);
    }
    if (!bounded.isEmpty())
        setData(bounded, parent);
}

void QmdVelkaController::ensureRootContainer(const QString &key, Qmd::ContainerType containerType)
{
    const QmdIndex root;
    const QmdIndex entry = index(key, root);
    if (!entry.isValid() || type(entry) != containerType)
        setType(key, containerType, root);
}

QmdIndexList QmdVelkaController::elementsOfKind(QmdVelka::ElementType kind) const
{
    QmdReadLocker locker(this);
    const QmdIndex elements = elementsEntry();
    const QmdItemIdList ids = QmdDirectModelInterface::ids(elements);
    const QList<QVariant> kinds = QmdDirectModelInterface::data(QmdVelkaKeys::Type, ids, elements);
    QmdIndexList found;
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (kinds.at(i).toInt() == kind)
            found.append(QmdDirectModelInterface::index(ids.at(i), elements));
    }
    return found;
}

void QmdVelkaController::upgradeArcUsageLists()
{
    for (const QmdIndex &element : elementsOfKind(QmdVelka::Node)) {
        const QmdIndex ordered = index(QmdVelkaKeys::OrderedArcUsages, element);
        if (!ordered.isValid())
            continue;
        QStringList entries;
        for (const QmdIndex &usage : childIndexes(ordered)) {
            entries << QStringLiteral("%1=%2")
                           .arg(data(QmdVelkaKeys::Arc, usage).toUInt())
                           .arg(data(QmdVelkaKeys::UsageRule, usage).toInt());
        }
        setData(QmdVelkaKeys::ArcUsageList, entries.join(QLatin1Char(',')), element);
        remove(QmdVelkaKeys::OrderedArcUsages, element);
    }
}

void QmdVelkaController::upgradeVoiceGroupInstruments()
{
    static const QStringList midiKeys{
        QmdVelkaKeys::MidiPort, QmdVelkaKeys::MidiChannels, QmdVelkaKeys::MidiDoProgramChange,
        QmdVelkaKeys::MidiProgram, QmdVelkaKeys::MidiBankMSB, QmdVelkaKeys::MidiBankLSB};
    const QString identifierKey = QmdVelkaKeys::Identifier;
    const QString outputTypeKey = QmdVelkaKeys::OutputType;
    const QmdIndex instruments = instrumentsIndex();
    for (const QmdIndex &element : elementsOfKind(QmdVelka::VoiceGroup)) {
        const QmdIndex identifier = index(identifierKey, element);
        if (!identifier.isValid())
            continue;
        const int number = data(identifier).toInt();
        QHash<QString, QVariant> record{
            {QmdVelkaKeys::Type, data(outputTypeKey, element)},
            {QmdVelkaKeys::Color, paletteColor(number)},
            {QmdVelkaKeys::Label,
             QStringLiteral("%1 %2").arg(QmdVelkaKeys::Instrument).arg(qint64(number) + 1)},
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
        setData(QmdVelkaKeys::InitialInstrument, id, element);
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
        data.insert(QmdVelkaKeys::IsHidden, true);
    return requestAddElement(type, data, containerTypes, options, newId);
}

QmdRequestId QmdVelkaController::requestAddNode(const QmdVelka::TickPos &pos, QmdVelka::CreationFlags flags,
                                                const QmdRequestOptions &options)
{
    const QHash<QString, QVariant> data{
        {QmdVelkaKeys::PitchList, QStringLiteral("C3")},
        {QmdVelkaKeys::VelocityList, QStringLiteral("64")},
        {QmdVelkaKeys::DurationList, QStringLiteral("100%")},
        {QmdVelkaKeys::TickPos, QVariant(pos)},
        {QmdVelkaKeys::SignallingMethod, 0},
    };
    return addElement(QmdVelka::Node, data, {{QmdVelkaKeys::ArcIdentifiers, Qmd::IntDict}}, flags, options);
}

QmdRequestId QmdVelkaController::requestAddEdge(const QmdIndex &fromNode, const QmdIndex &toNode,
                                                QmdVelka::EdgePath path, QmdVelka::CreationFlags flags,
                                                const QmdRequestOptions &options)
{
    // Held across both steps so that no other request comes between them.
    QmdRequestLocker locker(this);
    const bool hasFromNode = isExistingElement(fromNode);
    QHash<QString, QVariant> data{{QmdVelkaKeys::Path, int(path)}};
    if (hasFromNode)
        data.insert(QmdVelkaKeys::FromNode, fromNode.id());
    if (isExistingElement(toNode))
        data.insert(QmdVelkaKeys::ToNode, toNode.id());
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
    setTypeIfInvalid(QmdVelkaKeys::ArcIdentifiers, Qmd::IntDict, fromNode);
    const QmdIndex arcs = index(QmdVelkaKeys::ArcIdentifiers, fromNode);
    QSet<uint> taken;
    for (const QVariant &value : childData(arcs))
        taken.insert(value.toUInt());
    int number = 0;
    while (number < std::numeric_limits<int>::max() && taken.contains(uint(number)))
        ++number;
    setData(edge, number, arcs);

    const QString usages = data(QmdVelkaKeys::ArcUsageList, fromNode).toString();
    const QString entry = QStringLiteral("%1=1").arg(edge);
    setData(QmdVelkaKeys::ArcUsageList, usages.isEmpty() ? entry : usages + QLatin1Char(',') + entry, fromNode);
}

QmdRequestId QmdVelkaController::requestAddVoiceGroup(const QmdIndex &toNode, QmdVelka::CreationFlags flags,
                                                      const QmdRequestOptions &options)
{
    const QmdItemIdList instruments = instrumentIds();
    const QHash<QString, QVariant> data{
        {QmdVelkaKeys::InitialPitch, QStringLiteral("C3")},
        {QmdVelkaKeys::InitialVelocity, QStringLiteral("64")},
        {QmdVelkaKeys::InitialDuration, QStringLiteral("1.0")},
        {QmdVelkaKeys::InitialInstrument, instruments.isEmpty() ? 0u : instruments.first()},
        {QmdVelkaKeys::ToNode, toNode.id()},
    };
    return addElement(QmdVelka::VoiceGroup, data, {}, flags, options);
}

QmdRequestId QmdVelkaController::requestAddTextBox(const QmdVelka::TickPos &pos, const QString &text,
                                                   QmdVelka::CreationFlags flags,
                                                   const QmdRequestOptions &options)
{
    const QHash<QString, QVariant> data{
        {QmdVelkaKeys::TickPos, QVariant(pos)},
        {QmdVelkaKeys::Text, text},
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
        labels.insert(instrumentData(instrument, QmdVelkaKeys::Label).toString());
        colours.append(instrumentData(instrument, QmdVelkaKeys::Color).value<QColor>());
        const QBitArray channels = instrumentData(instrument, QmdVelkaKeys::MidiChannels).toBitArray();
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
        setData({{QmdVelkaKeys::Type, QStringLiteral("midi")},
                 {QmdVelkaKeys::Label, label},
                 {QmdVelkaKeys::Color, color},
                 {QmdVelkaKeys::MidiPort, port},
                 {QmdVelkaKeys::MidiChannels, channels},
                 {QmdVelkaKeys::MidiDoProgramChange, false},
                 {QmdVelkaKeys::MidiProgram, 1},
                 {QmdVelkaKeys::MidiBankMSB, 0},
                 {QmdVelkaKeys::MidiBankLSB, 0}},
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
