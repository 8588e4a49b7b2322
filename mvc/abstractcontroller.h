#ifndef ABSTRACTCONTROLLER_H
#define ABSTRACTCONTROLLER_H

#include "mvcbase.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

class AbstractModel;
class AbstractView;
class CChangeModelEvent;
class CViewAttachEvent;
class CViewDetachEvent;

// A controller of the posted-event framework: it holds one model and the
// attached views. Wiring calls only post events to the controller's own owner;
// the work happens when the owner hands them back.
class AbstractController : public MvcBase
{
public:
    explicit AbstractController(QObject *owner);
    ~AbstractController() override;

    // Hands an event of the generic family to its handler; ignores the rest.
    virtual void mvcEvent(MvcEvent *event);
    virtual void changeModelEvent(CChangeModelEvent *event);
    virtual void viewAttachEvent(CViewAttachEvent *event);
    virtual void viewDetachEvent(CViewDetachEvent *event);
    virtual void detachAllViewsEvent(MvcEvent *event);

    // The model while its owner lives, else null.
    AbstractModel *model() const;
    void setModel(AbstractModel *model);
    void attachView(AbstractView *view);
    void detachView(AbstractView *view);

    // The attached views whose owners still live.
    QSet<AbstractView *> views() const;

protected:
    // The owners of the attached views that still live, in the order the
    // views were attached. Views are reached only through their owners, so a
    // view destroyed before its detach event is handled is never touched.
    QList<QObject *> viewOwners() const;

private:
    struct AttachedView
    {
        AbstractView *view;
        QPointer<QObject> owner;
    };

    AbstractModel *m_model = nullptr;
    QPointer<QObject> m_modelOwner;
    QList<AttachedView> m_views;
};

#endif // ABSTRACTCONTROLLER_H
