#include "channelsbox.h"
#include "chooser.h"
#include "colorchooserbutton.h"
#include "connectwarnings.h"
#include "inspectorfixture.h"
#include "qwpcombobox.h"
#include "shareddialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeLine>
#include <QtTest>

// What the user edits in the pages, checked in the document afterwards: one
// undo step per change, several elements or instruments at once, mixed values
// that write nothing.
class TestInspectorBindings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void pitchListOverTwoNodesIsOneStep();
    void finishingWithoutChangeWritesNothing();
    void signallingChoiceOverMixedMethods();
    void instrumentComboBoxShowsTheCommonInstrument();
    void instrumentChangeCouplingAfterRebind();
    void voiceGroupFieldsRefuseWhatCannotPlay_data();
    void voiceGroupFieldsRefuseWhatCannotPlay();
    void pathChooserWritesTheSelectedEdges();
    void mixedPathsShowNoChoice();
    void tempoTypedIsOneStep();
    void outOfRangeValueIsShownClampedAndKept();
    void presetIsOneStepAndOnlyOnChange();
    void labelEditIsOneStepPerFinishedEdit();
    void colorDialogSessionIsOneStep();
    void programChangeEnablesItsFields();
    void vanishedPortShowsNothingAndKeepsTheKey();
    void channelsOverTwoInstruments();
    void listFieldsEditInTheMiddle_data();
    void listFieldsEditInTheMiddle();
    void unfinishedTextIsTurnedBack_data();
    void unfinishedTextIsTurnedBack();
};

namespace {

// Focus, everything selected, the text typed, Return.
void typeInto(QWidget *field, const QString &text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
    InspectorFixture::settle();
}

} // namespace

void TestInspectorBindings::initTestCase()
{
    ConnectWarnings::install();
}

void TestInspectorBindings::cleanup()
{
    const QStringList warnings = ConnectWarnings::take();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestInspectorBindings::pitchListOverTwoNodesIsOneStep()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    const QString pitch = QStringLiteral("PitchList");
    f.setElement(a, pitch, QStringLiteral("C3"));
    f.setElement(b, pitch, QStringLiteral("E3"));
    f.select({a, b});
    auto *field = f.widget<QLineEdit>("InspectNodeForm", "pitchListEdit");
    QCOMPARE(field->text(), QString());

    f.markHistory();
    typeInto(field, QStringLiteral("D3"));
    QCOMPARE(f.element(a, pitch), QVariant(QStringLiteral("D3")));
    QCOMPARE(f.element(b, pitch), QVariant(QStringLiteral("D3")));
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Pitch List"));

    f.controller()->requestUndo();
    InspectorFixture::settle();
    QCOMPARE(f.element(a, pitch), QVariant(QStringLiteral("C3")));
    QCOMPARE(f.element(b, pitch), QVariant(QStringLiteral("E3")));
    QCOMPARE(field->text(), QString());
}

void TestInspectorBindings::finishingWithoutChangeWritesNothing()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    f.setElement(a, QStringLiteral("VelocityList"), QStringLiteral("100"));
    f.setElement(b, QStringLiteral("VelocityList"), QStringLiteral("90"));
    f.select({a});
    f.markHistory();
    auto *field = f.widget<QLineEdit>("InspectNodeForm", "pitchListEdit");
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    // A mixed field left as it is writes nothing either.
    f.select({a, b});
    auto *velocities = f.widget<QLineEdit>("InspectNodeForm", "velocityListEdit");
    QCOMPARE(velocities->text(), QString());
    velocities->setFocus();
    QTest::keyClick(velocities, Qt::Key_Return);
    f.widget<QLineEdit>("InspectNodeForm", "durationListEdit")->setFocus();
    InspectorFixture::settle();
    QCOMPARE(f.stepsSinceMark(), 0);
    QCOMPARE(f.element(a, QStringLiteral("VelocityList")), QVariant(QStringLiteral("100")));
}

