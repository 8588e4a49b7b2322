#ifndef ABSTRACTSETTINGSVIEW_H
#define ABSTRACTSETTINGSVIEW_H

#include "abstractview.h"
#include "settingscontroller.h"
#include "settingsmodel.h"

#include <QPointer>

class VSettingsKeyRemovedEvent;
class VSettingsValueChangedEvent;

// Base of every object that follows the application settings. Its owner
// hands MvcEvents from customEvent() to mvcEvent(). The settings may be read
// from settingsModelReadyEvent() on, which runs again after a clear or sync.
class AbstractSettingsView : public AbstractView
{
public:
    explicit AbstractSettingsView(QObject *owner);
    ~AbstractSettingsView() override;

    unsigned int mvcFamilyId() const override;
    void mvcEvent(MvcEvent *event) override;
    void changeControllerEvent(VChangeControllerEvent *event) override;
    void modelChangedEvent(VModelChangedEvent *event) override;
    void modelReadyEvent(VEvent *event) override;

    // Hooks for subclasses; they do nothing here.
    virtual void settingsControllerChangedEvent(VChangeControllerEvent *event);
    virtual void settingsModelChangedEvent(VModelChangedEvent *event);
    virtual void settingsModelReadyEvent(VEvent *event);
    virtual void settingsValueChangedEvent(VSettingsValueChangedEvent *event);
    virtual void settingsKeyRemovedEvent(VSettingsKeyRemovedEvent *event);

    // Null until known, and once gone.
    SettingsController *settingsController() const;
    SettingsModel *settingsModel() const;

    // Posts the event to the settings controller; dropped without one.
    void postToController(MvcEvent *event);

private:
    QPointer<SettingsController> m_settingsController;
    QPointer<SettingsModel> m_settingsModel;
};

#endif // ABSTRACTSETTINGSVIEW_H
