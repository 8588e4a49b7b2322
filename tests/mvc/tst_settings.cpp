#include "abstractsettingsview.h"
#include "csettingschangevalueevent.h"
#include "keycontainer.h"
#include "settingscontroller.h"
#include "settingskeys.h"
#include "settingsmodel.h"
#include "vsettingskeyremovedevent.h"
#include "vsettingsvaluechangedevent.h"

#include <QCheckBox>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A settings view in the way the application is one: it owns itself and hands
// MVC events back from customEvent().
class RecordingView : public QObject, public AbstractSettingsView
{
public:
    RecordingView() : AbstractSettingsView(this) {}

    QStringList log;
    int readyCount = 0;

    void settingsModelReadyEvent(VEvent *) override
    {
        ++readyCount;
        log << QStringLiteral("ready");
    }
    // Notes what the model holds when the view hears of the change.
    void settingsValueChangedEvent(VSettingsValueChangedEvent *event) override
    {
        log << QStringLiteral("changed %1=%2 stored=%3")
                   .arg(event->key(), event->value().toString(),
                        settingsModel()->value(event->key()).toString());
    }
    void settingsKeyRemovedEvent(VSettingsKeyRemovedEvent *event) override
    {
        log << QStringLiteral("removed ") + event->key();
    }

protected:
    void customEvent(QEvent *event) override
    {
        if (auto *e = dynamic_cast<MvcEvent *>(event))
            mvcEvent(e);
        else
            QObject::customEvent(event);
    }
};

// A bound object that counts the writes into its properties.
class Probe : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int number READ number WRITE setNumber NOTIFY numberChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)

public:
    int writes = 0;

    int number() const { return m_number; }
    void setNumber(int number)
    {
        ++writes;
        if (number == m_number)
            return;
        m_number = number;
        emit numberChanged(number);
    }
    QString text() const { return m_text; }
    void setText(const QString &text)
    {
        ++writes;
        if (text == m_text)
            return;
        m_text = text;
        emit textChanged(text);
    }

signals:
    void numberChanged(int number);
    void textChanged(const QString &text);

private:
    int m_number = 0;
    QString m_text;
};

// A request to remove a key; the application itself never posts one.
class RemoveKeyRequest : public CSettingsEvent, public KeyContainer
{
public:
    explicit RemoveKeyRequest(const QString &key)
        : CSettingsEvent(RemoveKeyType)
        , KeyContainer(key)
    {
    }
};

void drain()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void changeReachesModelThenViews();
    void senderIsLeftOutOnRequest_data();
    void senderIsLeftOutOnRequest();
    void removedKeyIsReported();
    void clearAndSyncReadyViewsAgain_data();
    void clearAndSyncReadyViewsAgain();
    void syncWritesTheIniFile();

    void boundObjectsFollowEachOther();
    void boundWidgetsFollowEachOther();
    void bindReadsTheStoreAsThePropertyType();
    void missingKeyLeavesThePropertyAlone();
    void objectWithTwoBindingsPostsTwoChanges();
    void destroyedObjectLeavesNothingBehind();
    void unbindingOneKeyKeepsTheOthers();
    void badBindingIsRefused_data();
    void badBindingIsRefused();

    void keyNames();

private:
    QTemporaryDir m_configHome;
    std::unique_ptr<SettingsModel> m_model;
    std::unique_ptr<SettingsController> m_controller;
    std::unique_ptr<RecordingView> m_app;
    std::unique_ptr<RecordingView> m_other;
};

void TestSettings::initTestCase()
{
    QVERIFY(m_configHome.isValid());
    // Keeps the user's own configuration out of reach.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("VelkaTests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_settings"));
}