void TestInspectorBindings::signallingChoiceOverMixedMethods()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    const QString method = QStringLiteral("SignallingMethod");
    f.setElement(a, method, 0);
    f.setElement(b, method, 2);
    f.select({a, b});
    auto *comboBox = f.widget<QComboBox>("InspectNodeForm", "sigMethodComboBox");
    QCOMPARE(comboBox->currentIndex(), -1);

    f.markHistory();
    comboBox->setFocus();
    QTest::keyClicks(comboBox, QStringLiteral("P"));
    InspectorFixture::settle();
    QCOMPARE(comboBox->currentText(), QStringLiteral("Parallel"));
    QCOMPARE(f.element(a, method).toInt(), 1);
    QCOMPARE(f.element(b, method).toInt(), 1);
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Signalling"));

    f.select({a});
    QCOMPARE(comboBox->currentIndex(), 1);
}

void TestInspectorBindings::instrumentComboBoxShowsTheCommonInstrument()
{
    InspectorFixture f;
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"));
    const QmdItemId bass = f.addInstrument(QStringLiteral("Bass"));
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    for (QmdItemId node : {a, b})
        f.setElement(node, QStringLiteral("DoInstrumentChange"), true);
    f.setElement(a, QStringLiteral("Instrument"), piano);
    f.setElement(b, QStringLiteral("Instrument"), bass);
    auto *comboBox = f.widget<QwpComboBox>("InspectNodeForm", "instrumentComboBox");

    f.select({b});
    QCOMPARE(comboBox->currentText(), QStringLiteral("Bass"));
    f.select({a, b});
    QCOMPARE(comboBox->currentIndex(), -1);

    // Choosing one writes it into both; a relabelled instrument shows its new label.
    f.markHistory();
    comboBox->setFocus();
    QTest::keyClicks(comboBox, QStringLiteral("B"));
    InspectorFixture::settle();
    QCOMPARE(f.element(a, QStringLiteral("Instrument")).toUInt(), bass);
    QCOMPARE(f.stepsSinceMark(), 1);
    f.setInstrument(bass, QStringLiteral("Label"), QStringLiteral("Cello"));
    QCOMPARE(comboBox->currentText(), QStringLiteral("Cello"));

    // The instrument goes: the boxes show none rather than a neighbour.
    f.controller()->requestRemove(QmdItemIdList{bass}, f.controller()->instrumentsIndex());
    InspectorFixture::settle();
    QCOMPARE(comboBox->currentIndex(), -1);
}

void TestInspectorBindings::instrumentChangeCouplingAfterRebind()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    f.setElement(a, QStringLiteral("DoInstrumentChange"), true);
    f.setElement(b, QStringLiteral("DoInstrumentChange"), false);
    auto *checkBox = f.widget<QCheckBox>("InspectNodeForm", "instrumentChangeCheckBox");
    auto *comboBox = f.widget<QwpComboBox>("InspectNodeForm", "instrumentComboBox");

    f.select({a});
    QVERIFY(checkBox->isChecked());
    QVERIFY(comboBox->isEnabled());
    f.select({b});
    QVERIFY(!checkBox->isChecked());
    QVERIFY(!comboBox->isEnabled());
    f.select({a});
    QVERIFY(comboBox->isEnabled());
    // Deselected: the fallback is unchecked, and so the box is off.
    f.select(QmdItemIdList());
    QVERIFY(!checkBox->isChecked());
    QVERIFY(!comboBox->isEnabled());

    f.select({b});
    QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(5, checkBox->height() / 2));
    InspectorFixture::settle();
    QCOMPARE(f.element(b, QStringLiteral("DoInstrumentChange")), QVariant(true));
    QVERIFY(comboBox->isEnabled());
}

void TestInspectorBindings::voiceGroupFieldsRefuseWhatCannotPlay_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    QTest::newRow("H is no note") << "pitchEdit" << "H3" << "";
    QTest::newRow("no E sharp") << "pitchEdit" << "E#3" << "E3";
    QTest::newRow("no B sharp") << "pitchEdit" << "B#3" << "B3";
    QTest::newRow("sharp in octave -2") << "pitchEdit" << "C#-2" << "C#-2";
    QTest::newRow("G8 is the top") << "pitchEdit" << "G8" << "G8";
    QTest::newRow("nothing above G8") << "pitchEdit" << "G#8" << "G#";
    QTest::newRow("velocity 127") << "velocityEdit" << "127" << "127";
    QTest::newRow("velocity 128") << "velocityEdit" << "128" << "12";
    QTest::newRow("duration decimals") << "durationEdit" << "12.25" << "12.25";
    QTest::newRow("four digits at most") << "durationEdit" << "12345" << "1234";
}

