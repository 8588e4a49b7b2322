#include "settingscontroller.h"

#include "csettingschangevalueevent.h"
#include "keycontainer.h"
#include "msettingschangevalueevent.h"
#include "msettingsremovekeyevent.h"
#include "settingsfamily.h"
#include "settingsmodel.h"
#include "vsettingskeyremovedevent.h"
#include "vsettingsvaluechangedevent.h"

#include <QDebug>
#include <QMetaProperty>

#include <algorithm>

namespace {

// Writes the value into the property unless the property already holds it.
// The store hands values back as strings, so the value is compared after it
// is converted to the property's type. An invalid value (a key that is not
// stored) is never written.
void writeIfDifferent(QObject *obj, const QByteArray &property, const QVariant &value)
{
    if (!value.isValid())
        return;
    const QMetaObject *meta = obj->metaObject();
    const QMetaType type = meta->property(meta->indexOfProperty(property.constData())).metaType();
    QVariant converted = value;
    const bool needsConversion = type.isValid() && type != QMetaType::fromType<QVariant>()
                                 && converted.metaType() != type;
    if (needsConversion && !converted.convert(type)) {
        // Let the property system try its own conversions (enumeration keys).
        if (!obj->setProperty(property.constData(), value))
            qWarning().noquote() << "SettingsController: cannot write" << value << "into property"
                                 << property << "of" << obj;
        return;
    }
    if (obj->property(property.constData()) != converted)
        obj->setProperty(property.constData(), converted);
}

bool hasSignal(const QObject *obj, const char *signal)
{
    // Signals come in the form QObject::connect takes: a code digit, then the
    // signature.
    if (!signal || signal[0] != '0' + QSIGNAL_CODE)
        return false;
    const QByteArray signature = QMetaObject::normalizedSignature(signal + 1);
    return obj->metaObject()->indexOfSignal(signature.constData()) >= 0;
}

} // namespace

SettingsController::SettingsController(QObject *parent)
    : QObject(parent)
    , AbstractController(this)
{
}

SettingsController::SettingsController(SettingsModel *model, QObject *parent)
    : QObject(parent)
    , AbstractController(this)
{
    setModel(model);
}

SettingsController::~SettingsController() = default;

unsigned int SettingsController::mvcFamilyId() const
{
    return settingsFamilyId();
}

void SettingsController::mvcEvent(MvcEvent *event)
{
    AbstractController::mvcEvent(event);
    if (event->mvcFamilyId() != settingsFamilyId())
        return;
    auto *request = dynamic_cast<CSettingsEvent *>(event);
    if (!request)
        return;
    switch (static_cast<int>(event->type())) {
    case CSettingsChangeValueEvent::Type:
        if (auto *e = dynamic_cast<CSettingsChangeValueEvent *>(event))
            changeValueEvent(e);
        break;
    case CSettingsEvent::RemoveKeyType:
        if (auto *keyed = dynamic_cast<KeyContainer *>(event))
            removeKeyEvent(request, keyed->key());
        break;
    case CSettingsEvent::ClearType:
        clearEvent(request);
        break;
    case CSettingsEvent::SyncType:
        syncEvent(request);
        break;
    default:
        break;
    }
}

void SettingsController::changeModelEvent(CChangeModelEvent *event)
{
    AbstractController::changeModelEvent(event);
    m_settingsModel = qobject_cast<SettingsModel *>(model() ? model()->owner() : nullptr);
}

SettingsModel *SettingsController::settingsModel() const
{
    return m_settingsModel;
}

bool SettingsController::bind(QObject *obj, const char *property, const char *notifySignal,
                              const QString &key)
{
    if (!obj) {
        qWarning() << "SettingsController::bind: no object to bind to" << key;
        return false;
    }
    if (!property || obj->metaObject()->indexOfProperty(property) < 0) {
        qWarning() << "SettingsController::bind:" << obj << "has no property" << property;
        return false;
    }
    if (!hasSignal(obj, notifySignal)) {
        qWarning() << "SettingsController::bind:" << obj << "has no signal" << notifySignal;
        return false;
    }
    m_bindings[obj].append({QByteArray(property), QByteArray(notifySignal), key});
    disconnect(obj, notifySignal, this, nullptr);
    if (m_settingsModel)
        writeIfDifferent(obj, property, m_settingsModel->value(key));
    else
        qWarning() << "SettingsController::bind: no settings model yet;" << obj
                   << "keeps its value of" << property;
    connect(obj, &QObject::destroyed, this, qOverload<QObject *>(&SettingsController::unbind),
            Qt::UniqueConnection);
    connect(obj, notifySignal, this, SLOT(onBoundObjectSignalled()));
    return true;
}

