#ifndef ABSTRACTVIEWCONTAINER_H
#define ABSTRACTVIEWCONTAINER_H

#include <QObject>
#include <QPointer>

class AbstractView;

// Payload mix-in: a view, with a guard on its owner taken when the event is
// made, so that a view destroyed while the event waits reads as null.
class AbstractViewContainer
{
public:
    explicit AbstractViewContainer(AbstractView *view);

    // The view while its owner lives, else null.
    AbstractView *view() const;

    // The view as it was given, for identity only: it may be gone.
    AbstractView *rawView() const { return m_view; }

private:
    AbstractView *m_view;
    QPointer<QObject> m_owner;
};

#endif // ABSTRACTVIEWCONTAINER_H
