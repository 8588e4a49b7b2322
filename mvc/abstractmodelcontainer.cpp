#include "abstractmodelcontainer.h"

#include "abstractmodel.h"

AbstractModelContainer::AbstractModelContainer(AbstractModel *model)
    : m_model(model)
    , m_owner(model ? model->owner() : nullptr)
{
}

AbstractModel *AbstractModelContainer::model() const
{
    return m_owner ? m_model : nullptr;
}
