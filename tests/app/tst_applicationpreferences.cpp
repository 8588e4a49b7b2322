// The preferences and the application-wide dialogs inside the running
// application: its port polling reads fixed port lists, its settings live in
// a temporary folder.
#include "abstractsettingsview.h"
#include "csettingschangevalueevent.h"
#include "fixedportsbackend.h"
#include "midiinstrument.h"
#include "midisynth.h"
#include "midisynthdialog.h"
#include "mvcevent.h"
#include "preferencesdialog.h"
#include "qwpcombobox.h"
#include "settingscontroller.h"
#include "settingsmodel.h"
#include "velkaapplication.h"
#include "vsettingsvaluechangedevent.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSplashScreen>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString MidiInputPortKey = QStringLiteral("MidiInputPort");
const QString MidiThruPortKey = QStringLiteral("MidiThruPort");

// Hears every settings change the controller announces.
class SettingsSpy : public QObject, public AbstractSettingsView
{
public:
    SettingsSpy() : AbstractSettingsView(this) {}

    QStringList changedKeys;

    void settingsValueChangedEvent(VSettingsValueChangedEvent *event) override
    {
        changedKeys.append(event->key());
    }

protected:
    void customEvent(QEvent *event) override
    {
        if (auto *mvc = dynamic_cast<MvcEvent *>(event))
            mvcEvent(mvc);
    }
};

QStringList keys(const QwpComboBox *box)
{
    QStringList all;
    for (int i = 0; i < box->count(); ++i)
        all.append(box->keyAt(i).toString());
    return all;
}

template <typename Dialog>
int existing()
{
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        count += qobject_cast<Dialog *>(w) ? 1 : 0;
    return count;
}

} // namespace

class TestApplicationPreferences : public QObject
{
    Q_OBJECT

public:
    explicit TestApplicationPreferences(FixedPortsBackend *backend) : m_backend(backend) {}

private slots:
    void initTestCase();
    void cleanup();

    void portBoxesListTheApplicationsPortsInOrder();
    void refillKeepsTheSelectedPortAndWritesNothing();
    void absentPortLeavesNoSelectionAndTheStoredName();
    void choosingAPortStoresItAndTheApplicationOpensIt();
    void preferencesOneAtATime();
    void synthDialogOpenAndClose();
    void aboutBoxIsTheSplashWithoutStepLine();

private:
    VelkaApplication *app() const { return VelkaApplication::instance(); }
    PreferencesDialog *openPreferences();
    void storeSetting(const QString &key, const QVariant &value);
    QVariant stored(const QString &key) const;
    void setPorts(MidiDirection direction, const QStringList &names);

    FixedPortsBackend *m_backend;
};

void TestApplicationPreferences::initTestCase()
{
    QVERIFY(app());
    QTRY_VERIFY(app()->settings());
    QTRY_VERIFY(!app()->windows().isEmpty());
    QTRY_VERIFY(app()->settingsController());
    // The application stored its first-start defaults.
    QTRY_COMPARE(stored(QStringLiteral("MidiInputEnabled")).toBool(), true);
    QTRY_COMPARE(stored(QStringLiteral("MidiThruEnabled")).toBool(), true);
}

void TestApplicationPreferences::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<PreferencesDialog *>(w))
            w->close();
    }
    app()->setSynthDialogOpen(false);
    QTRY_COMPARE(existing<PreferencesDialog>(), 0);
    QTRY_COMPARE(existing<MidiSynthDialog>(), 0);
}

PreferencesDialog *TestApplicationPreferences::openPreferences()
{
    app()->showAppPrefs();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<PreferencesDialog *>(w))
            return dialog;
    }
    return nullptr;
}

void TestApplicationPreferences::storeSetting(const QString &key, const QVariant &value)
{
    app()->postToController(new CSettingsChangeValueEvent(key, value));
    QTRY_COMPARE(stored(key), value);
}

QVariant TestApplicationPreferences::stored(const QString &key) const
{
    return app()->settingsModel() ? app()->settingsModel()->value(key) : QVariant();
}