void TestInspectorBindings::voiceGroupFieldsRefuseWhatCannotPlay()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    InspectorFixture f;
    const QmdItemId node = f.addNode(0);
    const QmdItemId group = f.addVoiceGroup(node);
    f.select({group});
    auto *edit = f.widget<QLineEdit>("InspectVoiceGroupForm", field.toLatin1().constData());
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), kept);
}

void TestInspectorBindings::pathChooserWritesTheSelectedEdges()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    const QmdItemId first = f.addEdge(a, b);
    const QmdItemId second = f.addEdge(b, a);
    f.setElement(first, QStringLiteral("ScaleList"), QStringLiteral("1,2"));
    f.select({first, second});
    auto *chooser = f.widget<Chooser>("InspectEdgeForm", "pathChooser");
    QCOMPARE(chooser->count(), 3);
    QCOMPARE(chooser->tabToolTip(2), QStringLiteral("Direct"));

    f.markHistory();
    QTest::mouseClick(chooser, Qt::LeftButton, {}, chooser->tabRect(2).center());
    InspectorFixture::settle();
    QCOMPARE(f.element(first, QStringLiteral("Path")).toInt(), 2);
    QCOMPARE(f.element(second, QStringLiteral("Path")).toInt(), 2);
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Path"));

    // The scale list is never shown, yet follows the edge.
    auto *scaleList = f.widget<QLineEdit>("InspectEdgeForm", "scaleListEdit");
    QVERIFY(scaleList->isHidden());
    f.select({first});
    QCOMPARE(scaleList->text(), QStringLiteral("1,2"));
}

// Edges of different paths show no path as chosen; a click on any path, also
// the tab bar's current one, gives it to every selected edge in one step.
void TestInspectorBindings::mixedPathsShowNoChoice()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    const QmdItemId first = f.addEdge(a, b);
    const QmdItemId second = f.addEdge(b, a);
    const QString path = QStringLiteral("Path");
    f.setElement(first, path, int(QmdVelka::CityBlock));
    f.setElement(second, path, int(QmdVelka::Direct));
    auto *chooser = f.widget<Chooser>("InspectEdgeForm", "pathChooser");

    f.select({second});
    QCOMPARE(chooser->choice(), int(QmdVelka::Direct));
    f.select({first});
    QCOMPARE(chooser->choice(), int(QmdVelka::CityBlock));
    const QImage chosen = chooser->grab().toImage();
    f.select({first, second});
    QCOMPARE(chooser->choice(), -1);
    const QImage mixed = chooser->grab().toImage();
    chosen.save(QStringLiteral("/tmp/chooser-chosen.png"));
    mixed.save(QStringLiteral("/tmp/chooser-mixed.png"));
    // The first tab no longer looks chosen.
    const QRect tab = chooser->tabRect(0);
    QVERIFY(chosen.copy(tab) != mixed.copy(tab));

    f.markHistory();
    QTest::mouseClick(chooser, Qt::LeftButton, {}, chooser->tabRect(int(QmdVelka::CityBlock)).center());
    InspectorFixture::settle();
    QCOMPARE(chooser->choice(), int(QmdVelka::CityBlock));
    QCOMPARE(f.element(first, path).toInt(), int(QmdVelka::CityBlock));
    QCOMPARE(f.element(second, path).toInt(), int(QmdVelka::CityBlock));
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), path);
}

