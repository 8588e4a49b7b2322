#include "abstractsettingsview.h"

#include "abstractcontroller.h"
#include "abstractmodel.h"
#include "settingsfamily.h"
#include "vsettingskeyremovedevent.h"
#include "vsettingsvaluechangedevent.h"

#include <QDebug>

AbstractSettingsView::AbstractSettingsView(QObject *owner)
    : AbstractView(owner)
{
}

AbstractSettingsView::~AbstractSettingsView() = default;

unsigned int AbstractSettingsView::mvcFamilyId() const
{
    return settingsFamilyId();
}

void AbstractSettingsView::mvcEvent(MvcEvent *event)
{
    AbstractView::mvcEvent(event);
    if (event->mvcFamilyId() != settingsFamilyId())
        return;
    switch (static_cast<int>(event->type())) {
    case VSettingsValueChangedEvent::Type:
        if (auto *e = dynamic_cast<VSettingsValueChangedEvent *>(event))
            settingsValueChangedEvent(e);
        break;
    case VSettingsKeyRemovedEvent::Type:
        if (auto *e = dynamic_cast<VSettingsKeyRemovedEvent *>(event))
            settingsKeyRemovedEvent(e);
        break;
    default:
        break;
    }
}

void AbstractSettingsView::changeControllerEvent(VChangeControllerEvent *event)
{
    AbstractView::changeControllerEvent(event);
    m_settingsController = qobject_cast<SettingsController *>(controller() ? controller()->owner()
                                                                           : nullptr);
    settingsControllerChangedEvent(event);
}

void AbstractSettingsView::modelChangedEvent(VModelChangedEvent *event)
{
    AbstractView::modelChangedEvent(event);
    m_settingsModel = qobject_cast<SettingsModel *>(model() ? model()->owner() : nullptr);
    settingsModelChangedEvent(event);
}

void AbstractSettingsView::modelReadyEvent(VEvent *event)
{
    settingsModelReadyEvent(event);
}

void AbstractSettingsView::settingsControllerChangedEvent(VChangeControllerEvent *)
{
}

void AbstractSettingsView::settingsModelChangedEvent(VModelChangedEvent *)
{
}

void AbstractSettingsView::settingsModelReadyEvent(VEvent *)
{
}

void AbstractSettingsView::settingsValueChangedEvent(VSettingsValueChangedEvent *)
{
}

void AbstractSettingsView::settingsKeyRemovedEvent(VSettingsKeyRemovedEvent *)
{
}

SettingsController *AbstractSettingsView::settingsController() const
{
    return m_settingsController;
}

SettingsModel *AbstractSettingsView::settingsModel() const
{
    return m_settingsModel;
}

void AbstractSettingsView::postToController(MvcEvent *event)
{
    if (!m_settingsController)
        qWarning() << "AbstractSettingsView::postToController: no settings controller; event dropped";
    postTo(m_settingsController, event);
}
