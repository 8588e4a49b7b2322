#ifndef QMDVELKACONTROLLER_H
#define QMDVELKACONTROLLER_H

#include "feedbackevent.h"
#include "qmdelementdoccontroller.h"
#include "qmdsyncronizedcontroller.h"
#include "qmdvelka.h"
#include "tickpos.h"
#include "timedeventqueue.h"

#include <QBitArray>
#include <QColor>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

class AbstractSync;
class InstrumentPlayer;
class InstrumentsModel;
class Playback;
class PlayerFactory;
class VoicePlayer;

// The controller of one network document.
//
// The document is a string-keyed root holding the document-wide keys and the
// containers "Elements" (nodes, edges, text boxes, voice groups keyed by id),
// "Instruments" (instrument records keyed by id), "SyncMidiInputs",
// "SyncMidiOutputs" and "Temp" (run-time data that is never saved: the
// "ElementStates" of nodes and edges). reset() fills in missing defaults,
// upgrades documents of the older layout, rebuilds "Temp" and has playback()
// replace the players: the clock, one player per instrument record and one
// per voice group, made by the installed PlayerFactory. The controller keeps
// the document's rules (when players are made, stopped and re-traverse, what
// go to start does to the element states); the players themselves, their
// threads and the routing of notes belong to playback().
//
// Bulk changes arrive in batches, so that a view can update once per batch:
// - A load or template load replaces the whole document in one change:
//   observers get one modelReset and no element signals, and rebuild from the
//   document.
// - Paste, the removal of a set of elements (requestRemove of their ids under
//   elementsIndex()), and undo and redo of either, change the elements in one
//   change: elementsAdded or elementsRemoved arrives once with every id of
//   the batch (the data of those elements is not announced apart), and at
//   most once more for the follow-ups of the same request (the edges and
//   voice groups that hung on removed nodes). Each list is the batch whole:
//   a receiver handles it in one go.
// - The element states of the new or removed nodes and edges are made or
//   removed in the same request and undo step, as one change of
//   "ElementStates".
//
// Every public reader takes the controller's read lock, so voice threads may
// read while the GUI thread runs requests. Readers of an id that names nothing
// return an invalid QmdIndex or an invalid QVariant, never the root. Writers
// marked "inside a request" take no lock of their own and write only into
// entries that exist.
class QmdVelkaController : public QmdSyncronizedController<QmdElementDocController>
{
    Q_OBJECT

public:
    explicit QmdVelkaController(QObject *parent = nullptr);
    ~QmdVelkaController() override;

    // Elements.
    QmdItemIdList elementIds() const;
    QmdIndex elementIndex(QmdItemId element) const;
    QVariant elementData(QmdItemId element, const QString &key) const;
    // The element's "Type" (QmdVelka::ElementType); 0 when it or its "Type" is missing.
    int elementType(QmdItemId element) const;
    // The index of the element whose id the element holds under key ("FromNode", "ToNode").
    QmdIndex referencedElementIndex(QmdItemId element, const QString &key) const;
    // The number that a node gives one of its outgoing edges ("ArcIdentifiers"); 0 when absent.
    int arcIdentifier(QmdItemId node, QmdItemId edge) const;
    // Inside a request: sets the key of an existing element.
    void setElementData(QmdItemId element, const QString &key, const QVariant &value);

    // Run-time containers.
    QmdIndex tempIndex() const;
    QmdIndex elementStatesIndex() const;
    QmdIndex elementStateIndex(QmdItemId element) const;
    // Inside a request: gives a node or edge a fresh state entry (replacing any).
    void createElementState(QmdItemId element);
    // Inside a request: the same for every node and edge of the list, as one
    // change of "ElementStates".
    void createElementStates(const QmdItemIdList &elements);
    // Inside a request: sets every counter of a state entry back to 0, by the kind
    // of its element; entries of other kinds and missing entries are left alone.
    void resetElementState(const QmdIndex &state);

    // Instruments.
    QmdIndex instrumentsIndex() const;
    QmdItemIdList instrumentIds() const;
    QmdIndex instrumentIndex(QmdItemId instrument) const;
    QVariant instrumentData(QmdItemId instrument, const QString &key) const;
    // True when index names an instrument record itself.
    bool isInstrumentIndex(const QmdIndex &index) const;

    // MIDI clock ports: one entry per port name, each holding "MidiSync".
    QmdIndex syncMidiInputsIndex() const;
    QmdIndex syncMidiOutputsIndex() const;

    // Edge length in ticks (QmdVelka::EdgePath rules). *ok is false when the edge
    // or one of its nodes is missing, or when the length had to be clamped.
    qint64 edgeLength(QmdItemId edge, bool *ok = nullptr) const;
    qint64 edgeLengthBetween(const QmdIndex &fromNode, const QmdIndex &toNode, int path,
                             bool *ok = nullptr) const;

    // The controller's own lock, held by the canvas while it reads the
    // element states that playback writes back. Not the lock of requests and
    // reads; take it before any request or read lock. Playback never takes
    // it: a voice step writes a node's state back in one request.
    QMutex *mutex() const;

