#include "mvcbase.h"

#include "mvcevent.h"
#include "mvcfamily.h"

#include <QCoreApplication>

MvcBase::MvcBase(QObject *owner)
    : m_owner(owner)
{
}

MvcBase::~MvcBase() = default;

unsigned int MvcBase::mvcFamilyId() const
{
    return abstractFamilyId();
}

void MvcBase::postTo(QObject *receiver, MvcEvent *event)
{
    if (!receiver) {
        delete event;
        return;
    }
    QCoreApplication::postEvent(receiver, event);
}
