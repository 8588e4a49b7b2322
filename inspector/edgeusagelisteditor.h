#ifndef EDGEUSAGELISTEDITOR_H
#define EDGEUSAGELISTEDITOR_H

#include "edgeusagelist.h"
#include "qmdindex.h"
#include "qmdobserver.h"
#include "qmdtypes.h"

#include <QGraphicsView>
#include <QPointer>
#include <QVector>

class EdgeUsageTile;
class QAction;
class QKeyEvent;
class QMenu;
class QSpinBox;
class QmdVelkaController;

// A node's edge-usage list ("ArcUsageList") as a strip of tiles, one per entry in
// list order. The user drags tiles to reorder the entries, double-clicks a tile to
// edit its use count in a small spin box, removes a tile with Delete or Backspace
// and appends entries from addMenu(), which lists the node's edges. Every edit
// that changes the list is one request "Edge Usage"; an edit that leaves it as it
// is makes none.
//
// The strip follows the document: when the node's list changes in another way
// (undo, redo, another window) or the node goes away, the tiles are rebuilt. A
// rebuild waits until a running drag or count edit ends, and such a gesture then
// writes nothing, so that it never puts back a list that has been replaced.
class EdgeUsageListEditor : public QGraphicsView, public QmdObserver<QmdVelkaController>
{
    Q_OBJECT

public:
    explicit EdgeUsageListEditor(QWidget *parent = nullptr);
    ~EdgeUsageListEditor() override;

    void setController(QmdVelkaController *controller) override;

    QMenu *addMenu() const { return m_addMenu; }
    const QVector<EdgeUsageTile *> &tiles() const { return m_tiles; }

    // Delete or Backspace without modifiers (keypad aside): the keys that remove a tile.
    static bool isRemoveKey(const QKeyEvent *event);

public slots:
    void setNode(QmdItemId node);
    void sync();

private slots:
    void onEditTriggered(EdgeUsageTile *tile);
    void onEditingFinished();
    void onVisualizeTileMove(EdgeUsageTile *tile, int to);
    void onTileMoveFinished(EdgeUsageTile *tile);
    void onRemoveTriggered(EdgeUsageTile *tile);
    void onItemsChangedOrRemoved(const QmdIndex &parent);
    void onAddActionTriggered(QAction *action);
    void onKeysChangedOrRemoved(const QmdIndex &parent, const QStringList &keys);
    void onElementsAddedOrRemoved(const QmdItemIdList &elements);
    void onModelReset();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void syncTiles();
    void syncAddMenu();
    void updateSceneRect();
    // Rebuilds the tiles when the stored list differs from the strip, unless a
    // gesture runs; then the rebuild waits for its end.
    void followDocument();
    bool isGestureRunning() const;
    void writeList();
    bool hasNode() const;
    QString storedText() const;
    EdgeUsageList stripEntries() const;
    int tileHeight() const;

    QmdItemId m_nodeId = 0;
    QmdIndex m_nodeIndex;
    QVector<EdgeUsageTile *> m_tiles;
    QPointer<EdgeUsageTile> m_editedTile;
    QSpinBox *m_spinBox;
    QMenu *m_addMenu;
    // The document's list changed while a gesture ran.
    bool m_changedDuringGesture = false;
};

#endif // EDGEUSAGELISTEDITOR_H
