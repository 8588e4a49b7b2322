#include "applicationdialogs.h"
#include "fakesynth.h"
#include "midisynthdialog.h"
#include "preferencesdialog.h"
#include "settingsfixture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

template <typename Dialog>
QList<Dialog *> visibleDialogs()
{
    QList<Dialog *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<Dialog *>(w); dialog && dialog->isVisible())
            found.append(dialog);
    }
    return found;
}

template <typename Dialog>
int existingDialogs()
{
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        count += qobject_cast<Dialog *>(w) ? 1 : 0;
    return count;
}

QPoint upperMiddle(const QSize &size)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    return area.topLeft()
           + QPoint(area.width() / 2 - size.width() / 2,
                    int((area.height() / 2 - size.height() / 2) * 0.5));
}

} // namespace

class TestApplicationDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void closingWithoutDialogDoesNothing();
    void toggleOpensThenCloses();
    void closeThenOpenInOneTurnGivesOneDialog();
    void userClosingTheSynthDialogForgetsIt();
    void synthDialogShowsTheSynthesizer();
    void preferencesDialogIsReusedWhileItExists();
    void closedPreferencesComeBackAsANewDialogPlacedAgain();

private:
    std::unique_ptr<SettingsFixture> m_settings;
    FakeSynth *m_synth = nullptr;
    ApplicationDialogs *m_dialogs = nullptr;
};

void TestApplicationDialogs::init()
{
    m_settings = std::make_unique<SettingsFixture>();
    QVERIFY(m_settings->isValid());
    QTRY_VERIFY(m_settings->controller()->settingsModel());
    m_synth = new FakeSynth(QStringLiteral("General"), {{10, QStringLiteral("Piano"), {}}});
    m_dialogs = new ApplicationDialogs(m_settings->controller(), m_synth);
}

void TestApplicationDialogs::cleanup()
{
    delete m_dialogs;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(existingDialogs<MidiSynthDialog>(), 0);
    QCOMPARE(existingDialogs<PreferencesDialog>(), 0);
    delete m_synth;
    m_dialogs = nullptr;
    m_synth = nullptr;
    m_settings.reset();
}

void TestApplicationDialogs::closingWithoutDialogDoesNothing()
{
    QSignalSpy toggled(m_dialogs, &ApplicationDialogs::synthDialogToggled);
    m_dialogs->setSynthDialogOpen(false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_dialogs->isSynthDialogOpen());
    QCOMPARE(toggled.count(), 0);
    QCOMPARE(existingDialogs<MidiSynthDialog>(), 0);
}

void TestApplicationDialogs::toggleOpensThenCloses()
{
    QSignalSpy toggled(m_dialogs, &ApplicationDialogs::synthDialogToggled);

    m_dialogs->toggleSynthDialog();
    QVERIFY(m_dialogs->isSynthDialogOpen());
    QCOMPARE(toggled.count(), 1);
    QCOMPARE(visibleDialogs<MidiSynthDialog>().size(), 1);
    QVERIFY(m_dialogs->synthDialog()->testAttribute(Qt::WA_DeleteOnClose));

    m_dialogs->toggleSynthDialog();
    QVERIFY(!m_dialogs->isSynthDialogOpen()); // at once, before the deletion
    QCOMPARE(visibleDialogs<MidiSynthDialog>().size(), 0);
    QTRY_COMPARE(existingDialogs<MidiSynthDialog>(), 0);
    QCOMPARE(toggled.count(), 2);
}

void TestApplicationDialogs::closeThenOpenInOneTurnGivesOneDialog()
{
    m_dialogs->setSynthDialogOpen(true);
    MidiSynthDialog *first = m_dialogs->synthDialog();
    QSignalSpy toggled(m_dialogs, &ApplicationDialogs::synthDialogToggled);

    m_dialogs->setSynthDialogOpen(false);
    m_dialogs->setSynthDialogOpen(true);
    QVERIFY(m_dialogs->synthDialog() != first);
    QTRY_COMPARE(existingDialogs<MidiSynthDialog>(), 1);
    QCOMPARE(visibleDialogs<MidiSynthDialog>(), QList<MidiSynthDialog *>{m_dialogs->synthDialog()});
    QCOMPARE(toggled.count(), 2); // the new one opened, the old one went
    QVERIFY(m_dialogs->isSynthDialogOpen());
}

void TestApplicationDialogs::userClosingTheSynthDialogForgetsIt()
{
    m_dialogs->setSynthDialogOpen(true);
    MidiSynthDialog *dialog = m_dialogs->synthDialog();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QSignalSpy toggled(m_dialogs, &ApplicationDialogs::synthDialogToggled);

    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!m_dialogs->isSynthDialogOpen());
    QTRY_COMPARE(existingDialogs<MidiSynthDialog>(), 0);
    QCOMPARE(toggled.count(), 1);

    m_dialogs->toggleSynthDialog();
    QVERIFY(m_dialogs->isSynthDialogOpen());
}

void TestApplicationDialogs::synthDialogShowsTheSynthesizer()
{
    m_dialogs->setSynthDialogOpen(true);
    MidiSynthDialog *dialog = m_dialogs->synthDialog();
    QCOMPARE(dialog->synth(), m_synth);
    QCOMPARE(dialog->soundBankLabel->text(), QStringLiteral("General"));

    // Opening an open dialog only brings it forward.
    m_dialogs->setSynthDialogOpen(true);
    QCOMPARE(m_dialogs->synthDialog(), dialog);
}

void TestApplicationDialogs::preferencesDialogIsReusedWhileItExists()
{
    m_dialogs->showPreferences();
    PreferencesDialog *dialog = m_dialogs->preferencesDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(dialog->pos(), upperMiddle(dialog->size()));

    m_dialogs->showPreferences();
    QCOMPARE(m_dialogs->preferencesDialog(), dialog);
    QCOMPARE(visibleDialogs<PreferencesDialog>().size(), 1);
}

void TestApplicationDialogs::closedPreferencesComeBackAsANewDialogPlacedAgain()
{
    m_dialogs->showPreferences();
    QPointer<PreferencesDialog> first = m_dialogs->preferencesDialog();
    QVERIFY(QTest::qWaitForWindowExposed(first));
    first->move(first->pos() + QPoint(40, 30));
    first->close();
    QTRY_VERIFY(!first);
    QVERIFY(!m_dialogs->preferencesDialog());

    m_dialogs->showPreferences();
    PreferencesDialog *second = m_dialogs->preferencesDialog();
    QVERIFY(second);
    QCOMPARE(second->pos(), upperMiddle(second->size()));
}

QTEST_MAIN(TestApplicationDialogs)
#include "tst_applicationdialogs.moc"