void TestInspectorBindings::tempoTypedIsOneStep()
{
    InspectorFixture f;
    f.controller()->requestSetData(QStringLiteral("Tempo"), 90);
    InspectorFixture::settle();
    QList<int> written;
    QObject::connect(f.controller(), qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged),
                     f.controller(), [&](const QmdIndex &parent, const QStringList &keys) {
                         if (parent.key().isEmpty() && keys.contains(QStringLiteral("Tempo")))
                             written.append(f.controller()->data(QStringLiteral("Tempo")).toInt());
                     });
    auto *tempo = f.widget<QSpinBox>("InspectDocForm", "tempoSpinBox");
    QCOMPARE(tempo->minimum(), 1);
    QCOMPARE(tempo->maximum(), 999);

    f.markHistory();
    typeInto(tempo, QStringLiteral("120"));
    QCOMPARE(f.controller()->data(QStringLiteral("Tempo")).toInt(), 120);
    QCOMPARE(written, QList<int>{120});
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Tempo"));

    typeInto(tempo, QStringLiteral("999"));
    QCOMPARE(f.controller()->data(QStringLiteral("Tempo")).toInt(), 999);
    typeInto(tempo, QStringLiteral("1000"));
    QCOMPARE(f.controller()->data(QStringLiteral("Tempo")).toInt(), 100);
    QCOMPARE(tempo->value(), 100);
}

void TestInspectorBindings::outOfRangeValueIsShownClampedAndKept()
{
    InspectorFixture f;
    f.controller()->requestSetData(QStringLiteral("DivsPerPrincipal"), 96);
    InspectorFixture::settle();
    auto *divs = f.widget<QSpinBox>("InspectDocForm", "divsSpinBox");
    QCOMPARE(divs->value(), 64);
    f.markHistory();
    divs->setFocus();
    f.widget<QLineEdit>("InspectDocForm", "authorEdit")->setFocus();
    InspectorFixture::settle();
    QCOMPARE(f.controller()->data(QStringLiteral("DivsPerPrincipal")).toInt(), 96);
    QCOMPARE(f.stepsSinceMark(), 0);

    // Edited by the user, it is written.
    typeInto(divs, QStringLiteral("32"));
    QCOMPARE(f.controller()->data(QStringLiteral("DivsPerPrincipal")).toInt(), 32);
}

void TestInspectorBindings::presetIsOneStepAndOnlyOnChange()
{
    InspectorFixture f;
    auto *presets = f.widget<QComboBox>("InspectDocForm", "presetsComboBox");
    QCOMPARE(presets->currentText(), QStringLiteral("Dark"));
    auto *background = f.widget<ColorChooserButton>("InspectDocForm", "backgroundColorButton");
    const QColor dark = background->color();

    f.markHistory();
    presets->setFocus();
    QTest::keyClicks(presets, QStringLiteral("L"));
    InspectorFixture::settle();
    QCOMPARE(presets->currentText(), QStringLiteral("Light"));
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Color Preset: Light"));
    QCOMPARE(background->color(), f.controller()->data(QStringLiteral("StyleBackgroundColor")).value<QColor>());
    QVERIFY(background->color() != dark);

    QTest::keyClicks(presets, QStringLiteral("L"));
    InspectorFixture::settle();
    QCOMPARE(f.stepsSinceMark(), 1);
}

void TestInspectorBindings::labelEditIsOneStepPerFinishedEdit()
{
    InspectorFixture f;
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"));
    f.selectInstruments({piano});
    auto *label = f.widget<QLineEdit>("InspectInstrumentForm", "labelEdit");
    QCOMPARE(label->text(), QStringLiteral("Piano"));

    f.markHistory();
    label->setFocus();
    QTest::keyClick(label, Qt::Key_End);
    QTest::keyClicks(label, QStringLiteral("ab"));
    QTest::keyClick(label, Qt::Key_Return);
    InspectorFixture::settle();
    QCOMPARE(f.instrument(piano, QStringLiteral("Label")), QVariant(QStringLiteral("Pianoab")));
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Label"));
}

