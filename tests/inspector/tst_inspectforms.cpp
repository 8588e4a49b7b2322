#include "ui_InspectDocForm.h"
#include "ui_InspectEdgeForm.h"
#include "ui_InspectInstrumentForm.h"
#include "ui_InspectNodeForm.h"
#include "ui_InspectVoiceGroupForm.h"

#include <QtTest>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QStyleOptionButton>

// The inspector's pages as their forms build them: texts, ranges, initial
// states, keyboard order and the sizes a user sees, before any binding.
class TestInspectForms : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void documentForm();
    void nodeForm();
    void edgeForm();
    void voiceGroupForm();
    void instrumentForm();
    void formPictures_data();
    void formPictures();
};

namespace {

// Generous enough that no field is squeezed below its size hint.
const QSize pageSize(400, 900);

struct SpinBoxRange
{
    QSpinBox *spinBox;
    int minimum;
    int maximum;
    int value;
};

// The label, check-box and tool-tip texts of the form's own widgets (not the
// inner widgets of a composite such as the channels box), sorted.
QStringList visibleTexts(const QWidget &page)
{
    QStringList texts;
    for (const QWidget *widget : page.findChildren<QWidget *>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (const auto *label = qobject_cast<const QLabel *>(widget); label && !label->text().isEmpty())
            texts << label->text();
        if (const auto *checkBox = qobject_cast<const QCheckBox *>(widget))
            texts << checkBox->text();
        if (!widget->toolTip().isEmpty())
            texts << widget->toolTip();
    }
    texts.sort();
    return texts;
}

QStringList sorted(QStringList texts)
{
    texts.sort();
    return texts;
}

// The widgets named in `order`, in the order the Tab key visits them, going
// once round the page's focus chain from the first of them.
QStringList tabSequence(QWidget &page, const QStringList &order)
{
    QWidget *first = page.findChild<QWidget *>(order.value(0));
    if (!first)
        return {};
    QStringList sequence{first->objectName()};
    for (QWidget *widget = first->nextInFocusChain(); widget && widget != first;
         widget = widget->nextInFocusChain()) {
        if (order.contains(widget->objectName()) && !sequence.contains(widget->objectName()))
            sequence << widget->objectName();
    }
    return sequence;
}

// A click where the style places the check box's indicator and text.
void clickCheckBox(QCheckBox *checkBox)
{
    QStyleOptionButton option;
    option.initFrom(checkBox);
    option.text = checkBox->text();
    const QRect area = checkBox->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, checkBox);
    QTest::mouseClick(checkBox, Qt::LeftButton, Qt::NoModifier, area.center());
}

void checkRanges(const QList<SpinBoxRange> &ranges)
{
    for (const SpinBoxRange &range : ranges) {
        const QByteArray name = range.spinBox->objectName().toUtf8();
        QVERIFY2(range.spinBox->minimum() == range.minimum, name);
        QVERIFY2(range.spinBox->maximum() == range.maximum, name);
        QVERIFY2(range.spinBox->value() == range.value, name);
        // Bound spin boxes commit a value once, not once per typed digit.
        QVERIFY2(!range.spinBox->keyboardTracking(), name);
        // Values from the document beyond a bound clamp to it.
        range.spinBox->setValue(range.maximum + 1000);
        QVERIFY2(range.spinBox->value() == range.maximum, name);
        range.spinBox->setValue(range.minimum - 1000);
        QVERIFY2(range.spinBox->value() == range.minimum, name);
        range.spinBox->setValue(range.value);
    }
}

void showAt(QWidget &page, const QSize &size = pageSize)
{
    page.setStyleSheet(QStringLiteral("SectionLabel { font-weight: bold; }"));
    page.resize(size);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
}

// A look at the page, as wide as the inspector and as high as it asks to be,
// for whoever runs the tests with VELKA_TEST_PICTURES set.
void savePicture(QWidget &page, const QString &name)
{
    if (!qEnvironmentVariableIsSet("VELKA_TEST_PICTURES"))
        return;
    const QSize size = page.size();
    page.resize(285, page.sizeHint().height());
    page.grab().save(QDir(qEnvironmentVariable("VELKA_TEST_PICTURES")).filePath(name + QStringLiteral(".png")));
    page.resize(size);
}

} // namespace

