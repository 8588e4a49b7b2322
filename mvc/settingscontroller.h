#ifndef SETTINGSCONTROLLER_H
#define SETTINGSCONTROLLER_H

#include "abstractcontroller.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CEvent;
class CSettingsChangeValueEvent;
class CSettingsEvent;
class SettingsModel;

// Receives settings requests, hands them to the settings model, tells the
// attached settings views, and keeps bound object properties in step with
// the stored values.
class SettingsController : public QObject, public AbstractController
{
    Q_OBJECT

public:
    explicit SettingsController(QObject *parent = nullptr);
    // The model becomes known when the posted model change is handled.
    SettingsController(SettingsModel *model, QObject *parent = nullptr);
    ~SettingsController() override;

    unsigned int mvcFamilyId() const override;
    void mvcEvent(MvcEvent *event) override;
    void changeModelEvent(CChangeModelEvent *event) override;

    SettingsModel *settingsModel() const;

    // Binds a declared property of obj to a settings key: sets the property
    // from the stored value at once (a key that is not stored leaves it as it
    // is) and posts a change of the key whenever obj emits notifySignal, given
    // as SIGNAL(name(args)). An object may have several bindings; they end
    // when it is destroyed. Returns false, binding nothing, for a null object,
    // an unknown property or an unknown signal.
    bool bind(QObject *obj, const char *property, const char *notifySignal, const QString &key);

public slots:
    void unbind(QObject *obj);
    // Drops the first binding of obj to the key.
    void unbind(QObject *obj, const QString &settingsKey);
    void onBoundObjectSignalled();

protected:
    void customEvent(QEvent *event) override;

    virtual void changeValueEvent(CSettingsChangeValueEvent *event);
    virtual void removeKeyEvent(CSettingsEvent *event, const QString &key);
    virtual void clearEvent(CSettingsEvent *event);
    virtual void syncEvent(CSettingsEvent *event);

private:
    struct Binding
    {
        QByteArray property;
        QByteArray notifySignal;
        QString key;
    };

    // Posts the model event to the model; warns when there is none.
    void postToModel(MvcEvent *event);
    // Posts an event made by makeEvent to the owner of every attached view,
    // leaving out the sender's when the request asks for it.
    void notifyViews(const CEvent *request, const std::function<MvcEvent *()> &makeEvent);
    // Sets the bound properties of the key to the value, without a new request.
    void updateBoundObjects(const QString &key, const QVariant &value);

    QHash<QObject *, QList<Binding>> m_bindings;
    QPointer<SettingsModel> m_settingsModel;
};

#endif // SETTINGSCONTROLLER_H
