#include "fakesynth.h"
#include "formrows.h"
#include "midisynthdialog.h"
#include "settingsfixture.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#include <memory>

namespace {

QList<FakeSynth::Instrument> threeInstruments()
{
    return {{10, QStringLiteral("Piano"), {0, 0, 0}},
            {20, QStringLiteral("Organ"), {1, 2, 5}},
            {30, QStringLiteral("Strings"), {0, 0, 1}}};
}

QStringList comboTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}

// The editors as the user sees them: combo position, program, MSB, LSB.
QList<int> editors(const MidiSynthDialog &dialog)
{
    return {dialog.instrumentsComboBox->currentIndex(), dialog.programSpinBox->value(),
            dialog.bankMSBSpinBox->value(), dialog.bankLSBSpinBox->value()};
}

} // namespace

class TestMidiSynthDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void withoutSynthesizerShowsNoSoundBank();
    void synthesizerWithoutSoundBank();
    void setSynthLoadsChannelOneWithoutWriting();
    void spinBoxesAssignTheProgramsInstrument_data();
    void spinBoxesAssignTheProgramsInstrument();
    void pickingAnInstrumentAssignsIt();
    void choosingAnotherChannelLoadsIt();
    void announcedChangeReloadsTheEditorsWithoutWritingBack();
    void changeOnAnotherChannelLeavesTheEditors();
    void resetButtonResetsTheSoundBank();
    void destroyedSynthesizerLeavesAnEmptyDialog();
    void placedUpperMiddleWithoutStoredGeometry();
    void geometryStoredOnCloseAndRestored();
    void formMatches_data();
    void formMatches();
    void tabOrder();

private:
    std::unique_ptr<SettingsFixture> m_settings;
};

void TestMidiSynthDialog::init()
{
    m_settings = std::make_unique<SettingsFixture>();
    QVERIFY(m_settings->isValid());
    QTRY_VERIFY(m_settings->controller()->settingsModel());
}

void TestMidiSynthDialog::cleanup()
{
    m_settings.reset();
}

void TestMidiSynthDialog::withoutSynthesizerShowsNoSoundBank()
{
    QWidget window;
    // A tool window of its own, whatever parent it is given.
    MidiSynthDialog dialog(m_settings->controller(), &window);
    QCOMPARE(dialog.parentWidget(), nullptr);
    QCOMPARE(dialog.windowType(), Qt::Tool);
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(dialog.soundBankLabel->text(), QStringLiteral("(no sound bank)"));
    FakeSynth synth;
    dialog.setSynth(&synth);
    dialog.setSynth(nullptr);
    QCOMPARE(dialog.synth(), nullptr);
    QCOMPARE(dialog.soundBankLabel->text(), QStringLiteral("(no sound bank)"));
    QCOMPARE(dialog.channelsView->model()->rowCount(), 0);
    QCOMPARE(dialog.instrumentsComboBox->count(), 0);
    QVERIFY(dialog.openButton->isHidden());
}

void TestMidiSynthDialog::synthesizerWithoutSoundBank()
{
    MidiSynthDialog dialog(m_settings->controller());
    FakeSynth synth;
    dialog.setSynth(&synth);

    QCOMPARE(dialog.soundBankLabel->text(), QString());
    const QAbstractItemModel *table = dialog.channelsView->model();
    QCOMPARE(table->rowCount(), 16);
    for (int row = 0; row < 16; ++row) {
        QCOMPARE(table->index(row, 0).data().toString(), QString::number(row + 1));
        QCOMPARE(table->index(row, 1).data().toString(), QString());
    }
    QCOMPARE(dialog.instrumentsComboBox->count(), 0);
    QCOMPARE(editors(dialog), (QList<int>{-1, 1, 0, 0}));
    QCOMPARE(dialog.channelsView->currentIndex().row(), 0);
    QVERIFY(synth.callsOf(QStringLiteral("setChannelInstrument")).isEmpty());
}