void TestInspectForms::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestInspectForms::documentForm()
{
    QWidget page;
    Ui::InspectDocForm form;
    form.setupUi(&page);

    QCOMPARE(page.objectName(), QStringLiteral("InspectDocForm"));
    QCOMPARE(page.windowTitle(), QStringLiteral("Document"));
    QCOMPARE(form.tabWidget->count(), 3);
    QCOMPARE(form.tabWidget->tabText(0), QStringLiteral("Network"));
    QCOMPARE(form.tabWidget->tabText(1), QStringLiteral("Style"));
    QCOMPARE(form.tabWidget->tabText(2), QStringLiteral("Info"));
    QCOMPARE(form.tabWidget->currentIndex(), 0);
    QCOMPARE(visibleTexts(page),
             sorted({"Grid", "Principals", "Beats", ":", "Divisions per principal:", "Timing", "Tempo:",
                     "MIDI Sync Inputs:", "MIDI Sync Outputs:", "Presets:", "Background:", "Principal Lines:",
                     "Principal Points:", "Division Lines:", "Division Points:", "Annotation:", "Nodes:",
                     "Edges:", "Author:", "Title:", "Comments:", "Instruments:", "Edges:", "Nodes:",
                     "Voice Groups:", "Text Boxes:", "0", "0", "0", "0", "0"}));
    QCOMPARE(form.tempoSpinBox->suffix(), QStringLiteral(" bpm"));
    for (const QLabel *total : {form.totalInstrumentsLabel, form.totalEdgesLabel, form.totalNodesLabel,
                                form.totalVoiceGroupsLabel, form.totalTextBoxesLabel})
        QVERIFY2(total->text() == QLatin1String("0"), qPrintable(total->objectName()));
    QCOMPARE(form.divsLabel->buddy(), form.divsSpinBox);
    QCOMPARE(form.tempoLabel->buddy(), form.tempoSpinBox);
    QCOMPARE(form.commentsLabel->buddy(), nullptr);

    checkRanges({{form.principalsSpinBox, 1, 128, 1},
                 {form.beatsSpinBox, 1, 128, 1},
                 {form.divsSpinBox, 1, 64, 1}});
    QVERIFY(!form.tempoSpinBox->keyboardTracking());
    QVERIFY(form.authorEdit->text().isEmpty());
    QVERIFY(form.titleEdit->text().isEmpty());
    QVERIFY(form.commentsEdit->toPlainText().isEmpty());
    QCOMPARE(form.presetsComboBox->count(), 0);

    const QStringList order{"principalsSpinBox", "beatsSpinBox", "divsSpinBox", "tempoSpinBox",
                            "midiInputsBox", "midiOutputsBox", "presetsComboBox", "backgroundColorButton",
                            "principalLinesColorButton", "principalPointsColorButton",
                            "divisionLinesColorButton", "divisionPointsColorButton", "annotationColorButton",
                            "nodesColorButton", "edgesColorButton", "authorEdit", "titleEdit", "commentsEdit",
                            "tabWidget"};
    // The tab bar closes the round. Qt keeps a container ahead of its own
    // children in the chain, so coming from outside the page Tab meets the
    // bar first and then the grid.
    QCOMPARE(tabSequence(page, order), order);

    showAt(page);
    savePicture(page, QStringLiteral("InspectDocForm-network"));
    QCOMPARE(form.tabWidget->y(), 20);
    QCOMPARE(form.tabWidget->width(), page.width());
    QCOMPARE(form.midiInputsBox->height(), 100);
    QCOMPARE(form.midiOutputsBox->height(), 100);

    // Typing past the range: the digit that would leave it is refused, and
    // the value is committed once, on Return.
    QSignalSpy committed(form.principalsSpinBox, &QSpinBox::valueChanged);
    form.principalsSpinBox->setFocus();
    form.principalsSpinBox->selectAll();
    QTest::keyClicks(form.principalsSpinBox, QStringLiteral("200"));
    QTest::keyClick(form.principalsSpinBox, Qt::Key_Return);
    QVERIFY(form.principalsSpinBox->value() <= 128);
    QCOMPARE(committed.count(), 1);

    form.tabWidget->setCurrentIndex(1);
    QTRY_VERIFY(form.edgesColorButton->isVisible());
    savePicture(page, QStringLiteral("InspectDocForm-style"));
    for (const QWidget *button : {static_cast<QWidget *>(form.backgroundColorButton),
                                  static_cast<QWidget *>(form.principalLinesColorButton),
                                  static_cast<QWidget *>(form.principalPointsColorButton),
                                  static_cast<QWidget *>(form.divisionLinesColorButton),
                                  static_cast<QWidget *>(form.divisionPointsColorButton),
                                  static_cast<QWidget *>(form.annotationColorButton),
                                  static_cast<QWidget *>(form.nodesColorButton),
                                  static_cast<QWidget *>(form.edgesColorButton)})
        QVERIFY2(button->size() == QSize(30, 22), qPrintable(button->objectName()));

    form.tabWidget->setCurrentIndex(2);
    QTRY_VERIFY(form.commentsEdit->isVisible());
    savePicture(page, QStringLiteral("InspectDocForm-info"));
    QCOMPARE(form.commentsEdit->height(), 100);
    // The totals keep their size hint, left beside their labels, 4 pixels apart.
    QCOMPARE(form.totalEdgesLabel->size(), form.totalEdgesLabel->sizeHint());
    QCOMPARE(form.totalNodesLabel->y() - form.totalEdgesLabel->geometry().bottom() - 1, 4);
}

