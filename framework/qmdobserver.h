#ifndef QMDOBSERVER_H
#define QMDOBSERVER_H

#include <QPointer>

// Base of every object that follows one controller. The guarded pointer reads
// as null once the controller is destroyed. Derived classes override
// setController() to drop their connections to the previous controller,
// connect to the new one and store it through this base.
template <class Controller>
class QmdObserver
{
public:
    QmdObserver() = default;
    virtual ~QmdObserver() = default;

    virtual void setController(Controller *controller) { m_controller = controller; }
    Controller *controller() const { return m_controller.data(); }

private:
    QPointer<Controller> m_controller;
};

#endif // QMDOBSERVER_H