void TestInspectorBindings::colorDialogSessionIsOneStep()
{
    InspectorFixture f;
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"), Qt::red);
    const QmdItemId bass = f.addInstrument(QStringLiteral("Bass"), Qt::blue);
    f.selectInstruments({piano, bass});
    auto *button = f.widget<ColorChooserButton>("InspectInstrumentForm", "colorButton");
    QVERIFY(!button->color().isValid());

    f.markHistory();
    QTest::mouseClick(button, Qt::LeftButton);
    QColorDialog *dialog = SharedDialogs::instance()->colorDialog();
    for (const QColor &color : {QColor(10, 20, 30), QColor(40, 50, 60), QColor(70, 80, 90)}) {
        dialog->setCurrentColor(color);
        InspectorFixture::settle();
    }
    QCOMPARE(f.instrument(piano, QStringLiteral("Color")).value<QColor>(), QColor(70, 80, 90));
    QCOMPARE(f.instrument(bass, QStringLiteral("Color")).value<QColor>(), QColor(70, 80, 90));
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Color"));

    // A second session is a second step.
    QTest::mouseClick(button, Qt::LeftButton);
    dialog->setCurrentColor(QColor(1, 2, 3));
    dialog->setCurrentColor(QColor(4, 5, 6));
    InspectorFixture::settle();
    QCOMPARE(f.stepsSinceMark(), 2);
    f.controller()->requestUndo();
    InspectorFixture::settle();
    QCOMPARE(f.instrument(bass, QStringLiteral("Color")).value<QColor>(), QColor(70, 80, 90));
    dialog->hide();
}

void TestInspectorBindings::programChangeEnablesItsFields()
{
    InspectorFixture f;
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"));
    f.setInstrument(piano, QStringLiteral("MidiDoProgramChange"), true);
    f.setInstrument(piano, QStringLiteral("MidiProgram"), 5);
    f.selectInstruments({piano});
    auto *group = f.widget<QGroupBox>("InspectInstrumentForm", "midiProgramChangeGroupBox");
    auto *checkBox = f.widget<QCheckBox>("InspectInstrumentForm", "midiProgramChangeCheckBox");
    QVERIFY(group->isEnabled());
    QCOMPARE(f.widget<QSpinBox>("InspectInstrumentForm", "midiProgramSpinBox")->value(), 5);

    QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(5, checkBox->height() / 2));
    InspectorFixture::settle();
    QCOMPARE(f.instrument(piano, QStringLiteral("MidiDoProgramChange")), QVariant(false));
    QVERIFY(!group->isEnabled());
    QCOMPARE(f.controller()->undoText(), QStringLiteral("MIDI Program Change"));

    // Nothing selected: the edit frame is off.
    f.inspector()->findChild<QWidget *>(QStringLiteral("listView"))->setFocus();
    f.selectInstruments({});
    QVERIFY(!f.widget<QWidget>("InspectInstrumentForm", "editFrame")->isEnabled());
}

void TestInspectorBindings::vanishedPortShowsNothingAndKeepsTheKey()
{
    InspectorFixture f;
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"));
    f.setInstrument(piano, QStringLiteral("MidiPort"), QStringLiteral("Synth 2"));
    f.inspector()->setMidiOutputPortNames({QStringLiteral("Synth 10"), QStringLiteral("Synth 2"),
                                           QStringLiteral("Synth 2")});
    f.selectInstruments({piano});
    auto *ports = f.widget<QwpComboBox>("InspectInstrumentForm", "midiPortsComboBox");
    QCOMPARE(ports->count(), 2);
    QCOMPARE(ports->itemText(0), QStringLiteral("Synth 2"));
    QCOMPARE(ports->currentText(), QStringLiteral("Synth 2"));

    f.inspector()->setMidiOutputPortNames({QStringLiteral("Synth 10")});
    InspectorFixture::settle();
    QCOMPARE(ports->currentIndex(), -1);
    QCOMPARE(f.instrument(piano, QStringLiteral("MidiPort")), QVariant(QStringLiteral("Synth 2")));

    f.inspector()->setMidiOutputPortNames({QStringLiteral("Synth 10"), QStringLiteral("Synth 2")});
    QCOMPARE(ports->currentText(), QStringLiteral("Synth 2"));

    // Choosing another port writes it.
    ports->setFocus();
    QTest::keyClick(ports, Qt::Key_Down);
    InspectorFixture::settle();
    QCOMPARE(f.instrument(piano, QStringLiteral("MidiPort")), QVariant(QStringLiteral("Synth 10")));
    QCOMPARE(f.controller()->undoText(), QStringLiteral("MIDI Port"));
}

