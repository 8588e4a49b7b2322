#ifndef ABSTRACTCONTROLLERCONTAINER_H
#define ABSTRACTCONTROLLERCONTAINER_H

#include <QObject>
#include <QPointer>

class AbstractController;

// Payload mix-in: a controller, with a guard on its owner taken when the event is
// made, so that a controller destroyed while the event waits reads as null.
class AbstractControllerContainer
{
public:
    explicit AbstractControllerContainer(AbstractController *controller);

    // The controller while its owner lives, else null.
    AbstractController *controller() const;

private:
    AbstractController *m_controller;
    QPointer<QObject> m_owner;
};

#endif // ABSTRACTCONTROLLERCONTAINER_H
