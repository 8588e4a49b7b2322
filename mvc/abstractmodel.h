#ifndef ABSTRACTMODEL_H
#define ABSTRACTMODEL_H

#include "mvcbase.h"

#include <QObject>
#include <QPointer>

class AbstractController;
class MChangeControllerEvent;

// A model of the posted-event framework. It learns its controller from an
// MChangeControllerEvent and tells the controller when it dies.
class AbstractModel : public MvcBase
{
public:
    explicit AbstractModel(QObject *owner);
    // Asks a controller whose owner still lives, and whose model this still
    // is, to drop this model.
    ~AbstractModel() override;

    // Hands an event of the generic family to its handler; ignores the rest.
    virtual void mvcEvent(MvcEvent *event);
    virtual void changeControllerEvent(MChangeControllerEvent *event);

    // The controller while its owner lives, else null.
    AbstractController *controller() const;
    // Posts the event to the controller's owner; dropped without a controller.
    void postToController(MvcEvent *event);

private:
    AbstractController *m_controller = nullptr;
    QPointer<QObject> m_controllerOwner;
};

#endif // ABSTRACTMODEL_H
