#include "settingsmodel.h"

#include "msettingschangevalueevent.h"
#include "msettingsremovekeyevent.h"
#include "settingscontroller.h"
#include "settingsfamily.h"

#include <QDebug>

SettingsModel::SettingsModel(const QString &organization, const QString &application,
                             QObject *parent)
    : QObject(parent)
    , AbstractModel(this)
    , m_settings(new QSettings(organization, application, this))
{
}

SettingsModel::SettingsModel(QSettings::Scope scope, const QString &organization,
                             const QString &application, QObject *parent)
    : QObject(parent)
    , AbstractModel(this)
    , m_settings(new QSettings(scope, organization, application, this))
{
}

SettingsModel::SettingsModel(QSettings::Format format, QSettings::Scope scope,
                             const QString &organization, const QString &application,
                             QObject *parent)
    : QObject(parent)
    , AbstractModel(this)
    , m_settings(new QSettings(format, scope, organization, application, this))
{
}

SettingsModel::SettingsModel(const QString &fileName, QSettings::Format format, QObject *parent)
    : QObject(parent)
    , AbstractModel(this)
    , m_settings(new QSettings(fileName, format, this))
{
}

SettingsModel::SettingsModel(QObject *parent)
    : QObject(parent)
    , AbstractModel(this)
    , m_settings(new QSettings(this))
{
}

SettingsModel::~SettingsModel() = default;

unsigned int SettingsModel::mvcFamilyId() const
{
    return settingsFamilyId();
}

void SettingsModel::mvcEvent(MvcEvent *event)
{
    AbstractModel::mvcEvent(event);
    if (event->mvcFamilyId() != settingsFamilyId())
        return;
    switch (static_cast<int>(event->type())) {
    case MSettingsChangeValueEvent::Type:
        if (auto *e = dynamic_cast<MSettingsChangeValueEvent *>(event))
            changeValueEvent(e);
        break;
    case MSettingsRemoveKeyEvent::Type:
        if (auto *e = dynamic_cast<MSettingsRemoveKeyEvent *>(event))
            removeKeyEvent(e);
        break;
    case MSettingsEvent::ClearType:
        if (auto *e = dynamic_cast<MSettingsEvent *>(event))
            clearEvent(e);
        break;
    case MSettingsEvent::SyncType:
        if (auto *e = dynamic_cast<MSettingsEvent *>(event))
            syncEvent(e);
        break;
    default:
        break;
    }
}

void SettingsModel::changeControllerEvent(MChangeControllerEvent *event)
{
    AbstractModel::changeControllerEvent(event);
    m_settingsController = qobject_cast<SettingsController *>(controller() ? controller()->owner()
                                                                           : nullptr);
}

QVariant SettingsModel::value(const QString &key, const QVariant &defaultValue) const
{
    return m_settings->value(key, defaultValue);
}

QSettings *SettingsModel::settings() const
{
    return m_settings;
}

SettingsController *SettingsModel::settingsController() const
{
    return m_settingsController;
}

void SettingsModel::customEvent(QEvent *event)
{
    if (auto *e = dynamic_cast<MvcEvent *>(event))
        mvcEvent(e);
    else
        QObject::customEvent(event);
}

void SettingsModel::changeValueEvent(MSettingsChangeValueEvent *event)
{
    m_settings->setValue(event->key(), event->value());
}

void SettingsModel::removeKeyEvent(MSettingsRemoveKeyEvent *event)
{
    m_settings->remove(event->key());
}

void SettingsModel::clearEvent(MSettingsEvent *)
{
    m_settings->clear();
}

void SettingsModel::syncEvent(MSettingsEvent *)
{
    m_settings->sync();
    if (m_settings->status() == QSettings::AccessError)
        qWarning().noquote() << "SettingsModel: the settings could not be written to"
                             << m_settings->fileName();
}
