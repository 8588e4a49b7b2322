#ifndef ABSTRACTMODELCONTAINER_H
#define ABSTRACTMODELCONTAINER_H

#include <QObject>
#include <QPointer>

class AbstractModel;

// Payload mix-in: a model, with a guard on its owner taken when the event is
// made, so that a model destroyed while the event waits reads as null.
class AbstractModelContainer
{
public:
    explicit AbstractModelContainer(AbstractModel *model);

    // The model while its owner lives, else null.
    AbstractModel *model() const;

private:
    AbstractModel *m_model;
    QPointer<QObject> m_owner;
};

#endif // ABSTRACTMODELCONTAINER_H