void TestInspectorBindings::channelsOverTwoInstruments()
{
    InspectorFixture f;
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"));
    const QmdItemId bass = f.addInstrument(QStringLiteral("Bass"));
    f.setInstrument(piano, QStringLiteral("MidiProgram"), 7);
    f.setInstrument(bass, QStringLiteral("MidiProgram"), 9);
    f.selectInstruments({piano, bass});
    // Mixed program: the spin box shows its minimum and writes nothing.
    auto *program = f.widget<QSpinBox>("InspectInstrumentForm", "midiProgramSpinBox");
    QCOMPARE(program->value(), program->minimum());

    f.markHistory();
    QPushButton *none = nullptr;
    for (QPushButton *button : f.widget<ChannelsBox>("InspectInstrumentForm", "midiChannelsBox")
                                   ->findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String("None"))
            none = button;
    }
    QVERIFY(none);
    QTest::mouseClick(none, Qt::LeftButton);
    InspectorFixture::settle();
    QCOMPARE(f.instrument(piano, QStringLiteral("MidiChannels")).toBitArray().count(true), 0);
    QCOMPARE(f.instrument(bass, QStringLiteral("MidiChannels")).toBitArray().count(true), 0);
    QCOMPARE(f.stepsSinceMark(), 1);
    QCOMPARE(f.instrument(piano, QStringLiteral("MidiProgram")).toInt(), 7);
}

namespace {

// The field's flash: the time line of its validator.
QTimeLine *flashOf(QLineEdit *field)
{
    return field->validator() ? field->validator()->findChild<QTimeLine *>() : nullptr;
}

} // namespace

// Deleting in the middle of a list leaves text that typing can still complete:
// every keystroke takes effect, nothing flashes, and the finished list reaches
// the node.
void TestInspectorBindings::listFieldsEditInTheMiddle_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("deletes");
    QTest::addColumn<int>("backspaces");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");

    QTest::newRow("pitch: Delete after a comma")
        << "pitchListEdit" << "PitchList" << "C3,E3,G3" << 3 << 2 << 0 << "F#3" << "C3,F#3,G3";
    QTest::newRow("pitch: Backspace joins two entries")
        << "pitchListEdit" << "PitchList" << "C3,E3,G3" << 3 << 0 << 1 << ",D3," << "C3,D3,E3,G3";
    QTest::newRow("pitch: Backspace over a whole entry")
        << "pitchListEdit" << "PitchList" << "C3,E3,G3" << 6 << 0 << 3 << "+7," << "C3,+7,G3";
    QTest::newRow("velocity: Delete after a comma")
        << "velocityListEdit" << "VelocityList" << "10,20,30" << 3 << 2 << 0 << "25" << "10,25,30";
    QTest::newRow("duration: Delete inside a number")
        << "durationListEdit" << "DurationList" << "1,2.5,3" << 2 << 3 << 0 << "*2" << "1,*2,3";
    QTest::newRow("messages: replace the second")
        << "userMidiMessageListEdit" << "UserMidiMessageList" << "0x90 0x3c 0x64,0xc0 0x5" << 15 << 8 << 0
        << "0xb0 0x7 0x64" << "0x90 0x3c 0x64,0xb0 0x7 0x64";
}

void TestInspectorBindings::listFieldsEditInTheMiddle()
{
    QFETCH(QString, field);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(int, cursor);
    QFETCH(int, deletes);
    QFETCH(int, backspaces);
    QFETCH(QString, typed);
    QFETCH(QString, result);

    InspectorFixture f;
    const QmdItemId node = f.addNode(0);
    f.setElement(node, key, stored);
    f.select({node});
    auto *edit = f.widget<QLineEdit>("InspectNodeForm", field.toLatin1().constData());
    QVERIFY(edit);
    QCOMPARE(edit->text(), stored);

    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_Home);
    for (int i = 0; i < cursor; ++i)
        QTest::keyClick(edit, Qt::Key_Right);
    QString expected = stored;
    for (int i = 0; i < deletes; ++i) {
        QTest::keyClick(edit, Qt::Key_Delete);
        expected.remove(cursor, 1);
        QCOMPARE(edit->text(), expected);
    }
    for (int i = 0; i < backspaces; ++i) {
        QTest::keyClick(edit, Qt::Key_Backspace);
        expected.remove(--cursor, 1);
        QCOMPARE(edit->text(), expected);
    }
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), result);
    QCOMPARE(flashOf(edit)->state(), QTimeLine::NotRunning);

    QTest::keyClick(edit, Qt::Key_Return);
    InspectorFixture::settle();
    QCOMPARE(f.element(node, key).toString(), result);
}

