#include "canvascontextmenu.h"

#include "elementindexes.h"
#include "elementitem.h"
#include "networkscene.h"
#include "qmdvelka.h"
#include "qmdvelkaclipboard.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QActionGroup>
#include <QClipboard>
#include <QGraphicsItem>
#include <QGuiApplication>
#include <QMetaMethod>
#include <QMimeData>

namespace {

int checkedData(const QActionGroup *group)
{
    const QAction *checked = group->checkedAction();
    return checked ? checked->data().toInt() : -1;
}

void checkData(QActionGroup *group, int value)
{
    const QList<QAction *> actions = group->actions();
    for (QAction *action : actions) {
        if (action->data().toInt() == value) {
            action->setChecked(true);
            return;
        }
    }
}

} // namespace

CanvasContextMenu::CanvasContextMenu(QObject *editActionsReceiver, QWidget *parent)
    : QMenu(parent)
{
    m_cut = addAction(tr("Cu&t"));
    m_copy = addAction(tr("&Copy"));
    m_paste = addAction(tr("&Paste"));
    m_delete = addAction(tr("&Delete"));
    m_selectAll = addAction(tr("Select A&ll"));
    // The receiver is the document window, which the canvas does not know
    // by class: its slots are reached by name.
    connectEditAction(m_cut, editActionsReceiver, "cut()");
    connectEditAction(m_copy, editActionsReceiver, "copy()");
    connectEditAction(m_paste, editActionsReceiver, "paste()");
    connectEditAction(m_delete, editActionsReceiver, "del()");
    connectEditAction(m_selectAll, editActionsReceiver, "selectAll()");
    addSeparator();

    m_signalling = addChoices({tr("&Sequential"), tr("Para&llel"), tr("&Random")});
    connect(m_signalling, &QActionGroup::triggered, this, &CanvasContextMenu::contextMenuNodeSigMethodChanged);
    addSeparator();
    m_mute = addAction(tr("&Mute"));
    m_mute->setCheckable(true);

    m_edgePath = addChoices({tr("City &Block"), tr("City Block &Flipped"), tr("Direc&t")});
    connect(m_edgePath, &QActionGroup::triggered, this, &CanvasContextMenu::contextMenuEdgePathChanged);
    addSeparator();
    m_wormhole = addAction(tr("&Wormhole"));
    m_wormhole->setCheckable(true);

    showNodeEntries(false);
    showEdgeEntries(false);
}

void CanvasContextMenu::connectEditAction(QAction *action, QObject *receiver, const char *slot)
{
    // An entry whose slot the receiver lacks stays disabled.
    const int index = receiver ? receiver->metaObject()->indexOfSlot(slot) : -1;
    m_unavailable.insert(action, index < 0);
    if (index >= 0)
        connect(action, &QAction::triggered, receiver, [receiver, index] {
            receiver->metaObject()->method(index).invoke(receiver);
        });
}

QActionGroup *CanvasContextMenu::addChoices(const QStringList &texts)
{
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    for (int i = 0; i < texts.size(); ++i) {
        QAction *action = addAction(texts.at(i));
        action->setCheckable(true);
        action->setData(i);
        group->addAction(action);
    }
    return group;
}

void CanvasContextMenu::showNodeEntries(bool show)
{
    m_signalling->setVisible(show);
    m_mute->setVisible(show);
}

void CanvasContextMenu::showEdgeEntries(bool show)
{
    m_edgePath->setVisible(show);
    m_wormhole->setVisible(show);
}

int CanvasContextMenu::contextMenuNodeSigMethod() const
{
    return checkedData(m_signalling);
}

void CanvasContextMenu::setContextMenuNodeSigMethod(int method)
{
    checkData(m_signalling, method);
}

int CanvasContextMenu::contextMenuEdgePath() const
{
    return checkedData(m_edgePath);
}

void CanvasContextMenu::setContextMenuEdgePath(int path)
{
    checkData(m_edgePath, path);
}

QmdController::WatchMap CanvasContextMenu::selectedWatchMap(const QmdVelkaController *controller,
                                                            const QmdItemIdSet &selected, int elementType,
                                                            const QString &key)
{
    QmdController::WatchMap watches;
    if (!controller)
        return watches;
    for (QmdItemId id : selected) {
        if (controller->elementType(id) != elementType)
            continue;
        if (const std::optional<QmdIndex> record = existingElementIndex(controller, id))
            watches.insert(*record, {key});
    }
    return watches;
}

void CanvasContextMenu::unbindElementEntries()
{
    if (QmdVelkaController *c = m_bindingController.data()) {
        c->unbind(this, "contextMenuNodeSigMethod");
        c->unbind(this, "contextMenuEdgePath");
        c->unbind(m_mute);
        c->unbind(m_wormhole);
    }
    m_bindingController.clear();
}

void CanvasContextMenu::prepare(QmdVelkaController *controller, NetworkScene *scene, QGraphicsItem *item)
{
    const bool hasSelection = scene && !scene->selectedElementIds().isEmpty();
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    const bool canPaste = mime && mime->hasFormat(QmdVelkaClipboard::mimeType());
    const std::pair<QAction *, bool> states[] = {
        {m_cut, hasSelection}, {m_copy, hasSelection}, {m_paste, canPaste}, {m_delete, hasSelection},
        {m_selectAll, true}};
    for (const auto &[action, enabled] : states)
        action->setEnabled(enabled && !m_unavailable.value(action));

    showNodeEntries(false);
    showEdgeEntries(false);
    // Entries of an earlier opening follow no selection any more.
    unbindElementEntries();
    if (!hasSelection || !item || !controller || !controller->model())
        return;

    // The element entries write the selected elements of the kind under the
    // mouse; the other selected elements keep their keys.
    const QmdItemIdSet &selected = scene->selectedElementIds();
    m_bindingController = controller;
    if (item->type() == EdgeItemType) {
        showEdgeEntries(true);
        controller->bind(this, "contextMenuEdgePath", SIGNAL(contextMenuEdgePathChanged()),
                         selectedWatchMap(controller, selected, QmdVelka::Edge, QmdVelkaKeys::Path), int(QmdVelka::CityBlock),
                         int(QmdVelka::CityBlock), tr("Path"));
        controller->bind(m_wormhole, "checked", SIGNAL(toggled(bool)),
                         selectedWatchMap(controller, selected, QmdVelka::Edge, QmdVelkaKeys::IsWormhole), false, false,
                         tr("Wormhole"));
    } else if (item->type() == NodeItemType) {
        showNodeEntries(true);
        controller->bind(this, "contextMenuNodeSigMethod", SIGNAL(contextMenuNodeSigMethodChanged()),
                         selectedWatchMap(controller, selected, QmdVelka::Node, QmdVelkaKeys::SignallingMethod), -1, -1,
                         tr("Signalling"));
        controller->bind(m_mute, "checked", SIGNAL(toggled(bool)),
                         selectedWatchMap(controller, selected, QmdVelka::Node, QmdVelkaKeys::DontPlayNote), false, false,
                         tr("Mute"));
    }
}