    // The owner of the document's players: the clock, the instrument and
    // voice-group players, their threads, the transport and the routing of
    // notes into the instruments' queues, under a lock of its own. Made with
    // the controller and alive as long as it.
    Playback *playback() const;

    // Played-node records for the canvas (limit 1000), kept by playback().
    TimedEventQueue<FeedbackEvent> &feedbackPipe();

    // The instrument players, keyed by instrument id (a copy of playback()'s table).
    QHash<QmdItemId, InstrumentPlayer *> instrumentThreads() const;
    // The voice-group players, keyed by element id (a copy of playback()'s table).
    QHash<QmdItemId, VoicePlayer *> voiceGroups() const;

    // The factory that makes the players of every document; the engine installs
    // it at start-up. Without one a document has no players.
    static void setPlayerFactory(PlayerFactory *factory);
    static PlayerFactory *playerFactory();
    // The document's playback clock; null until setupSync() has made one.
    AbstractSync *sync() const;
    // (Re)creates the playback clock from "SyncType" through the player factory
    // and hands it to every player; the old clock is deleted later.
    void setupSync();

    // Players of the document, made and kept by playback(). Creating keeps a
    // player that already runs for an id; new players play at once when the
    // clock plays. Call them on the controller's thread, outside the request
    // lock and the controller's mutex: replacing and stopping players joins
    // their threads.
    void createInstrumentThreads(const QmdItemIdList &instruments);
    // Only ids of voice-group elements get a player.
    void createVoiceGroups(const QmdItemIdList &elements);
    // Every voice group re-traverses from the playback position when the element
    // is an edge, node or voice group; the keys do not enter the decision.
    void retraverseVoiceGroups(QmdItemId element, const QStringList &keys);

    // The MIDI output port a new instrument gets (see OutputPortNames).
    static QString defaultMidiOutputPortName();
    // The colour preset names, sorted ("Dark", "Light").
    static QStringList stylePresetNames();

    // The item model of the instrument list; a child of the controller.
    InstrumentsModel *instrumentsModel() const;

    // What every playback request returns in place of a request id.
    static constexpr QmdRequestId PlaybackRequestId = 4294967295u;

signals:
    void playbackStateChanged(bool isPlaying);
    void playbackJogged();
    void instrumentDataChanged(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    void instrumentDataRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    void instrumentsAdded(const QmdItemIdList &idList, QmdRequestId rid);
    void instrumentsRemoved(const QmdItemIdList &idList, QmdRequestId rid);

public slots:
    // Playback, carried out by playback(). The playback requests make no
    // recorded change and return PlaybackRequestId. Instruments are always
    // switched before voice groups.
    QmdRequestId requestPlay();
    QmdRequestId requestPause();
    QmdRequestId requestTogglePlayback();
    // Play primes the players and then starts the clock; pause stops the
    // clock and then the players.
    QmdRequestId requestSetPlayback(bool play);
    // Brings the players in line with a clock that has already changed state.
    QmdRequestId requestPrimePlaybackForSyncStateChange(bool newState);
    // Rewinds the clock, the element states, the players and the feedback queue;
    // a playing document goes on playing from the start.
    QmdRequestId requestGotoStart();
    // View switches: each flips one root key without an undo step.
    QmdRequestId requestToggleShowGrid();
    QmdRequestId requestToggleSnapToGrid();
    QmdRequestId requestToggleShowNodeCounters();
    // Every voice group re-traverses from the playback position.
    void requestTraverseFromPlaybackPos();

    // A new instrument with the first free label ("Instrument", "Instrument 2", ...),
    // the first palette colour and the first MIDI channel no instrument uses.
    QmdRequestId requestAddInstrument(const QmdRequestOptions &options = QmdRequestOptions(tr("Instrument")));
    QmdRequestId requestAddInstrument(const QString &label, const QColor &color, const QBitArray &channels,
                                      const QmdRequestOptions &options = QmdRequestOptions(tr("Instrument")));

    // An edge, and in the same undo step its arc number and usage entry in the from-node.
    QmdRequestId requestAddEdge(const QmdIndex &fromNode = QmdIndex(), const QmdIndex &toNode = QmdIndex(),
                                QmdVelka::EdgePath path = QmdVelka::CityBlock,
                                QmdVelka::CreationFlags flags = QmdVelka::NoCreationFlags,
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Edge")));
    QmdRequestId requestAddNode(const QmdVelka::TickPos &pos,
                                QmdVelka::CreationFlags flags = QmdVelka::NoCreationFlags,
                                const QmdRequestOptions &options = QmdRequestOptions(tr("Node")));
    QmdRequestId requestAddVoiceGroup(const QmdIndex &toNode,
                                      QmdVelka::CreationFlags flags = QmdVelka::NoCreationFlags,
                                      const QmdRequestOptions &options = QmdRequestOptions(tr("Voice Group")));
    QmdRequestId requestAddTextBox(const QmdVelka::TickPos &pos,
                                   const QString &text = QStringLiteral("<html><body>Text</body></html>"),
                                   QmdVelka::CreationFlags flags = QmdVelka::NoCreationFlags,
                                   const QmdRequestOptions &options = QmdRequestOptions(tr("Text Box")));

    // Writes the eight colour keys of a preset as one request; 0 (no request) for
    // an unknown preset name.
    QmdRequestId requestLoadStylePreset(const QString &presetName);

    // Puts the elements (those that exist) on the clipboard; records nothing.
    QmdRequestId requestCopy(const QmdItemIdSet &elements);
    // Adds the clipboard's elements as new ones centred on center, as one undo step.
    QmdRequestId requestPaste(const QmdVelka::TickPos &center);

protected slots:
    void Reset() override;
    // Follow the model's relayed changes with the players: new and removed
    // instruments and voice groups, re-traversal, a changed clock type.
    void receivedItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) override;
    void receivedItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid) override;
    void receivedItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) override;
    void receivedItemsRemoved(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid) override;