// An edit that ends on unfinished text does not leave it on screen: the field
// flashes and shows what the document holds; Escape turns it back as well.
void TestInspectorBindings::unfinishedTextIsTurnedBack_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("end"); // a key, or 0 for a click on another field

    const QString node = QStringLiteral("InspectNodeForm");
    QTest::newRow("pitch list, Tab") << node << "pitchListEdit" << "PitchList" << "C4,E4" << "C" << int(Qt::Key_Tab);
    QTest::newRow("pitch list, Return") << node << "pitchListEdit" << "PitchList" << "C4,E4" << "C"
                                        << int(Qt::Key_Return);
    QTest::newRow("pitch list, Enter") << node << "pitchListEdit" << "PitchList" << "C4,E4" << "C9"
                                       << int(Qt::Key_Enter);
    QTest::newRow("pitch list, click elsewhere") << node << "pitchListEdit" << "PitchList" << "C4,E4" << "C3,E"
                                                 << 0;
    QTest::newRow("pitch list, Escape") << node << "pitchListEdit" << "PitchList" << "C4,E4" << "C3,E5"
                                        << int(Qt::Key_Escape);
    QTest::newRow("velocity list, Tab") << node << "velocityListEdit" << "VelocityList" << "64" << "128"
                                        << int(Qt::Key_Tab);
    QTest::newRow("duration list, Return") << node << "durationListEdit" << "DurationList" << "1,2" << "12."
                                           << int(Qt::Key_Return);
    QTest::newRow("messages, Return") << node << "userMidiMessageListEdit" << "UserMidiMessageList"
                                      << "0xb0 0x7b 0x0" << "0xb00x7b 0x0" << int(Qt::Key_Return);
    QTest::newRow("initial pitch, Tab") << "InspectVoiceGroupForm" << "pitchEdit" << "InitialPitch" << "C3" << "F#"
                                        << int(Qt::Key_Tab);
}

void TestInspectorBindings::unfinishedTextIsTurnedBack()
{
    QFETCH(QString, form);
    QFETCH(QString, field);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(int, end);

    InspectorFixture f;
    const QmdItemId node = f.addNode(0);
    QmdItemId element = node;
    if (form == QLatin1String("InspectVoiceGroupForm"))
        element = f.addVoiceGroup(node);
    f.setElement(element, key, stored);
    f.select({element});
    auto *edit = f.widget<QLineEdit>(form.toLatin1().constData(), field.toLatin1().constData());
    QVERIFY(edit);
    QCOMPARE(edit->text(), stored);
    f.markHistory();

    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);
    QCOMPARE(flashOf(edit)->state(), QTimeLine::NotRunning);

    if (end) {
        QTest::keyClick(edit, Qt::Key(end));
    } else {
        // Another field of the same page takes the focus.
        QLineEdit *other = nullptr;
        for (QLineEdit *candidate : edit->parentWidget()->findChildren<QLineEdit *>()) {
            if (candidate != edit && candidate->isVisible() && !other)
                other = candidate;
        }
        QVERIFY(other);
        QTest::mouseClick(other, Qt::LeftButton);
        QTRY_VERIFY(other->hasFocus());
    }
    InspectorFixture::settle();
    QCOMPARE(edit->text(), stored);
    QCOMPARE(f.element(element, key).toString(), stored);
    QCOMPARE(f.stepsSinceMark(), 0);
    if (end == Qt::Key_Escape) {
        QVERIFY(edit->hasFocus());
    } else {
        QCOMPARE(flashOf(edit)->state(), QTimeLine::Running);
    }

    // What the field shows is what the next edit starts from.
    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Return);
    InspectorFixture::settle();
    QCOMPARE(f.stepsSinceMark(), 0);
}

QTEST_MAIN(TestInspectorBindings)
#include "tst_inspectorbindings.moc"
