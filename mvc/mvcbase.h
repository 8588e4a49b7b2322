#ifndef MVCBASE_H
#define MVCBASE_H

class QObject;
class MvcEvent;

// Common base of models, views and controllers. Every event meant for an MVC
// object is posted to its owner, whose customEvent() hands it back to the
// object's mvcEvent() dispatch.
class MvcBase
{
public:
    explicit MvcBase(QObject *owner);
    virtual ~MvcBase();

    MvcBase(const MvcBase &) = delete;
    MvcBase &operator=(const MvcBase &) = delete;

    // The event family this object belongs to.
    virtual unsigned int mvcFamilyId() const;

    QObject *owner() const { return m_owner; }

protected:
    // Posts the event to the receiver, which takes it; when the receiver is
    // gone the event is deleted and nothing is delivered.
    static void postTo(QObject *receiver, MvcEvent *event);

private:
    QObject *m_owner;
};

#endif // MVCBASE_H