protected:
    // Follow-ups inside the request that made the change: element states of
    // new nodes and edges, the clean-up of references to removed elements and
    // instruments, and the removal of elements that depend on removed ones.
    // None for the changes of undo and redo.
    void followUpItemsChanged(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) override;
    void followUpItemsRemoved(const QmdIndex &parent, const QmdItemIdList &idList, QmdRequestId rid) override;
    // Keeps the tempo and the principals-to-beats ratio written by a request
    // in their ranges, in the same request, as a load keeps them.
    void followUpItemsChanged(const QmdIndex &parent, const QStringList &keys, QmdRequestId rid) override;

    // The document file, written without "Temp" and read after it was checked.
    QFile::FileError saveFile(const QString &fileName, QmdRequestId rid) override;
    QFile::FileError loadFile(const QString &fileName, QmdRequestId rid) override;

    // Inside the reset: fills in missing document keys and containers, sets "Tool",
    // rebuilds "Temp" with a state for every node and edge.
    void setDocumentDefaults();

    // The common step of the element requests: "IsHidden" from the flags, then
    // one element with its data and empty containers.
    QmdRequestId addElement(int type, QHash<QString, QVariant> data,
                            const QHash<QString, Qmd::ContainerType> &containerTypes,
                            QmdVelka::CreationFlags flags, const QmdRequestOptions &options,
                            QmdItemId *newId = nullptr);

    // Hands players made for instrument records to playback(), whose table
    // routes the notes; ids that have a player keep it. Playback owns the
    // players it takes.
    void registerInstrumentThreads(const QHash<QmdItemId, InstrumentPlayer *> &threads);

private:
    void rebuildEdgeFromNodes();
    bool isUndoRedoRequest(QmdRequestId rid) const;
    QmdRequestId toggleRootKey(const QString &key);
    void removeReferencesToEdges(const QmdItemIdList &ids);
    void removeDependentElements(const QmdItemIdList &ids);
    void removeReferencesToInstruments(const QmdItemIdList &ids);
    void followTypeChange(QmdItemId element);
    void stopRemovedVoiceGroups(const QmdItemIdList &ids);
    void stopRemovedInstruments(const QmdItemIdList &ids, QmdRequestId rid);

    void ensureRootContainer(const QString &key, Qmd::ContainerType type);
    // The entries of the elements of one kind, in id order.
    QmdIndexList elementsOfKind(QmdVelka::ElementType kind) const;
    void upgradeArcUsageLists();
    void upgradeVoiceGroupInstruments();
    QmdRequestId addInstrumentRecord(const QString &label, const QColor &color, const QBitArray &channels,
                                     const QString &port, const QmdRequestOptions &options);
    void addArcToFromNode(const QmdIndex &fromNode, QmdItemId edge);
    bool entryExists(const QmdIndex &index) const;
    // Under the read lock the caller holds: the "Elements" container, the
    // entry of an existing element (in the given "Elements" container, for
    // callers that look up many), the element an entry refers to under key,
    // the "ElementStates" container, and the length between two existing nodes.
    QmdIndex elementsEntry() const;
    QmdIndex elementEntry(QmdItemId element) const;
    QmdIndex elementEntry(QmdItemId element, const QmdIndex &elements) const;
    QmdIndex referencedEntry(const QmdIndex &entry, const QString &key) const;
    QmdIndex elementStatesEntry() const;
    qint64 edgeLengthOf(const QmdIndex &fromNode, const QmdIndex &toNode, int path, bool *ok) const;
    bool isExistingElement(const QmdIndex &index) const;

    // Edge id -> from-node id, so that the from-node of a removed edge is known.
    QHash<QmdItemId, QmdItemId> m_edgeFromNodes;
    mutable QMutex m_mutex;
    InstrumentsModel *m_instrumentsModel = nullptr; // a child of the controller
    const std::unique_ptr<Playback> m_playback;
};

#endif // QMDVELKACONTROLLER_H
