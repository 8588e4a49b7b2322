#include "abstractcontroller.h"

#include "abstractmodel.h"
#include "abstractview.h"
#include "cchangemodelevent.h"
#include "cviewattachevent.h"
#include "cviewdetachevent.h"
#include "mchangecontrollerevent.h"
#include "mvcfamily.h"
#include "vchangecontrollerevent.h"
#include "vmodelchangedevent.h"

#include <algorithm>

AbstractController::AbstractController(QObject *owner)
    : MvcBase(owner)
{
}

AbstractController::~AbstractController() = default;

void AbstractController::mvcEvent(MvcEvent *event)
{
    if (event->mvcFamilyId() != abstractFamilyId())
        return;
    switch (static_cast<int>(event->type())) {
    case CChangeModelEvent::Type:
        if (auto *e = dynamic_cast<CChangeModelEvent *>(event))
            changeModelEvent(e);
        break;
    case CViewAttachEvent::Type:
        if (auto *e = dynamic_cast<CViewAttachEvent *>(event))
            viewAttachEvent(e);
        break;
    case CViewDetachEvent::Type:
        if (auto *e = dynamic_cast<CViewDetachEvent *>(event))
            viewDetachEvent(e);
        break;
    case CEvent::DetachAllViewsType:
        if (dynamic_cast<CEvent *>(event))
            detachAllViewsEvent(event);
        break;
    default:
        break;
    }
}

void AbstractController::changeModelEvent(CChangeModelEvent *event)
{
    m_model = event->model();
    m_modelOwner = m_model ? m_model->owner() : nullptr;
    if (!m_model)
        return;
    postTo(m_modelOwner, new MChangeControllerEvent(this));
    const QList<QObject *> owners = viewOwners();
    for (QObject *viewOwner : owners)
        postTo(viewOwner, new VModelChangedEvent(m_model, this));
}

void AbstractController::viewAttachEvent(CViewAttachEvent *event)
{
    AbstractView *view = event->view();
    if (!view)
        return;
    const bool attached = std::any_of(m_views.cbegin(), m_views.cend(),
                                      [view](const AttachedView &v) { return v.view == view; });
    if (!attached)
        m_views.append({view, view->owner()});
    postTo(view->owner(), new VChangeControllerEvent(this, this));
}

void AbstractController::viewDetachEvent(CViewDetachEvent *event)
{
    AbstractView *view = event->rawView();
    m_views.erase(std::remove_if(m_views.begin(), m_views.end(),
                                 [view](const AttachedView &v) { return v.view == view; }),
                  m_views.end());
}

void AbstractController::detachAllViewsEvent(MvcEvent *)
{
    m_views.clear();
}

AbstractModel *AbstractController::model() const
{
    return m_modelOwner ? m_model : nullptr;
}

void AbstractController::setModel(AbstractModel *model)
{
    postTo(owner(), new CChangeModelEvent(model));
}

void AbstractController::attachView(AbstractView *view)
{
    if (view)
        postTo(owner(), new CViewAttachEvent(view));
}

void AbstractController::detachView(AbstractView *view)
{
    if (view)
        postTo(owner(), new CViewDetachEvent(view));
}

QSet<AbstractView *> AbstractController::views() const
{
    QSet<AbstractView *> live;
    for (const AttachedView &v : m_views) {
        if (v.owner)
            live.insert(v.view);
    }
    return live;
}

QList<QObject *> AbstractController::viewOwners() const
{
    QList<QObject *> owners;
    for (const AttachedView &v : m_views) {
        if (v.owner)
            owners.append(v.owner);
    }
    return owners;
}