void TestSettings::init()
{
    m_model = std::make_unique<SettingsModel>();
    QVERIFY(m_model->settings()->fileName().startsWith(m_configHome.path()));
    m_controller = std::make_unique<SettingsController>(m_model.get());
    m_app = std::make_unique<RecordingView>();
    m_other = std::make_unique<RecordingView>();
    m_controller->attachView(m_app.get());
    m_controller->attachView(m_other.get());
    QTRY_COMPARE(m_app->readyCount, 1);
    QTRY_COMPARE(m_other->readyCount, 1);
    QCOMPARE(m_app->settingsModel(), m_model.get());
    QCOMPARE(m_app->settingsController(), m_controller.get());
    QCOMPARE(m_controller->settingsModel(), m_model.get());
    QCOMPARE(m_model->settingsController(), m_controller.get());
    m_app->log.clear();
    m_other->log.clear();
}

void TestSettings::cleanup()
{
    m_model->settings()->clear();
    m_other.reset();
    m_app.reset();
    m_controller.reset();
    m_model.reset();
    drain();
}

void TestSettings::changeReachesModelThenViews()
{
    QCoreApplication::postEvent(m_controller.get(),
                                new CSettingsChangeValueEvent(QStringLiteral("Tempo"), 120));
    QCOMPARE(m_model->value(QStringLiteral("Tempo"), 90), QVariant(90)); // not applied yet
    QTRY_COMPARE(m_app->log, QStringList{"changed Tempo=120 stored=120"});
    QCOMPARE(m_model->value(QStringLiteral("Tempo"), 90), QVariant(120));
}

void TestSettings::senderIsLeftOutOnRequest_data()
{
    QTest::addColumn<quint32>("options");
    QTest::addColumn<bool>("sentByApp");
    QTest::addColumn<QString>("route");
    QTest::addColumn<bool>("appHearsIt");

    const quint32 noEcho = CEvent::NoEchoToSender;
    QTest::newRow("echo, sent by the application") << 0u << true << "post" << true;
    QTest::newRow("no echo, sent by the application") << noEcho << true << "post" << false;
    QTest::newRow("no echo, no sender") << noEcho << false << "post" << true;
    QTest::newRow("no echo, posted through the view") << noEcho << true << "view" << false;
    QTest::newRow("no echo, delivered at once") << noEcho << true << "send" << false;
}

void TestSettings::senderIsLeftOutOnRequest()
{
    QFETCH(quint32, options);
    QFETCH(bool, sentByApp);
    QFETCH(QString, route);
    QFETCH(bool, appHearsIt);

    QObject *sender = sentByApp ? m_app.get() : nullptr;
    if (route == QLatin1String("send")) {
        CSettingsChangeValueEvent request(midiThruEnabledKey(), false, sender, options);
        QCoreApplication::sendEvent(m_controller.get(), &request);
    } else {
        auto *request = new CSettingsChangeValueEvent(midiThruEnabledKey(), false, sender, options);
        if (route == QLatin1String("view"))
            m_app->postToController(request);
        else
            QCoreApplication::postEvent(m_controller.get(), request);
    }

    const QStringList heard{"changed MidiThruEnabled=false stored=false"};
    QTRY_COMPARE(m_other->log, heard);
    drain();
    QCOMPARE(m_app->log, appHearsIt ? heard : QStringList());
}

void TestSettings::removedKeyIsReported()
{
    m_model->settings()->setValue(QStringLiteral("TemplateFile"), QStringLiteral("/tmp/t.vlk"));
    QCoreApplication::postEvent(m_controller.get(), new RemoveKeyRequest(QStringLiteral("TemplateFile")));
    QTRY_COMPARE(m_app->log, QStringList{"removed TemplateFile"});
    QVERIFY(!m_model->settings()->contains(QStringLiteral("TemplateFile")));
}

void TestSettings::clearAndSyncReadyViewsAgain_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("keyKept");
    QTest::newRow("clear") << CSettingsEvent::ClearType << false;
    QTest::newRow("sync") << CSettingsEvent::SyncType << true;
}