void SettingsController::unbind(QObject *obj)
{
    disconnect(obj, nullptr, this, nullptr);
    m_bindings.remove(obj);
}

void SettingsController::unbind(QObject *obj, const QString &settingsKey)
{
    const auto found = m_bindings.find(obj);
    if (found == m_bindings.end())
        return;
    QList<Binding> &bindings = found.value();
    const auto binding = std::find_if(bindings.begin(), bindings.end(),
                                      [&settingsKey](const Binding &b) { return b.key == settingsKey; });
    if (binding == bindings.end())
        return;
    const QByteArray notifySignal = binding->notifySignal;
    bindings.erase(binding);
    // Another binding of the object may listen to the same signal.
    const bool signalStillUsed = std::any_of(bindings.cbegin(), bindings.cend(),
                                             [&notifySignal](const Binding &b) {
                                                 return b.notifySignal == notifySignal;
                                             });
    if (!signalStillUsed)
        disconnect(obj, notifySignal.constData(), this, nullptr);
    if (bindings.isEmpty()) {
        m_bindings.erase(found);
        disconnect(obj, &QObject::destroyed, this, nullptr);
    }
}

void SettingsController::onBoundObjectSignalled()
{
    QObject *obj = sender();
    const QList<Binding> bindings = m_bindings.value(obj);
    for (const Binding &binding : bindings) {
        postTo(this, new CSettingsChangeValueEvent(binding.key,
                                                   obj->property(binding.property.constData()),
                                                   this));
    }
}

void SettingsController::customEvent(QEvent *event)
{
    if (auto *e = dynamic_cast<MvcEvent *>(event))
        mvcEvent(e);
    else
        QObject::customEvent(event);
}

void SettingsController::changeValueEvent(CSettingsChangeValueEvent *event)
{
    const QString key = event->key();
    const QVariant value = event->value();
    postToModel(new MSettingsChangeValueEvent(key, value));
    notifyViews(event, [&] { return new VSettingsValueChangedEvent(key, value, this); });
    updateBoundObjects(key, value);
}

void SettingsController::removeKeyEvent(CSettingsEvent *event, const QString &key)
{
    postToModel(new MSettingsRemoveKeyEvent(key));
    notifyViews(event, [&] { return new VSettingsKeyRemovedEvent(key, this); });
}

void SettingsController::clearEvent(CSettingsEvent *event)
{
    postToModel(new MSettingsEvent(MSettingsEvent::ClearType));
    notifyViews(event, [this] { return new VEvent(VEvent::ModelReadyType, this); });
}

void SettingsController::syncEvent(CSettingsEvent *event)
{
    postToModel(new MSettingsEvent(MSettingsEvent::SyncType));
    notifyViews(event, [this] { return new VEvent(VEvent::ModelReadyType, this); });
}

void SettingsController::postToModel(MvcEvent *event)
{
    if (!m_settingsModel) {
        const auto *keyed = dynamic_cast<const KeyContainer *>(event);
        qWarning().noquote() << "SettingsController: no settings model; request dropped"
                             << (keyed ? keyed->key() : QString());
    }
    postTo(m_settingsModel, event);
}

void SettingsController::notifyViews(const CEvent *request,
                                     const std::function<MvcEvent *()> &makeEvent)
{
    const QList<QObject *> owners = viewOwners();
    for (QObject *viewOwner : owners) {
        if (!request->echoesToSender() && viewOwner == request->sender())
            continue;
        postTo(viewOwner, makeEvent());
    }
}

void SettingsController::updateBoundObjects(const QString &key, const QVariant &value)
{
    // Work on guarded copies: writing one property may destroy or unbind
    // another bound object.
    QList<QPair<QPointer<QObject>, Binding>> matching;
    for (auto it = m_bindings.cbegin(); it != m_bindings.cend(); ++it) {
        for (const Binding &binding : it.value()) {
            if (binding.key == key)
                matching.append({QPointer<QObject>(it.key()), binding});
        }
    }
    for (const auto &entry : matching) {
        QObject *obj = entry.first;
        if (!obj)
            continue;
        const Binding &binding = entry.second;
        disconnect(obj, binding.notifySignal.constData(), this, nullptr);
        writeIfDifferent(obj, binding.property, value);
        if (m_bindings.contains(obj))
            connect(obj, binding.notifySignal.constData(), this, SLOT(onBoundObjectSignalled()));
    }
}