void TestApplicationPreferences::setPorts(MidiDirection direction, const QStringList &names)
{
    m_backend->setPorts(direction, names);
    app()->pollMidiPorts();
    // The lists come back by a queued signal.
    const QSet<QString> expected(names.begin(), names.end());
    QTRY_COMPARE(direction == MidiDirection::Input ? app()->midiInputPortNames() : app()->midiOutputPortNames(),
                 expected);
}

void TestApplicationPreferences::portBoxesListTheApplicationsPortsInOrder()
{
    setPorts(MidiDirection::Input, {"Keys 10", "Keys 2", "Keys 9"});
    setPorts(MidiDirection::Output, {"Synth"});
    PreferencesDialog *dialog = openPreferences();
    QVERIFY(dialog);
    QCOMPARE(keys(dialog->form().inputPortsComboBox), (QStringList{"Keys 2", "Keys 9", "Keys 10"}));
    QCOMPARE(keys(dialog->form().thruPortsComboBox), QStringList{"Synth"});

    // A list that changes while the dialog is open is taken up at once.
    setPorts(MidiDirection::Output, {"Synth", "Drums"});
    QCOMPARE(keys(dialog->form().thruPortsComboBox), (QStringList{"Drums", "Synth"}));
}

void TestApplicationPreferences::refillKeepsTheSelectedPortAndWritesNothing()
{
    setPorts(MidiDirection::Input, {"A", "B"});
    storeSetting(MidiInputPortKey, QStringLiteral("B"));
    PreferencesDialog *dialog = openPreferences();
    QVERIFY(dialog);
    QwpComboBox *box = dialog->form().inputPortsComboBox;
    QCOMPARE(box->currentKey(), QVariant(QStringLiteral("B")));

    SettingsSpy spy;
    app()->settingsController()->attachView(&spy);
    QTRY_VERIFY(spy.settingsModel());
    setPorts(MidiDirection::Input, {"B", "C"});
    QCOMPARE(keys(box), (QStringList{"B", "C"}));
    QCOMPARE(box->currentKey(), QVariant(QStringLiteral("B")));
    QTest::qWait(50); // posted settings events would have arrived by now
    QCOMPARE(spy.changedKeys, QStringList());
    QCOMPARE(stored(MidiInputPortKey), QVariant(QStringLiteral("B")));
    app()->settingsController()->detachView(&spy);
}

void TestApplicationPreferences::absentPortLeavesNoSelectionAndTheStoredName()
{
    setPorts(MidiDirection::Input, {"A", "B"});
    storeSetting(MidiInputPortKey, QStringLiteral("B"));
    QTRY_COMPARE(m_backend->openPorts(MidiDirection::Input), QStringList{"B"});
    PreferencesDialog *dialog = openPreferences();
    QVERIFY(dialog);
    QwpComboBox *box = dialog->form().inputPortsComboBox;

    setPorts(MidiDirection::Input, {"A"});
    QCOMPARE(box->currentIndex(), -1);
    QCOMPARE(stored(MidiInputPortKey), QVariant(QStringLiteral("B")));

    // The device is plugged in again: the box and the application take it up.
    setPorts(MidiDirection::Input, {"A", "B"});
    QCOMPARE(box->currentKey(), QVariant(QStringLiteral("B")));
    QTRY_COMPARE(m_backend->openPorts(MidiDirection::Input), QStringList{"B"});
}