void TestSettings::clearAndSyncReadyViewsAgain()
{
    QFETCH(int, type);
    QFETCH(bool, keyKept);
    m_model->settings()->setValue(QStringLiteral("MidiInputPort"), QStringLiteral("In 1"));
    QCoreApplication::postEvent(m_controller.get(),
                                new CSettingsEvent(type, m_app.get(), CEvent::NoEchoToSender));
    QTRY_COMPARE(m_other->readyCount, 2);
    drain();
    QCOMPARE(m_app->readyCount, 1);
    QCOMPARE(m_model->settings()->contains(QStringLiteral("MidiInputPort")), keyKept);
}

void TestSettings::syncWritesTheIniFile()
{
    QCoreApplication::postEvent(m_controller.get(),
                                new CSettingsChangeValueEvent(QStringLiteral("MidiThruPort"),
                                                              QStringLiteral("Synth 2")));
    QCoreApplication::postEvent(m_controller.get(), new CSettingsEvent(CSettingsEvent::SyncType));
    QTRY_COMPARE(m_app->readyCount, 2);

    QFile file(m_model->settings()->fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("MidiThruPort=Synth 2"));
}

void TestSettings::boundObjectsFollowEachOther()
{
    Probe edited;
    Probe follower;
    const char *notify = SIGNAL(numberChanged(int));
    QVERIFY(m_controller->bind(&edited, "number", notify, QStringLiteral("Volume")));
    QVERIFY(m_controller->bind(&follower, "number", notify, QStringLiteral("Volume")));

    edited.setNumber(7);
    QTRY_COMPARE(follower.number(), 7);
    drain();
    QCOMPARE(follower.writes, 1);
    QCOMPARE(edited.writes, 1); // already held the value: not written again
    QCOMPARE(m_app->log, QStringList{"changed Volume=7 stored=7"}); // one change only
}

void TestSettings::boundWidgetsFollowEachOther()
{
    QCheckBox first;
    QCheckBox second;
    const char *notify = SIGNAL(toggled(bool));
    QVERIFY(m_controller->bind(&first, "checked", notify, midiInputEnabledKey()));
    QVERIFY(m_controller->bind(&second, "checked", notify, midiInputEnabledKey()));

    second.click();
    QTRY_VERIFY(first.isChecked());
    second.click();
    QTRY_VERIFY(!first.isChecked());
    drain();
    QCOMPARE(m_app->log, (QStringList{"changed MidiInputEnabled=true stored=true",
                                      "changed MidiInputEnabled=false stored=false"}));
}

void TestSettings::bindReadsTheStoreAsThePropertyType()
{
    // The store hands values back as strings.
    m_model->settings()->setValue(QStringLiteral("Count"), QStringLiteral("5"));
    m_model->settings()->setValue(QStringLiteral("Flag"), QStringLiteral("true"));
    Probe probe;
    QSpinBox spin;
    QCheckBox box;
    QVERIFY(m_controller->bind(&probe, "number", SIGNAL(numberChanged(int)), QStringLiteral("Count")));
    QVERIFY(m_controller->bind(&spin, "value", SIGNAL(valueChanged(int)), QStringLiteral("Count")));
    QVERIFY(m_controller->bind(&box, "checked", SIGNAL(toggled(bool)), QStringLiteral("Flag")));
    QCOMPARE(probe.number(), 5);
    QCOMPARE(spin.value(), 5);
    QVERIFY(box.isChecked());
    QCOMPARE(probe.writes, 1);

    // An equal value in another type is not written again.
    QCoreApplication::postEvent(m_controller.get(),
                                new CSettingsChangeValueEvent(QStringLiteral("Count"), QStringLiteral("5")));
    QTRY_COMPARE(m_app->log.size(), 1);
    QCOMPARE(probe.writes, 1);
}

void TestSettings::missingKeyLeavesThePropertyAlone()
{
    Probe probe;
    probe.setNumber(42);
    QVERIFY(m_controller->bind(&probe, "number", SIGNAL(numberChanged(int)), QStringLiteral("Absent")));
    QCOMPARE(probe.number(), 42);
    QCOMPARE(probe.writes, 1);
    drain();
    QCOMPARE(m_app->log, QStringList());
}

