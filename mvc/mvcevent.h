#ifndef MVCEVENT_H
#define MVCEVENT_H

#include <QEvent>

// Base of every event of the posted-event framework. Receivers tell these
// events apart from other custom events of the same type number by class
// (a cast) and by family, never by the type number alone.
class MvcEvent : public QEvent
{
public:
    // Who an event is meant for.
    enum TargetKind {
        AnyTarget = 0,
        ModelTarget = 1,
        ViewTarget = 2,
        ControllerTarget = 3
    };

    explicit MvcEvent(int type);
    ~MvcEvent() override;

    virtual unsigned int mvcFamilyId() const;
    virtual int targetKind() const;
};

#endif // MVCEVENT_H
