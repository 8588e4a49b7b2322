#include "abstractmodel.h"

#include "abstractcontroller.h"
#include "cchangemodelevent.h"
#include "mchangecontrollerevent.h"
#include "mvcfamily.h"

#include <QDebug>

AbstractModel::AbstractModel(QObject *owner)
    : MvcBase(owner)
{
}

AbstractModel::~AbstractModel()
{
    // A controller that has moved on to another model keeps that one.
    if (m_controllerOwner && m_controller->model() == this)
        postTo(m_controllerOwner, new CChangeModelEvent(nullptr));
}

void AbstractModel::mvcEvent(MvcEvent *event)
{
    if (event->mvcFamilyId() != abstractFamilyId())
        return;
    if (event->type() == MChangeControllerEvent::Type) {
        if (auto *e = dynamic_cast<MChangeControllerEvent *>(event))
            changeControllerEvent(e);
    }
}

void AbstractModel::changeControllerEvent(MChangeControllerEvent *event)
{
    m_controller = event->controller();
    m_controllerOwner = m_controller ? m_controller->owner() : nullptr;
}

AbstractController *AbstractModel::controller() const
{
    return m_controllerOwner ? m_controller : nullptr;
}

void AbstractModel::postToController(MvcEvent *event)
{
    if (!m_controllerOwner)
        qWarning() << "AbstractModel::postToController: the model has no controller; event dropped";
    postTo(m_controllerOwner, event);
}