void TestMidiSynthDialog::setSynthLoadsChannelOneWithoutWriting()
{
    MidiSynthDialog dialog(m_settings->controller());
    FakeSynth synth(QStringLiteral("General"), threeInstruments());
    synth.assign(0, 20);
    dialog.setSynth(&synth);

    QCOMPARE(dialog.soundBankLabel->text(), QStringLiteral("General"));
    QCOMPARE(comboTexts(dialog.instrumentsComboBox),
             (QStringList{QStringLiteral("Piano"), QStringLiteral("Organ"), QStringLiteral("Strings")}));
    QCOMPARE(dialog.channelsView->currentIndex().row(), 0);
    QVERIFY(dialog.channelsView->selectionModel()->isRowSelected(0, QModelIndex()));
    QCOMPARE(editors(dialog), (QList<int>{1, 6, 1, 2}));
    // Filling the instrument list moves the combo box, but nothing is assigned.
    QVERIFY(synth.callsOf(QStringLiteral("setChannelInstrument")).isEmpty());
}

void TestMidiSynthDialog::spinBoxesAssignTheProgramsInstrument_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<MidiInstrumentId>("assigned");
    QTest::newRow("program 1 to 2") << "programSpinBox" << "instrumentOfProgram 0 0 1" << 30u;
    QTest::newRow("bank MSB 0 to 1") << "bankMSBSpinBox" << "instrumentOfProgram 1 0 0" << 0u;
    QTest::newRow("bank LSB 0 to 1") << "bankLSBSpinBox" << "instrumentOfProgram 0 1 0" << 0u;
}

void TestMidiSynthDialog::spinBoxesAssignTheProgramsInstrument()
{
    QFETCH(QString, box);
    QFETCH(QString, asked);
    QFETCH(MidiInstrumentId, assigned);

    MidiSynthDialog dialog(m_settings->controller());
    FakeSynth synth(QStringLiteral("General"), threeInstruments());
    dialog.setSynth(&synth);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    synth.calls.clear();

    auto *spinBox = dialog.findChild<QSpinBox *>(box);
    QVERIFY(spinBox);
    spinBox->setFocus();
    QTest::keyClick(spinBox, Qt::Key_Up);

    QCOMPARE(synth.callsOf(QStringLiteral("instrumentOfProgram")), QStringList{asked});
    QCOMPARE(synth.callsOf(QStringLiteral("setChannelInstrument")),
             QStringList{QStringLiteral("setChannelInstrument 0 %1").arg(assigned)});
}

void TestMidiSynthDialog::pickingAnInstrumentAssignsIt()
{
    MidiSynthDialog dialog(m_settings->controller());
    FakeSynth synth(QStringLiteral("General"), threeInstruments());
    dialog.setSynth(&synth);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    synth.calls.clear();

    dialog.instrumentsComboBox->setFocus();
    QTest::keyClick(dialog.instrumentsComboBox, Qt::Key_Down); // Piano
    QTest::keyClick(dialog.instrumentsComboBox, Qt::Key_Down); // Organ

    QCOMPARE(synth.callsOf(QStringLiteral("setChannelInstrument")),
             (QStringList{QStringLiteral("setChannelInstrument 0 10"),
                          QStringLiteral("setChannelInstrument 0 20")}));
    QCOMPARE(synth.channelInstrument(0), MidiInstrumentId(20));
    QCOMPARE(editors(dialog), (QList<int>{1, 6, 1, 2})); // reloaded from Organ's program
    QCOMPARE(dialog.channelsView->model()->index(0, 1).data().toString(), QStringLiteral("Organ"));
}

