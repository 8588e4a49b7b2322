#include "contentscentring.h"

#include "elementitem.h"
#include "networkscene.h"

#include <QEvent>
#include <QGraphicsView>
#include <QScrollBar>
#include <QTimer>

ContentsCentring::ContentsCentring(QGraphicsView *view, NetworkScene *scene, QObject *parent)
    : QObject(parent), m_view(view), m_scene(scene)
{
    view->viewport()->installEventFilter(this);
    view->installEventFilter(this);
    // Only the user's own scrolling: scrolling done by the program emits no
    // action.
    for (QScrollBar *bar : {view->horizontalScrollBar(), view->verticalScrollBar()})
        connect(bar, &QAbstractSlider::actionTriggered, this, &ContentsCentring::stopWatching);
    connect(scene, &NetworkScene::sceneContentsRectChanged, this, [this] {
        if (m_watching)
            scheduleCheck();
    });
}

void ContentsCentring::watch()
{
    m_watching = true;
    scheduleCheck();
}

void ContentsCentring::stopWatching()
{
    m_watching = false;
}

bool ContentsCentring::eventFilter(QObject *watched, QEvent *event)
{
    if (m_watching) {
        switch (event->type()) {
        case QEvent::Resize:
            if (m_view && watched == m_view->viewport())
                scheduleCheck();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
            stopWatching();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ContentsCentring::scheduleCheck()
{
    if (m_checkScheduled)
        return;
    m_checkScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_checkScheduled = false;
        if (m_watching)
            centreIfNothingShows();
    });
}

void ContentsCentring::centreIfNothingShows()
{
    if (!m_view || !m_scene || m_view->scene() != m_scene)
        return;
    const QList<ElementItem *> items = m_scene->elementItems();
    if (items.isEmpty())
        return;
    const QRectF visible = m_view->mapToScene(m_view->viewport()->rect()).boundingRect();
    QRectF contents;
    for (ElementItem *item : items) {
        const QRectF drawn = item->graphicsItem()->sceneBoundingRect();
        if (drawn.intersects(visible))
            return;
        contents |= drawn;
    }
    m_view->centerOn(contents.center());
}
