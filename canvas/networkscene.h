#ifndef NETWORKSCENE_H
#define NETWORKSCENE_H

#include "contentsextent.h"
#include "dependentitems.h"
#include "flashend.h"
#include "qmdindex.h"
#include "qmdobserver.h"
#include "qmdtypes.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QColor>
#include <QGraphicsScene>
#include <QHash>
#include <QList>
#include <QMultiMap>
#include <QRectF>
#include <QStringList>

#include <functional>

class ElementItem;
class QTimer;

// The graphics scene of one network document. It holds one item per element
// and keeps them in step with the document: it is the only part of the canvas
// that listens to the controller's element and instrument signals, and it
// hands each notification to the items it concerns. It also keeps the
// rectangle that the nodes and text boxes cover, the grid and snapping state
// the view uses, the eight canvas colours (bound to the document's
// "Style...Color" keys) and the timer that shows playback on the nodes.
class NetworkScene : public QGraphicsScene, public QmdObserver<QmdVelkaController>
{
    Q_OBJECT
    Q_PROPERTY(QColor backgroundColor READ backgroundColor WRITE setBackgroundColor)
    Q_PROPERTY(QColor principalLinesColor READ principalLinesColor WRITE setPrincipalLinesColor)
    Q_PROPERTY(QColor principalPointsColor READ principalPointsColor WRITE setPrincipalPointsColor)
    Q_PROPERTY(QColor divisionLinesColor READ divisionLinesColor WRITE setDivisionLinesColor)
    Q_PROPERTY(QColor divisionPointsColor READ divisionPointsColor WRITE setDivisionPointsColor)
    Q_PROPERTY(QColor annotationColor READ annotationColor WRITE setAnnotationColor)
    Q_PROPERTY(QColor nodesColor READ nodesColor WRITE setNodesColor)
    Q_PROPERTY(QColor edgesColor READ edgesColor WRITE setEdgesColor)

public:
    // The request id under which a reset rebuilds the items: elements it
    // brings are not selected and open no editor.
    static constexpr QmdRequestId ResetRequestId = 4294967295u;
    // Interval of the playback feedback timer while the document plays or a
    // flash is still to end.
    static constexpr int FeedbackIntervalMs = 16;
    // Its interval while nothing plays and nothing flashes: the window then
    // wakes only seldom. Playback started through the controller brings the
    // short interval back at once; a clock started without its word is still
    // noticed at the next pass.
    static constexpr int IdleFeedbackIntervalMs = 1000;
    // Played-node records shown per pass of the timer at most; the rest wait
    // for the next pass.
    static constexpr int FeedbackRecordsPerPass = 32;
    // How long a muted node flashes, whatever the length of its note.
    static constexpr quint64 MutedFlashNanoseconds = 100000000;

    explicit NetworkScene(QObject *parent = nullptr);
    ~NetworkScene() override;

    // Drops the old controller's connections and colour bindings, follows the
    // new one (null allowed) and rebuilds every item.
    void setController(QmdVelkaController *controller) override;

    // The united scene rectangles of all node and text-box items; the null
    // rectangle when there are none.
    const QRectF &sceneContentsRect() const { return m_sceneContentsRect; }
    bool snapToGrid() const { return m_snapToGrid; }
    // Grid spacing in ticks: 665280 / "DivsPerPrincipal".
    qint64 snapSpacing() const { return m_snapSpacing; }
    bool showNodeCounters() const { return m_showNodeCounters; }

    // The element ids of the selected items (never 0).
    const QmdItemIdSet &selectedElementIds();

    // The item of an element; null when it has none.
    ElementItem *elementItem(QmdItemId id) const { return m_items.value(id); }
    // Every item of an element, in no particular order.
    QList<ElementItem *> elementItems() const { return m_items.values(); }

    // Makes the item of one element and brings it up to date (see createItem).
    void createElementItem(QmdItemId id, QmdRequestId rid);
    // Brings the contents rectangle up to date after the item was made or
    // changed; only nodes and text boxes of the scene's elements count.
    void growSceneContentsRect(ElementItem *item);

