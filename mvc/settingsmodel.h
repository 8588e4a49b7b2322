#ifndef SETTINGSMODEL_H
#define SETTINGSMODEL_H

#include "abstractmodel.h"

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QVariant>

class MSettingsChangeValueEvent;
class MSettingsEvent;
class MSettingsRemoveKeyEvent;
class SettingsController;

// The application settings in a QSettings store. Reads are direct; writes
// arrive as posted events from the settings controller.
class SettingsModel : public QObject, public AbstractModel
{
    Q_OBJECT

public:
    // The constructors mirror those of QSettings; the store is a child of
    // the model and dies with it.
    SettingsModel(const QString &organization, const QString &application = QString(),
                  QObject *parent = nullptr);
    SettingsModel(QSettings::Scope scope, const QString &organization,
                  const QString &application = QString(), QObject *parent = nullptr);
    SettingsModel(QSettings::Format format, QSettings::Scope scope, const QString &organization,
                  const QString &application = QString(), QObject *parent = nullptr);
    SettingsModel(const QString &fileName, QSettings::Format format, QObject *parent = nullptr);
    // The platform's native store for the application's organisation and
    // application names.
    explicit SettingsModel(QObject *parent = nullptr);
    ~SettingsModel() override;

    unsigned int mvcFamilyId() const override;
    void mvcEvent(MvcEvent *event) override;
    void changeControllerEvent(MChangeControllerEvent *event) override;

    // The stored value, or the default when the key is not stored. A change
    // posted to the controller is seen here once the event loop has run.
    QVariant value(const QString &key, const QVariant &defaultValue = QVariant()) const;
    QSettings *settings() const;
    SettingsController *settingsController() const;

protected:
    void customEvent(QEvent *event) override;

    virtual void changeValueEvent(MSettingsChangeValueEvent *event);
    virtual void removeKeyEvent(MSettingsRemoveKeyEvent *event);
    virtual void clearEvent(MSettingsEvent *event);
    virtual void syncEvent(MSettingsEvent *event);

private:
    QSettings *m_settings;
    QPointer<SettingsController> m_settingsController;
};

#endif // SETTINGSMODEL_H