void TestSettings::objectWithTwoBindingsPostsTwoChanges()
{
    Probe probe;
    probe.setText(QStringLiteral("left"));
    QVERIFY(m_controller->bind(&probe, "number", SIGNAL(numberChanged(int)), QStringLiteral("A")));
    QVERIFY(m_controller->bind(&probe, "text", SIGNAL(textChanged(QString)), QStringLiteral("B")));

    probe.setNumber(3);
    const QStringList both{"changed A=3 stored=3", "changed B=left stored=left"};
    QTRY_COMPARE(m_app->log, both);
    m_app->log.clear();
    probe.setText(QStringLiteral("right"));
    QTRY_COMPARE(m_app->log, (QStringList{"changed A=3 stored=3", "changed B=right stored=right"}));
}

void TestSettings::destroyedObjectLeavesNothingBehind()
{
    Probe follower;
    auto doomed = std::make_unique<Probe>();
    QVERIFY(m_controller->bind(doomed.get(), "number", SIGNAL(numberChanged(int)), QStringLiteral("K")));
    QVERIFY(m_controller->bind(doomed.get(), "text", SIGNAL(textChanged(QString)), QStringLiteral("L")));
    QVERIFY(m_controller->bind(&follower, "number", SIGNAL(numberChanged(int)), QStringLiteral("K")));
    doomed->setNumber(1);
    doomed.reset(); // its change is still waiting in the queue

    QTRY_COMPARE(follower.number(), 1);
    QCoreApplication::postEvent(m_controller.get(), new CSettingsChangeValueEvent(QStringLiteral("K"), 9));
    QTRY_COMPARE(follower.number(), 9);
}

void TestSettings::unbindingOneKeyKeepsTheOthers()
{
    Probe probe;
    const char *notify = SIGNAL(numberChanged(int));
    QVERIFY(m_controller->bind(&probe, "number", notify, QStringLiteral("A")));
    QVERIFY(m_controller->bind(&probe, "number", notify, QStringLiteral("B")));
    m_controller->unbind(&probe, QStringLiteral("A"));

    probe.setNumber(4);
    QTRY_COMPARE(m_app->log, QStringList{"changed B=4 stored=4"});
    drain();
    QCOMPARE(m_app->log.size(), 1);

    m_controller->unbind(&probe, QStringLiteral("B"));
    probe.setNumber(5);
    drain();
    QCOMPARE(m_app->log.size(), 1);
}

void TestSettings::badBindingIsRefused_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QByteArray>("notify");
    QTest::newRow("unknown property") << QByteArray("numbr") << QByteArray(SIGNAL(numberChanged(int)));
    QTest::newRow("unknown signal") << QByteArray("number") << QByteArray(SIGNAL(numberMoved(int)));
    QTest::newRow("slot given as signal") << QByteArray("number") << QByteArray(SLOT(deleteLater()));
    QTest::newRow("signal without its code") << QByteArray("number") << QByteArray("numberChanged(int)");
}

void TestSettings::badBindingIsRefused()
{
    QFETCH(QByteArray, property);
    QFETCH(QByteArray, notify);
    m_model->settings()->setValue(QStringLiteral("Count"), 8);
    Probe probe;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^SettingsController::bind: ")));
    QVERIFY(!m_controller->bind(&probe, property.constData(), notify.constData(), QStringLiteral("Count")));
    QCOMPARE(probe.writes, 0);
    probe.setNumber(1);
    drain();
    QCOMPARE(m_app->log, QStringList());
}

void TestSettings::keyNames()
{
    QCOMPARE(midiInputEnabledKey(), QStringLiteral("MidiInputEnabled"));
    QCOMPARE(midiThruEnabledKey(), QStringLiteral("MidiThruEnabled"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