void TestApplicationPreferences::choosingAPortStoresItAndTheApplicationOpensIt()
{
    setPorts(MidiDirection::Input, {"A", "B"});
    setPorts(MidiDirection::Output, {"Synth", "Drums"});
    storeSetting(MidiInputPortKey, QStringLiteral("A"));
    storeSetting(MidiThruPortKey, QString());
    PreferencesDialog *dialog = openPreferences();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    QwpComboBox *input = dialog->form().inputPortsComboBox;
    input->setFocus();
    QTest::keyClick(input, Qt::Key_Down);
    QTRY_COMPARE(stored(MidiInputPortKey), QVariant(QStringLiteral("B")));
    QTRY_COMPARE(m_backend->openPorts(MidiDirection::Input), QStringList{"B"});

    QwpComboBox *thru = dialog->form().thruPortsComboBox;
    QCOMPARE(thru->currentIndex(), -1);
    thru->setFocus();
    QTest::keyClick(thru, Qt::Key_Down); // the first port, "Drums"
    QTRY_COMPARE(stored(MidiThruPortKey), QVariant(QStringLiteral("Drums")));
    QTRY_COMPARE(app()->thruInstrument()->portName(), QStringLiteral("Drums"));

    // Unticking the switch is how no port is used.
    dialog->form().thruCheckBox->setFocus();
    QTest::keyClick(dialog->form().thruCheckBox, Qt::Key_Space);
    QTRY_VERIFY(!app()->thruInstrument()->isOpen());
    QCOMPARE(stored(MidiThruPortKey), QVariant(QStringLiteral("Drums")));
    QTest::keyClick(dialog->form().thruCheckBox, Qt::Key_Space);
    QTRY_COMPARE(app()->thruInstrument()->portName(), QStringLiteral("Drums"));
}

void TestApplicationPreferences::preferencesOneAtATime()
{
    PreferencesDialog *first = openPreferences();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(openPreferences(), first);
    QCOMPARE(existing<PreferencesDialog>(), 1);

    QPointer<PreferencesDialog> guard(first);
    first->close();
    QTRY_VERIFY(!guard);
    PreferencesDialog *second = openPreferences();
    QVERIFY(second);
    QVERIFY(second->isVisible());
}

void TestApplicationPreferences::synthDialogOpenAndClose()
{
    QSignalSpy toggled(app(), &VelkaApplication::synthDialogToggled);
    app()->setSynthDialogOpen(false);
    QCOMPARE(toggled.count(), 0);

    app()->toggleSynthDialog();
    QVERIFY(app()->isSynthDialogOpen());
    QCOMPARE(toggled.count(), 1);
    auto dialogs = QApplication::topLevelWidgets();
    MidiSynthDialog *dialog = nullptr;
    for (QWidget *w : dialogs) {
        if (auto *d = qobject_cast<MidiSynthDialog *>(w))
            dialog = d;
    }
    QVERIFY(dialog);
    QCOMPARE(dialog->synth(), static_cast<SynthInstruments *>(app()->synth()));
    // The synthesizer as built holds no sound bank.
    QCOMPARE(dialog->soundBankLabel->text(), QString());
    QCOMPARE(dialog->channelsView->model()->rowCount(), 16);

    app()->toggleSynthDialog();
    QVERIFY(!app()->isSynthDialogOpen());
    QTRY_COMPARE(existing<MidiSynthDialog>(), 0);
    QCOMPARE(toggled.count(), 2);
}

void TestApplicationPreferences::aboutBoxIsTheSplashWithoutStepLine()
{
    app()->showAppAbout();
    QSplashScreen *splash = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *s = qobject_cast<QSplashScreen *>(w))
            splash = s;
    }
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    auto *step = splash->findChild<QLabel *>(QStringLiteral("launchInfoLabel"));
    QVERIFY(step);
    QCOMPARE(step->text(), QString());
    QTest::mouseClick(splash, Qt::LeftButton);
    QTRY_VERIFY(!splash->isVisible());
}

int main(int argc, char **argv)
{
    // The running instance's socket and the settings store go to a folder of
    // this run, away from a Velka the user may be running.
    QTemporaryDir home;
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral("config")).toLocal8Bit());
    FixedPortsBackend backend;
    MidiBackend::setInstance(&backend);
    int status = 0;
    {
        // The test's own arguments are not documents to open.
        int appArgc = 1;
        char *appArgv[] = {argv[0], nullptr};
        VelkaApplication app(appArgc, appArgv);
        TestApplicationPreferences test(&backend);
        QTEST_SET_MAIN_SOURCE_PATH
        status = QTest::qExec(&test, argc, argv);
    }
    MidiBackend::setInstance(nullptr);
    return status;
}

#include "tst_applicationpreferences.moc"