void TestInspectForms::nodeForm()
{
    QWidget page;
    Ui::InspectNodeForm form;
    form.setupUi(&page);

    QCOMPARE(page.objectName(), QStringLiteral("InspectNodeForm"));
    QCOMPARE(page.windowTitle(), QStringLiteral("Node"));
    QCOMPARE(visibleTexts(page),
             sorted({"Signalling", "Signalling method", "Add Edge Tile", "Note", "Pitch List:", "Velocity List:",
                     "Duration List:", "Mute", "Instrument Change", "Advanced MIDI", "Message List:"}));
    // The index is the stored signalling method.
    const QStringList methods{"Sequential", "Parallel", "Random"};
    for (int pass = 0; pass < 2; ++pass) {
        QCOMPARE(form.sigMethodComboBox->count(), 3);
        for (int index = 0; index < methods.size(); ++index)
            QCOMPARE(form.sigMethodComboBox->itemText(index), methods.at(index));
        form.retranslateUi(&page);
    }
    QCOMPARE(form.instrumentChangeCheckBox->font().weight(), QFont::Bold);
    QCOMPARE(form.pitchListLabel->buddy(), form.pitchListEdit);
    QCOMPARE(form.velocityListLabel->buddy(), form.velocityListEdit);
    QCOMPARE(form.durationListLabel->buddy(), form.durationListEdit);
    QCOMPARE(form.userMidiMessageListLabel->buddy(), form.userMidiMessageListEdit);

    QVERIFY(form.instrumentChangeCheckBox->isChecked());
    QVERIFY(form.instrumentComboBox->isEnabled());
    QCOMPARE(form.instrumentComboBox->count(), 0);
    QVERIFY(!form.muteCheckBox->isChecked());
    for (const QLineEdit *edit : {static_cast<QLineEdit *>(form.pitchListEdit),
                                  static_cast<QLineEdit *>(form.velocityListEdit),
                                  static_cast<QLineEdit *>(form.durationListEdit),
                                  static_cast<QLineEdit *>(form.userMidiMessageListEdit)})
        QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName()));
    QVERIFY(!form.addEdgeUsageButton->icon().isNull());
    QCOMPARE(form.addEdgeUsageButton->iconSize(), QSize(17, 8));

    const QStringList order{"sigMethodComboBox", "edgeUsageList", "addEdgeUsageButton", "pitchListEdit",
                            "velocityListEdit", "durationListEdit", "muteCheckBox",
                            "instrumentChangeCheckBox", "instrumentComboBox", "userMidiMessageListEdit"};
    QCOMPARE(tabSequence(page, order), order);

    showAt(page);
    savePicture(page, QStringLiteral("InspectNodeForm"));
    QCOMPARE(form.edgeUsageList->height(), 36);
    QCOMPARE(form.edgeUsageList->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(form.edgeUsageList->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(form.edgeUsageList->horizontalScrollBar()->isVisible());
    QVERIFY(!form.edgeUsageList->verticalScrollBar()->isVisible());
    QCOMPARE(form.addEdgeUsageButton->size(), QSize(30, 22));
    for (const QLabel *label : {form.pitchListLabel, form.velocityListLabel, form.durationListLabel,
                                form.userMidiMessageListLabel})
        QVERIFY2(label->width() >= 75, qPrintable(label->objectName()));

    // The user's click and the binding's write both reach the combo box.
    clickCheckBox(form.instrumentChangeCheckBox);
    QVERIFY(!form.instrumentChangeCheckBox->isChecked());
    QVERIFY(!form.instrumentComboBox->isEnabled());
    clickCheckBox(form.instrumentChangeCheckBox);
    QVERIFY(form.instrumentComboBox->isEnabled());
    form.instrumentChangeCheckBox->setChecked(false);
    QVERIFY(!form.instrumentComboBox->isEnabled());
    form.instrumentChangeCheckBox->setChecked(true);
    QVERIFY(form.instrumentComboBox->isEnabled());

    // The signalling method is reached with Tab, never by a click.
    page.activateWindow();
    QTRY_VERIFY(page.isActiveWindow());
    form.muteCheckBox->setFocus();
    QTest::mouseClick(form.sigMethodComboBox, Qt::LeftButton);
    form.sigMethodComboBox->hidePopup();
    QVERIFY(!form.sigMethodComboBox->hasFocus());
    form.userMidiMessageListEdit->setFocus();
    for (int step = 0; step < 10 && !form.sigMethodComboBox->hasFocus(); ++step)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(form.sigMethodComboBox->hasFocus());
}

void TestInspectForms::edgeForm()
{
    QWidget page;
    Ui::InspectEdgeForm form;
    form.setupUi(&page);

    QCOMPARE(page.objectName(), QStringLiteral("InspectEdgeForm"));
    QCOMPARE(page.windowTitle(), QStringLiteral("Edge"));
    QCOMPARE(visibleTexts(page), sorted({"Path", "Wormhole", "Scaling", "Scale List:"}));
    QCOMPARE(form.scaleListLabel->buddy(), form.scaleListEdit);
    QCOMPARE(form.pathChooser->count(), 0);
    QVERIFY(!form.wormholeCheckBox->isChecked());
    QVERIFY(!form.scaleListEdit->isEnabled());
    QVERIFY(form.scaleListEdit->text().isEmpty());

    const QStringList order{"pathChooser", "wormholeCheckBox", "scaleListEdit"};
    QCOMPARE(tabSequence(page, order), order);

    showAt(page);
    savePicture(page, QStringLiteral("InspectEdgeForm"));
    // Until the inspector enables it, the scale list takes no input.
    QTest::mouseClick(form.scaleListEdit, Qt::LeftButton);
    QTest::keyClicks(form.scaleListEdit, QStringLiteral("1 2 3"));
    QVERIFY(form.scaleListEdit->text().isEmpty());
    // The two sections stand 12 pixels from the line between them.
    QCOMPARE(form.line->y() - form.vboxLayout1->geometry().bottom() - 1, 12);
    QCOMPARE(form.gridLayout->geometry().top() - form.line->geometry().bottom() - 1, 12);
    // The wormhole check box takes the width right of the chooser and its gap.
    QCOMPARE(form.wormholeCheckBox->geometry().right(), form.hboxLayout->geometry().right());
    QVERIFY(form.wormholeCheckBox->x() - form.pathChooser->geometry().right() - 1 >= 24);
}

void TestInspectForms::voiceGroupForm()
{
    QWidget page;
    Ui::InspectVoiceGroupForm form;
    form.setupUi(&page);

    QCOMPARE(page.objectName(), QStringLiteral("InspectVoiceGroupForm"));
    QCOMPARE(page.windowTitle(), QStringLiteral("Voice Group"));
    QCOMPARE(visibleTexts(page), sorted({"Initial Voice", "Pitch:", "Velocity:", "Duration:", "Instrument:"}));
    QCOMPARE(form.label_7->buddy(), form.pitchEdit);
    QCOMPARE(form.label_8->buddy(), form.velocityEdit);
    QCOMPARE(form.label_9->buddy(), form.durationEdit);
    QCOMPARE(form.label_10->buddy(), form.instrumentComboBox);
    const QList<QLineEdit *> fields{form.pitchEdit, form.velocityEdit, form.durationEdit};
    for (const QLineEdit *field : fields)
        QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
    QCOMPARE(form.instrumentComboBox->count(), 0);

    const QStringList order{"pitchEdit", "velocityEdit", "durationEdit", "instrumentComboBox"};
    QCOMPARE(tabSequence(page, order), order);

    showAt(page);
    savePicture(page, QStringLiteral("InspectVoiceGroupForm"));
    for (const QLineEdit *field : fields)
        QVERIFY2(field->width() <= 40, qPrintable(field->objectName()));
    // The combo box takes its width once the layout request posted by the style sheet is handled.
    QTRY_COMPARE(form.instrumentComboBox->geometry().right(), form.formLayout->geometry().right());
}

void TestInspectForms::instrumentForm()
{
    QWidget page;
    Ui::InspectInstrumentForm form;
    form.setupUi(&page);

    QCOMPARE(page.objectName(), QStringLiteral("InspectInstrumentForm"));
    QCOMPARE(page.windowTitle(), QStringLiteral("Instrument"));
    QCOMPARE(visibleTexts(page),
             sorted({"Add Instrument", "Instrument List Actions", "Label:", "Port:", "Channels:",
                     "Program Change:", "Program", "Bank MSB", "Bank LSB"}));
    QCOMPARE(form.label_5->buddy(), form.labelEdit);
    QCOMPARE(form.label_3->buddy(), form.midiPortsComboBox);
    QCOMPARE(form.label_4->buddy(), form.midiChannelsBox);
    QCOMPARE(form.label_13->buddy(), form.midiProgramSpinBox);
    QCOMPARE(form.label_14->buddy(), form.midiBankMSBSpinBox);
    QCOMPARE(form.label_15->buddy(), form.midiBankLSBSpinBox);

    checkRanges({{form.midiProgramSpinBox, 1, 128, 1},
                 {form.midiBankMSBSpinBox, 0, 127, 0},
                 {form.midiBankLSBSpinBox, 0, 127, 0}});
    QVERIFY(form.midiProgramChangeCheckBox->isChecked());
    QVERIFY(form.midiProgramChangeGroupBox->title().isEmpty());
    QVERIFY(!form.midiProgramChangeGroupBox->isCheckable());
    QVERIFY(form.labelEdit->text().isEmpty());
    QCOMPARE(form.midiPortsComboBox->count(), 0);
    QCOMPARE(form.listView->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!form.listButtonsSpacerLabel->pixmap().isNull());

    const QStringList order{"listAddButton", "listActionButton", "labelEdit", "colorButton",
                            "midiPortsComboBox", "midiProgramSpinBox", "midiBankMSBSpinBox",
                            "midiBankLSBSpinBox"};
    QCOMPARE(tabSequence(page, order), order);

    showAt(page);
    savePicture(page, QStringLiteral("InspectInstrumentForm"));
    QCOMPARE(form.listView->height(), 160);
    QCOMPARE(form.listView->y(), 0);
    QCOMPARE(form.listView->width(), page.width());
    // The button strip: the picture runs from the left edge to the two
    // buttons, without gaps or margins.
    QCOMPARE(form.listButtonsFrame->height(), 24);
    QCOMPARE(form.listButtonsFrame->y(), 160);
    QCOMPARE(form.listAddButton->size(), QSize(32, 24));
    QCOMPARE(form.listActionButton->size(), QSize(30, 24));
    QCOMPARE(form.listButtonsSpacerLabel->geometry(), QRect(0, 0, form.listButtonsFrame->width() - 62, 24));
    QCOMPARE(form.listAddButton->x(), form.listButtonsFrame->width() - 62);
    QCOMPARE(form.listActionButton->geometry().right(), form.listButtonsFrame->width() - 1);
    QCOMPARE(form.colorButton->size(), QSize(30, 22));
}

void TestInspectForms::formPictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("add drop-down symbol") << QStringLiteral(":/images/AddDropDownSymbol.png") << QSize(17, 8);
    QTest::newRow("list buttons spacer") << QStringLiteral(":/images/Inspector/ListButtonsSpacer.png") << QSize(1, 24);
}

void TestInspectForms::formPictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), size);
}

QTEST_MAIN(TestInspectForms)
#include "tst_inspectforms.moc"
