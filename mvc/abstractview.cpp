#include "abstractview.h"

#include "abstractcontroller.h"
#include "abstractmodel.h"
#include "cviewdetachevent.h"
#include "mvcfamily.h"
#include "vchangecontrollerevent.h"
#include "vmodelchangedevent.h"

#include <QDebug>

AbstractView::AbstractView(QObject *owner)
    : MvcBase(owner)
{
}

AbstractView::~AbstractView()
{
    if (m_controllerOwner)
        postTo(m_controllerOwner, new CViewDetachEvent(this));
}

void AbstractView::mvcEvent(MvcEvent *event)
{
    if (event->mvcFamilyId() != abstractFamilyId())
        return;
    switch (static_cast<int>(event->type())) {
    case VChangeControllerEvent::Type:
        if (auto *e = dynamic_cast<VChangeControllerEvent *>(event))
            changeControllerEvent(e);
        break;
    case VModelChangedEvent::Type:
        if (auto *e = dynamic_cast<VModelChangedEvent *>(event))
            modelChangedEvent(e);
        break;
    case VEvent::ModelReadyType:
        if (auto *e = dynamic_cast<VEvent *>(event))
            modelReadyEvent(e);
        break;
    default:
        break;
    }
}

void AbstractView::changeControllerEvent(VChangeControllerEvent *event)
{
    m_controller = event->controller();
    m_controllerOwner = m_controller ? m_controller->owner() : nullptr;
    const QSet<AbstractView *> dependents = m_dependentViews;
    for (AbstractView *view : dependents)
        followController(view);
    postTo(owner(), new VModelChangedEvent(m_controller ? m_controller->model() : nullptr, this));
}

void AbstractView::modelChangedEvent(VModelChangedEvent *event)
{
    m_model = event->model();
    m_modelOwner = m_model ? m_model->owner() : nullptr;
    postTo(owner(), new VEvent(VEvent::ModelReadyType, this));
}

void AbstractView::modelReadyEvent(VEvent *)
{
}

AbstractController *AbstractView::controller() const
{
    return m_controllerOwner ? m_controller : nullptr;
}

AbstractModel *AbstractView::model() const
{
    return m_modelOwner ? m_model : nullptr;
}

void AbstractView::postToController(MvcEvent *event)
{
    if (!m_controllerOwner)
        qWarning() << "AbstractView::postToController: the view has no controller; event dropped";
    postTo(m_controllerOwner, event);
}

QSet<AbstractView *> AbstractView::dependentViews() const
{
    return m_dependentViews;
}

void AbstractView::addDependentView(AbstractView *view)
{
    if (!view)
        return;
    m_dependentViews.insert(view);
    followController(view);
}

void AbstractView::removeDependentView(AbstractView *view)
{
    m_dependentViews.remove(view);
}

void AbstractView::clearDependentViews()
{
    m_dependentViews.clear();
}

void AbstractView::followController(AbstractView *view) const
{
    AbstractController *current = controller();
    AbstractController *previous = view->controller();
    if (previous == current)
        return;
    if (previous)
        previous->detachView(view);
    if (current)
        current->attachView(view);
}