void TestMidiSynthDialog::choosingAnotherChannelLoadsIt()
{
    MidiSynthDialog dialog(m_settings->controller());
    FakeSynth synth(QStringLiteral("General"), threeInstruments());
    synth.assign(4, 20);
    dialog.setSynth(&synth);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    synth.calls.clear();

    QTreeView *view = dialog.channelsView;
    const QRect cell = view->visualRect(view->model()->index(4, 0));
    QVERIFY(cell.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(view->currentIndex().row(), 4);
    QCOMPARE(editors(dialog), (QList<int>{1, 6, 1, 2}));

    dialog.programSpinBox->setFocus();
    QTest::keyClick(dialog.programSpinBox, Qt::Key_Down); // program 6 -> 5 (0-based 4)
    QCOMPARE(synth.callsOf(QStringLiteral("instrumentOfProgram")),
             QStringList{QStringLiteral("instrumentOfProgram 1 2 4")});
    QCOMPARE(synth.callsOf(QStringLiteral("setChannelInstrument")),
             QStringList{QStringLiteral("setChannelInstrument 4 0")});
}

void TestMidiSynthDialog::announcedChangeReloadsTheEditorsWithoutWritingBack()
{
    MidiSynthDialog dialog(m_settings->controller());
    FakeSynth synth(QStringLiteral("General"), threeInstruments());
    dialog.setSynth(&synth);
    synth.calls.clear();

    synth.assign(0, 20); // as a program change arriving over MIDI
    QCOMPARE(editors(dialog), (QList<int>{1, 6, 1, 2}));
    synth.assign(0, 30);
    QCOMPARE(editors(dialog), (QList<int>{2, 2, 0, 0}));
    QVERIFY(synth.callsOf(QStringLiteral("setChannelInstrument")).isEmpty());

    // The user's change comes back announced: one assignment, not two.
    dialog.programSpinBox->setValue(1);
    QCOMPARE(synth.callsOf(QStringLiteral("setChannelInstrument")),
             QStringList{QStringLiteral("setChannelInstrument 0 10")});
    QCOMPARE(editors(dialog), (QList<int>{0, 1, 0, 0}));
}

void TestMidiSynthDialog::changeOnAnotherChannelLeavesTheEditors()
{
    MidiSynthDialog dialog(m_settings->controller());
    FakeSynth synth(QStringLiteral("General"), threeInstruments());
    synth.assign(0, 30);
    dialog.setSynth(&synth);

    synth.assign(9, 20);
    QCOMPARE(editors(dialog), (QList<int>{2, 2, 0, 0}));
    QCOMPARE(dialog.channelsView->model()->index(9, 1).data().toString(), QStringLiteral("Organ"));
}

void TestMidiSynthDialog::resetButtonResetsTheSoundBank()
{
    MidiSynthDialog dialog(m_settings->controller());
    QTest::mouseClick(dialog.resetButton, Qt::LeftButton); // no synthesizer: nothing
    FakeSynth synth;
    dialog.setSynth(&synth);
    synth.calls.clear();
    QTest::mouseClick(dialog.resetButton, Qt::LeftButton);
    QCOMPARE(synth.calls, QStringList{QStringLiteral("resetSoundBank")});
}

void TestMidiSynthDialog::destroyedSynthesizerLeavesAnEmptyDialog()
{
    MidiSynthDialog dialog(m_settings->controller());
    auto *synth = new FakeSynth(QStringLiteral("General"), threeInstruments());
    dialog.setSynth(synth);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    delete synth;
    QCOMPARE(dialog.synth(), nullptr);
    QCOMPARE(dialog.soundBankLabel->text(), QStringLiteral("(no sound bank)"));
    QCOMPARE(dialog.channelsView->model()->rowCount(), 0);
    QCOMPARE(dialog.instrumentsComboBox->count(), 0);

    // The editors do nothing now (and touch nothing that is gone).
    dialog.programSpinBox->setFocus();
    QTest::keyClick(dialog.programSpinBox, Qt::Key_Up);
    QTest::mouseClick(dialog.resetButton, Qt::LeftButton);
}

void TestMidiSynthDialog::placedUpperMiddleWithoutStoredGeometry()
{
    MidiSynthDialog dialog(m_settings->controller());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(dialog.size(), QSize(250, 380));
    const int x = area.width() / 2 - 250 / 2;
    const int y = int((area.height() / 2 - 380 / 2) * 0.5);
    QCOMPARE(dialog.pos(), area.topLeft() + QPoint(x, y));
}

void TestMidiSynthDialog::geometryStoredOnCloseAndRestored()
{
    {
        auto *dialog = new MidiSynthDialog(m_settings->controller());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        dialog->setGeometry(QRect(123, 77, 300, 420));
        QPointer<MidiSynthDialog> guard(dialog);
        dialog->close();
        QTRY_VERIFY(!guard);
    }
    QVERIFY(!m_settings->model()->value(QStringLiteral("MidiSynthDialogGeometry")).toByteArray().isEmpty());

    MidiSynthDialog dialog(m_settings->controller());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.geometry(), QRect(123, 77, 300, 420));
}

