#ifndef ABSTRACTVIEW_H
#define ABSTRACTVIEW_H

#include "mvcbase.h"

#include <QObject>
#include <QPointer>
#include <QSet>

class AbstractController;
class AbstractModel;
class VChangeControllerEvent;
class VEvent;
class VModelChangedEvent;

// A view of the posted-event framework. It learns its controller, then its
// model, then gets a ready event; it may use the model from that event on.
// Dependent views follow this view to whatever controller it is attached to.
class AbstractView : public MvcBase
{
public:
    explicit AbstractView(QObject *owner);
    // Asks a controller whose owner still lives to detach this view.
    ~AbstractView() override;

    // Hands an event of the generic family to its handler; ignores the rest.
    virtual void mvcEvent(MvcEvent *event);
    virtual void changeControllerEvent(VChangeControllerEvent *event);
    virtual void modelChangedEvent(VModelChangedEvent *event);
    // Called when the model is ready; nothing to do here.
    virtual void modelReadyEvent(VEvent *event);

    // The controller and the model while their owners live, else null.
    AbstractController *controller() const;
    AbstractModel *model() const;
    // Posts the event to the controller's owner; dropped without a controller.
    void postToController(MvcEvent *event);

    // Dependent views must be removed before they are destroyed.
    QSet<AbstractView *> dependentViews() const;
    void addDependentView(AbstractView *view);
    void removeDependentView(AbstractView *view);
    void clearDependentViews();

private:
    // Moves the view from its controller to this view's controller.
    void followController(AbstractView *view) const;

    AbstractController *m_controller = nullptr;
    QPointer<QObject> m_controllerOwner;
    AbstractModel *m_model = nullptr;
    QPointer<QObject> m_modelOwner;
    QSet<AbstractView *> m_dependentViews;
};

#endif // ABSTRACTVIEW_H