    QColor backgroundColor() const { return m_backgroundColor.color; }
    QColor principalLinesColor() const { return m_principalLinesColor.color; }
    QColor principalPointsColor() const { return m_principalPointsColor.color; }
    QColor divisionLinesColor() const { return m_divisionLinesColor.color; }
    QColor divisionPointsColor() const { return m_divisionPointsColor.color; }
    QColor annotationColor() const { return m_annotationColor.color; }
    QColor nodesColor() const { return m_nodesColor.color; }
    QColor edgesColor() const { return m_edgesColor.color; }
    // Each writer stores the colour and then always runs the colour's callback.
    void setBackgroundColor(const QColor &color) { setColor(m_backgroundColor, color); }
    void setPrincipalLinesColor(const QColor &color) { setColor(m_principalLinesColor, color); }
    void setPrincipalPointsColor(const QColor &color) { setColor(m_principalPointsColor, color); }
    void setDivisionLinesColor(const QColor &color) { setColor(m_divisionLinesColor, color); }
    void setDivisionPointsColor(const QColor &color) { setColor(m_divisionPointsColor, color); }
    void setAnnotationColor(const QColor &color) { setColor(m_annotationColor, color); }
    void setNodesColor(const QColor &color) { setColor(m_nodesColor, color); }
    void setEdgesColor(const QColor &color) { setColor(m_edgesColor, color); }

signals:
    void sceneContentsRectChanged(const QRectF &rect);

public slots:
    void reset();
    void setSceneContentsRect(const QRectF &rect);
    void onSelectionChanged();
    void onElementsAdded(const QmdItemIdList &idList, QmdRequestId rid);
    void onElementsRemoved(const QmdItemIdList &idList, QmdRequestId rid);
    void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    void onInstrumentDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid);
    // The items that show a removed instrument's colour and label drop them.
    void onInstrumentsRemoved(const QmdItemIdList &idList, QmdRequestId rid);
    void onItemsChanged(const QmdIndex &parent, const QStringList &keys);
    // The pass of the playback feedback timer, every 16 ms while the scene
    // has a controller.
    void checkFeedbackPipe();
    // Playback started or stopped: the next pass comes at the short interval.
    void onPlaybackStateChanged(bool playing);

    // The colour a played node flashes in: the instrument's hue and
    // brightness, saturation from 0.3 at velocity 0 to 1.0 at 127, and 60 % of
    // its opacity. An instrument without a valid colour flashes in fallback.
    static QColor flashColor(const QColor &instrumentColor, quint8 velocity, const QColor &fallback);

protected:
    // The grid (see GridBackground) in the document's colours and divisions;
    // nothing without a controller.
    void drawBackground(QPainter *painter, const QRectF &rect) override;

    // The item of an element of the given "Type" (1 edge, 2 node, 3 text box,
    // 4 voice group), added to this scene; null for a type that has no item.
    // Edges start above the nodes (z 1); the first selection change of the
    // scene settles them.
    virtual ElementItem *createItem(int type, QmdItemId id);

    // Colour callbacks: the grid colours reset the views' cached background,
    // the others let the items of their kind take the new colour.
    virtual void resetViewsCachedContent();
    virtual void applyAnnotationColor();
    virtual void applyNodesColor();
    virtual void applyEdgesColor();

    QTimer *feedbackTimer() const { return m_feedbackTimer; }
    // End tick of every running node flash; several entries per tick.
    QMultiMap<quint64, FlashEnd> &flashEnds() { return m_flashEnds; }

private:
    struct ColorMember
    {
        QColor color;
        std::function<void()> changed;
    };

    void setColor(ColorMember &member, const QColor &color);
    void applyColorToItems(int itemType);
    void bindColors(QmdVelkaController *controller);
    // Deletes items of the registry with everything that refers to them.
    void removeElementItems(const QList<ElementItem *> &items);
    // The elements and instruments the item follows, read from its record.
    void followReferences(ElementItem *item, int elementType, const QmdIndex &record);
    // createElementItem with the elements' container looked up by the caller.
    void createElementItem(QmdItemId id, QmdRequestId rid, const QmdIndex &elements);
    void selectNewItems(bool clearFirst);
    void announceSelectionChange();
    // Announces the contents rectangle when it changed, unless a batch is open.
    void updateSceneContentsRect();

    ColorMember m_backgroundColor;
    ColorMember m_principalLinesColor;
    ColorMember m_principalPointsColor;
    ColorMember m_divisionLinesColor;
    ColorMember m_divisionPointsColor;
    ColorMember m_annotationColor;
    ColorMember m_nodesColor;
    ColorMember m_edgesColor;

    QHash<QmdItemId, ElementItem *> m_items;
    // Items that follow other elements (edges, voice groups) and instruments.
    DependentItems m_elementFollowers;
    DependentItems m_instrumentFollowers;
    QTimer *m_feedbackTimer = nullptr;
    QMultiMap<quint64, FlashEnd> m_flashEnds;
    QRectF m_sceneContentsRect;
    ContentsExtent m_contentsExtent;
    // While set, the contents rectangle is announced once at the end of the
    // handler instead of after every item.
    int m_contentsBatch = 0;
    QmdRequestId m_lastAddRequest = 0;
    bool m_selectionDirty = true;
    QmdItemIdSet m_selectedElementIds;
    // New items to select at the end of the current handler.
    QList<ElementItem *> m_itemsToSelect;
    int m_addBatch = 0;
    // Selection changes made with the scene's signals blocked, announced
    // once per handler.
    bool m_selectionTouched = false;
    bool m_snapToGrid = true;
    qint64 m_snapSpacing = qint64(QmdVelka::TicksPerPrincipal);
    bool m_showNodeCounters = false;
};

#endif // NETWORKSCENE_H