void TestMidiSynthDialog::formMatches_data()
{
    addFormColumns();
    const auto row = addFormRow;
    row("MidiSynthDialogForm", "windowTitle", QStringLiteral("-"));
    row("MidiSynthDialogForm", "size", QSize(250, 380));
    row("openButton", "text", QStringLiteral("Open..."));
    row("openButton", "toolTip", QStringLiteral("Open sound bank..."));
    row("openButton", "autoDefault", false);
    row("openButton", "default", false);
    row("resetButton", "text", QStringLiteral("Reset"));
    row("resetButton", "toolTip", QStringLiteral("Reset to default sound bank"));
    row("resetButton", "autoDefault", false);
    row("resetButton", "default", false);
    row("soundBankLabel", "styleSheet", QStringLiteral("QLabel { font-weight: bold; }"));
    row("channelsView", "styleSheet",
        QStringLiteral("QTreeView { border: 0px; border-bottom: 1px solid grey; }"));
    row("channelsView", "frameShape", int(QFrame::NoFrame));
    row("channelsView", "alternatingRowColors", true);
    row("channelsView", "uniformRowHeights", true);
    row("channelsView", "allColumnsShowFocus", true);
    row("label_13", "text", QStringLiteral("Program"));
    row("label_14", "text", QStringLiteral("Bank MSB"));
    row("label_15", "text", QStringLiteral("Bank LSB"));
    row("label_13", "alignment", int(Qt::AlignCenter));
    row("programSpinBox", "minimum", 1);
    row("programSpinBox", "maximum", 128);
    row("bankMSBSpinBox", "minimum", 0);
    row("bankMSBSpinBox", "maximum", 127);
    row("bankLSBSpinBox", "minimum", 0);
    row("bankLSBSpinBox", "maximum", 127);
}

void TestMidiSynthDialog::formMatches()
{
    QDialog host;
    Ui::MidiSynthDialogForm form;
    form.setupUi(&host);
    checkFormRow(host);
}

void TestMidiSynthDialog::tabOrder()
{
    MidiSynthDialog dialog(m_settings->controller());
    const QStringList order{"channelsView",   "instrumentsComboBox", "programSpinBox",
                            "bankMSBSpinBox", "bankLSBSpinBox",      "openButton",
                            "resetButton"};
    QStringList seen;
    QWidget *w = dialog.channelsView;
    do {
        if (order.contains(w->objectName()))
            seen.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w != dialog.channelsView);
    QCOMPARE(seen, order);
    QCOMPARE(dialog.label_13->buddy(), dialog.programSpinBox);
    QCOMPARE(dialog.label_14->buddy(), dialog.bankMSBSpinBox);
    QCOMPARE(dialog.label_15->buddy(), dialog.bankLSBSpinBox);
}

QTEST_MAIN(TestMidiSynthDialog)
#include "tst_midisynthdialog.moc"
