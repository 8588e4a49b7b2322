#include "colorchooserbutton.h"
#include "connectwarnings.h"
#include "inspectorfixture.h"
#include "midiportsboxgraphicsview.h"
#include "qwpcombobox.h"
#include "squeezedtextcheckbox.h"

#include <QBitArray>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGraphicsLinearLayout>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QImage>
#include <QTemporaryDir>
#include <QTimeLine>
#include <QtTest>

// The panel: totals, which page the selection shows, transitions, blanking,
// the binding table as a whole, and what must not crash or leak.
class TestInspectorPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void totalsFollowTheDocument();
    void pageFollowsTheSelection_data();
    void pageFollowsTheSelection();
    void newestElementChoosesThePage();
    void deselectingEverythingKeepsThePageDisabled();
    void transitionIsImmediateWhenDocked();
    void transitionAnimatesWhenFloating();
    void withoutControllerEveryFieldIsBlank();
    void shownPagesButtonIsChecked();
    void staleIdsNeverBindTheRoot();
    void bindingTableIsComplete();
    void instrumentComboBoxesFollowALoad();
    void rescansLeaveNothingBehind();
    void controllerDestroyedBeforeThePanel();
    void pagePictures();
};

namespace {

// The elements each page-choice case starts from, in the order they are made.
struct Elements
{
    explicit Elements(InspectorFixture &f)
    {
        ids.insert(QStringLiteral("n1"), f.addNode(0));
        ids.insert(QStringLiteral("n2"), f.addNode(3));
        ids.insert(QStringLiteral("e"), f.addEdge(ids.value(QStringLiteral("n1")), ids.value(QStringLiteral("n2"))));
        ids.insert(QStringLiteral("v"), f.addVoiceGroup(ids.value(QStringLiteral("n1"))));
        ids.insert(QStringLiteral("t"), f.addTextBox(0, 3));
        ids.insert(QStringLiteral("n3"), f.addNode(6));
        // New elements come selected: start from no selection on the
        // Document page.
        f.select(QmdItemIdList());
        QTest::mouseClick(f.inspector()->findChild<QPushButton *>(QStringLiteral("documentButton")), Qt::LeftButton);
    }

    QmdItemIdList of(const QStringList &names) const
    {
        QmdItemIdList list;
        for (const QString &name : names)
            list.append(ids.value(name));
        return list;
    }

    QHash<QString, QmdItemId> ids;
};

QList<int> enabledElementPages(const Inspector &inspector)
{
    QList<int> pages;
    for (int index : {Inspector::EdgePage, Inspector::NodePage, Inspector::VoiceGroupPage}) {
        if (inspector.stack()->widget(index)->isEnabled())
            pages.append(index);
    }
    return pages;
}

} // namespace

void TestInspectorPanel::initTestCase()
{
    ConnectWarnings::install();
}

void TestInspectorPanel::cleanup()
{
    const QStringList warnings = ConnectWarnings::take();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestInspectorPanel::totalsFollowTheDocument()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    for (int i = 0; i < 3; ++i)
        f.addEdge(a, b);
    f.addTextBox(0, 4);
    f.addInstrument(QStringLiteral("Piano"));

    const auto total = [&f](const char *name) {
        return f.widget<QLabel>("InspectDocForm", name)->text();
    };
    QCOMPARE(total("totalEdgesLabel"), QStringLiteral("3"));
    QCOMPARE(total("totalNodesLabel"), QStringLiteral("2"));
    QCOMPARE(total("totalTextBoxesLabel"), QStringLiteral("1"));
    QCOMPARE(total("totalVoiceGroupsLabel"), QStringLiteral("0"));
    QCOMPARE(total("totalInstrumentsLabel"), QStringLiteral("1"));

    // Removing a node takes its edges with it.
    f.controller()->requestRemove(QmdItemIdList{a}, f.controller()->findElementsIndex());
    InspectorFixture::settle();
    QCOMPARE(total("totalNodesLabel"), QStringLiteral("1"));
    QCOMPARE(total("totalEdgesLabel"), QStringLiteral("0"));

    // The add button under the instrument list adds one.
    f.inspector()->findChild<QPushButton *>(QStringLiteral("instrumentButton"))->click();
    QTest::mouseClick(f.widget<QPushButton>("InspectInstrumentForm", "listAddButton"), Qt::LeftButton);
    InspectorFixture::settle();
    QCOMPARE(total("totalInstrumentsLabel"), QStringLiteral("2"));
    QVERIFY(f.widget<QPushButton>("InspectInstrumentForm", "listActionButton")->isHidden());
}

void TestInspectorPanel::pageFollowsTheSelection_data()
{
    QTest::addColumn<QList<QStringList>>("selections");
    QTest::addColumn<bool>("documentPageBetween"); // the user shows the Document page before the last one
    QTest::addColumn<int>("page");
    QTest::addColumn<QList<int>>("enabled");

    using S = QStringList;
    const int doc = Inspector::DocumentPage;
    const int edge = Inspector::EdgePage;
    const int node = Inspector::NodePage;
    const int group = Inspector::VoiceGroupPage;
    QTest::newRow("one node") << QList<S>{{"n1"}} << false << node << QList<int>{node};
    QTest::newRow("edge newer than node") << QList<S>{{"n1", "e"}} << false << edge << QList<int>{edge, node};
    QTest::newRow("node newer than edge") << QList<S>{{"e", "n3"}} << false << node << QList<int>{edge, node};
    QTest::newRow("voice group joins nodes")
        << QList<S>{{"n1", "n2"}, {"n1", "n2", "v"}} << false << group << QList<int>{node, group};
    QTest::newRow("edges leave a mix") << QList<S>{{"n1", "e"}, {"n1"}} << false << node << QList<int>{node};
    QTest::newRow("losing an element shows the first page with a selection")
        << QList<S>{{"n1", "v"}, {"n1"}} << true << node << QList<int>{node};
    QTest::newRow("text boxes only") << QList<S>{{"t"}} << false << doc << QList<int>{};
    QTest::newRow("losing the last element keeps the page") << QList<S>{{"t", "n1"}, {"t"}} << false << node << QList<int>{};
}

void TestInspectorPanel::pageFollowsTheSelection()
{
    QFETCH(QList<QStringList>, selections);
    QFETCH(bool, documentPageBetween);
    QFETCH(int, page);
    QFETCH(QList<int>, enabled);

    InspectorFixture f;
    const Elements elements(f);
    for (int i = 0; i < selections.size(); ++i) {
        if (documentPageBetween && i == selections.size() - 1)
            QTest::mouseClick(f.inspector()->findChild<QPushButton *>(QStringLiteral("documentButton")),
                              Qt::LeftButton);
        f.select(elements.of(selections.at(i)));
    }
    QCOMPARE(f.currentPage(), page);
    QVERIFY(f.inspector()->findChild<QButtonGroup *>()->button(page)->isChecked());
    QCOMPARE(enabledElementPages(*f.inspector()), enabled);
}

void TestInspectorPanel::newestElementChoosesThePage()
{
    // Both new in one change: the higher id wins, whatever order a hash
    // would visit them in.
    for (int run = 0; run < 5; ++run) {
        InspectorFixture f;
        const QmdItemId a = f.addNode(0);
        const QmdItemId b = f.addNode(3);
        const QmdItemId edge = f.addEdge(a, b);
        const QmdItemId newest = f.addNode(6);
        QVERIFY(edge > b && newest > edge);
        f.select({edge, a});
        QCOMPARE(f.currentPage(), int(Inspector::EdgePage));
        f.select({newest, edge});
        QCOMPARE(f.currentPage(), int(Inspector::NodePage));
    }
}

void TestInspectorPanel::deselectingEverythingKeepsThePageDisabled()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    const QmdItemId edge = f.addEdge(a, b);
    f.setElement(edge, QStringLiteral("IsWormhole"), true);
    f.select({edge});
    auto *wormhole = f.widget<QCheckBox>("InspectEdgeForm", "wormholeCheckBox");
    QVERIFY(wormhole->isChecked());

    f.select(QmdItemIdList());
    QCOMPARE(f.currentPage(), int(Inspector::EdgePage));
    QVERIFY(!f.inspector()->stack()->widget(Inspector::EdgePage)->isEnabled());
    QVERIFY(!wormhole->isChecked());
    // Unbound: a click writes nothing.
    f.markHistory();
    wormhole->setEnabled(true);
    wormhole->click();
    InspectorFixture::settle();
    QCOMPARE(f.element(edge, QStringLiteral("IsWormhole")), QVariant(true));
    QCOMPARE(f.stepsSinceMark(), 0);
}

void TestInspectorPanel::transitionIsImmediateWhenDocked()
{
    InspectorFixture f;
    const QmdItemId node = f.addNode(0);
    f.select(QmdItemIdList());
    QTest::mouseClick(f.inspector()->findChild<QPushButton *>(QStringLiteral("documentButton")), Qt::LeftButton);
    f.select({node});
    QVERIFY(f.inspector()->timeLine()->state() != QTimeLine::Running);
    QCOMPARE(f.currentPage(), int(Inspector::NodePage));
    QWidget *page = f.inspector()->stack()->widget(Inspector::NodePage);
    const int buttons = f.inspector()->findChild<QPushButton *>(QStringLiteral("nodeButton"))->height();
    QCOMPARE(f.inspector()->height(), page->sizeHint().height() + buttons);
    QCOMPARE(f.dock()->windowTitle(), QStringLiteral("Node"));
    QCOMPARE(f.inspector()->width(), 285);
}

void TestInspectorPanel::transitionAnimatesWhenFloating()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    f.select(QmdItemIdList());
    QTest::mouseClick(f.inspector()->findChild<QPushButton *>(QStringLiteral("documentButton")), Qt::LeftButton);
    f.dock()->setFloating(true);
    InspectorFixture::settle();
    QTimeLine *timeLine = f.inspector()->timeLine();
    QCOMPARE(timeLine->duration(), 250);
    QCOMPARE(timeLine->updateInterval(), 10);

    f.select({a});
    QCOMPARE(timeLine->state(), QTimeLine::Running);
    QVERIFY(f.inspector()->stack()->isHidden());
    QTRY_COMPARE(timeLine->state(), QTimeLine::NotRunning);
    QCOMPARE(f.currentPage(), int(Inspector::NodePage));
    QVERIFY(!f.inspector()->stack()->isHidden());
    QCOMPARE(f.dock()->windowTitle(), QStringLiteral("Node"));

    // The Node page already shows: no transition.
    f.select({b});
    QCOMPARE(timeLine->state(), QTimeLine::NotRunning);
    // Clicking the button of the shown page does nothing either.
    QTest::mouseClick(f.inspector()->findChild<QPushButton *>(QStringLiteral("nodeButton")), Qt::LeftButton);
    QCOMPARE(timeLine->state(), QTimeLine::NotRunning);
    QTest::mouseClick(f.inspector()->findChild<QPushButton *>(QStringLiteral("documentButton")), Qt::LeftButton);
    QCOMPARE(timeLine->state(), QTimeLine::Running);
    QTRY_COMPARE(f.currentPage(), int(Inspector::DocumentPage));
    QCOMPARE(f.dock()->windowTitle(), QStringLiteral("Document"));
}

void TestInspectorPanel::withoutControllerEveryFieldIsBlank()
{
    InspectorFixture f;
    const QmdItemId node = f.addNode(0);
    f.setElement(node, QStringLiteral("DontPlayNote"), true);
    f.controller()->requestSetData(QStringLiteral("Author"), QStringLiteral("Ann"));
    f.inspector()->setMidiInputPortNames({QStringLiteral("In")});
    f.select({node});
    InspectorFixture::settle();
    QVERIFY(f.widget<QCheckBox>("InspectNodeForm", "muteCheckBox")->isChecked());
    QCOMPARE(f.widget<QLineEdit>("InspectDocForm", "authorEdit")->text(), QStringLiteral("Ann"));

    f.inspector()->setDocument(nullptr, nullptr);
    QVERIFY(!f.inspector()->stack()->isEnabled());
    QCOMPARE(f.widget<QLineEdit>("InspectDocForm", "authorEdit")->text(), QString());
    QCOMPARE(f.widget<QLineEdit>("InspectNodeForm", "pitchListEdit")->text(), QString());
    QVERIFY(!f.widget<QCheckBox>("InspectNodeForm", "muteCheckBox")->isChecked());
    QVERIFY(!f.widget<QCheckBox>("InspectNodeForm", "instrumentChangeCheckBox")->isChecked());
    for (QSpinBox *spinBox : f.inspector()->findChildren<QSpinBox *>())
        QCOMPARE(spinBox->value(), spinBox->minimum());
    QCOMPARE(f.widget<QComboBox>("InspectNodeForm", "sigMethodComboBox")->currentIndex(), 0);
    for (ColorChooserButton *button : f.inspector()->findChildren<ColorChooserButton *>())
        QVERIFY(!button->color().isValid());
    // Only the shown page's button stays checked.
    QCOMPARE(f.inspector()->findChild<QButtonGroup *>()->checkedId(), f.currentPage());
    QCOMPARE(f.widget<MidiPortsBoxGraphicsView>("InspectDocForm", "midiInputsBox")->boxLayout()->count(), 0);
}

namespace {

// The checked page button's id, -1 when none is checked.
int checkedPage(const Inspector &inspector)
{
    return inspector.findChild<QButtonGroup *>()->checkedId();
}

} // namespace

void TestInspectorPanel::shownPagesButtonIsChecked()
{
    InspectorFixture f;
    Inspector &inspector = *f.inspector();
    QCOMPARE(f.currentPage(), int(Inspector::DocumentPage));
    QCOMPARE(checkedPage(inspector), f.currentPage());

    const QmdItemId node = f.addNode(0);
    f.select({node});
    QCOMPARE(f.currentPage(), int(Inspector::NodePage));
    QCOMPARE(checkedPage(inspector), f.currentPage());
    QTest::mouseClick(inspector.findChild<QPushButton *>(QStringLiteral("instrumentButton")), Qt::LeftButton);
    QCOMPARE(f.currentPage(), int(Inspector::InstrumentPage));
    QCOMPARE(checkedPage(inspector), f.currentPage());

    // Blank without a document, and bound again to one.
    inspector.setDocument(nullptr, nullptr);
    QCOMPARE(checkedPage(inspector), f.currentPage());
    inspector.setDocument(f.controller(), f.scene());
    InspectorFixture::settle();
    QCOMPARE(checkedPage(inspector), f.currentPage());
}

// An id that the document no longer holds (its removal not yet seen by the
// scene or the list) is left out of the bindings: it never stands for the root.
void TestInspectorPanel::staleIdsNeverBindTheRoot()
{
    InspectorFixture f;
    const QmdItemId kept = f.addNode(0);
    const QmdItemId gone = f.addNode(3);
    const QmdItemId keptInstrument = f.addInstrument(QStringLiteral("Piano"));
    const QmdItemId goneInstrument = f.addInstrument(QStringLiteral("Bass"));
    f.select({kept, gone});
    f.selectInstruments({keptInstrument, goneInstrument});
    QmdVelkaController &controller = *f.controller();

    controller.requestRemove(controller.elementIndex(gone), QmdRequestOptions(QStringLiteral("Remove")));
    controller.requestRemove(controller.instrumentIndex(goneInstrument), QmdRequestOptions(QStringLiteral("Remove")));
    // Before the removals reach the scene and the instrument list.
    f.inspector()->onElementSelectionChanged();
    f.inspector()->onInstrumentSelectionChanged();

    for (const char *form : {"InspectNodeForm", "InspectInstrumentForm"}) {
        const char *name = qstrcmp(form, "InspectNodeForm") == 0 ? "pitchListEdit" : "labelEdit";
        QLineEdit *field = f.widget<QLineEdit>(form, name);
        const QList<QmdController::Binding> bindings = controller.boundObjects(field);
        QCOMPARE(bindings.size(), 1);
        QCOMPARE(bindings.first().watches.size(), 1);
        for (auto it = bindings.first().watches.cbegin(); it != bindings.first().watches.cend(); ++it)
            QVERIFY2(it.key().isValid(), form);
    }

    QLineEdit *pitchList = f.widget<QLineEdit>("InspectNodeForm", "pitchListEdit");
    pitchList->setFocus();
    QTest::keyClick(pitchList, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(pitchList, QStringLiteral("D3"));
    QTest::keyClick(pitchList, Qt::Key_Return);
    InspectorFixture::settle();
    QVERIFY(!controller.data(QStringLiteral("PitchList")).isValid());
    QCOMPARE(f.element(kept, QStringLiteral("PitchList")).toString(), QStringLiteral("D3"));
}

namespace {

// One binding as the pages must make it.
struct BindingRow
{
    const char *form;
    const char *object;
    const char *property;
    const char *notifySignal; // normalised signature; empty for a binding that only shows
    const char *key;
    QVariant fallback;
    QVariant mixed;
    const char *label;
};

QList<BindingRow> expectedBindings()
{
    const char *doc = "InspectDocForm";
    const char *edge = "InspectEdgeForm";
    const char *node = "InspectNodeForm";
    const char *group = "InspectVoiceGroupForm";
    const char *instrument = "InspectInstrumentForm";
    const QVariant none;
    const QVariant noText = QString();
    const QVariant noColor = QColor();
    const QVariant noInstrument = QVariant::fromValue(0u);
    const char *color = "colorChanged(QColor)";
    return {
        {doc, "tempoSpinBox", "value", "valueChanged(int)", "Tempo", 0, none, "Tempo"},
        {doc, "principalsSpinBox", "value", "valueChanged(int)", "PrincipalsToBeatsNumerator", 0, none, "Principals"},
        {doc, "beatsSpinBox", "value", "valueChanged(int)", "PrincipalsToBeatsDenominator", 0, none, "Beats"},
        {doc, "divsSpinBox", "value", "valueChanged(int)", "DivsPerPrincipal", 0, none, "Divisions"},
        {doc, "backgroundColorButton", "color", color, "StyleBackgroundColor", noColor, none, "Background Color"},
        {doc, "principalLinesColorButton", "color", color, "StylePrincipalLinesColor", noColor, none,
         "Principal Lines Color"},
        {doc, "principalPointsColorButton", "color", color, "StylePrincipalPointsColor", noColor, none,
         "Principal Points Color"},
        {doc, "divisionLinesColorButton", "color", color, "StyleDivisionLinesColor", noColor, none,
         "Division Lines Color"},
        {doc, "divisionPointsColorButton", "color", color, "StyleDivisionPointsColor", noColor, none,
         "Division Points Color"},
        {doc, "annotationColorButton", "color", color, "StyleAnnotationColor", noColor, none, "Annotation Color"},
        {doc, "nodesColorButton", "color", color, "StyleNodesColor", noColor, none, "Nodes Color"},
        {doc, "edgesColorButton", "color", color, "StyleEdgesColor", noColor, none, "Edges Color"},
        {doc, "authorEdit", "text", "editingFinished()", "Author", noText, none, "Author"},
        {doc, "titleEdit", "text", "editingFinished()", "Title", noText, none, "Title"},
        {doc, "commentsEdit", "plainText", "editingFinished()", "Comment", noText, none, "Comments"},

        {edge, "pathChooser", "choice", "chosen(int)", "Path", -1, -1, "Path"},
        {edge, "wormholeCheckBox", "checked", "toggled(bool)", "IsWormhole", false, false, "Wormhole"},
        {edge, "scaleListEdit", "text", "editingFinished()", "ScaleList", noText, noText, "Scale"},

        {node, "sigMethodComboBox", "currentIndex", "activated(int)", "SignallingMethod", -1, -1, "Signalling"},
        {node, "pitchListEdit", "text", "editingFinished()", "PitchList", noText, noText, "Pitch List"},
        {node, "velocityListEdit", "text", "editingFinished()", "VelocityList", noText, noText, "Velocity List"},
        {node, "durationListEdit", "text", "editingFinished()", "DurationList", noText, noText, "Duration List"},
        {node, "muteCheckBox", "checked", "toggled(bool)", "DontPlayNote", false, false, "Mute"},
        {node, "instrumentChangeCheckBox", "checked", "toggled(bool)", "DoInstrumentChange", false, false,
         "Instrument Change"},
        {node, "instrumentComboBox", "currentKey", "activated(int)", "Instrument", noInstrument, noInstrument,
         "Instrument"},
        {node, "userMidiMessageListEdit", "text", "editingFinished()", "UserMidiMessageList", noText, noText,
         "Advanced MIDI"},

        {group, "pitchEdit", "text", "editingFinished()", "InitialPitch", noText, noText, "Initial Pitch"},
        {group, "velocityEdit", "text", "editingFinished()", "InitialVelocity", noText, noText, "Initial Velocity"},
        {group, "durationEdit", "text", "editingFinished()", "InitialDuration", noText, noText, "Initial Duration"},
        {group, "instrumentComboBox", "currentKey", "activated(int)", "InitialInstrument", noInstrument,
         noInstrument, "Instrument"},

        {instrument, "labelEdit", "text", "editingFinished()", "Label", noText, noText, "Label"},
        {instrument, "colorButton", "color", color, "Color", noColor, noColor, "Color"},
        {instrument, "midiPortsComboBox", "currentKey", "activated(int)", "MidiPort", noText, noText, "MIDI Port"},
        {instrument, "midiChannelsBox", "channels", "channelsChanged(QBitArray)", "MidiChannels", QBitArray(),
         QBitArray(), "MIDI Channels"},
        {instrument, "midiProgramChangeCheckBox", "checked", "toggled(bool)", "MidiDoProgramChange", false, false,
         "MIDI Program Change"},
        {instrument, "midiProgramChangeGroupBox", "enabled", "", "MidiDoProgramChange", false, false, ""},
        {instrument, "midiProgramSpinBox", "value", "valueChanged(int)", "MidiProgram", 0, 0, "MIDI Program"},
        {instrument, "midiBankMSBSpinBox", "value", "valueChanged(int)", "MidiBankMSB", 0, 0, "MIDI Bank MSB"},
        {instrument, "midiBankLSBSpinBox", "value", "valueChanged(int)", "MidiBankLSB", 0, 0, "MIDI Bank LSB"},
    };
}

// A value compared with its type: an unsigned 0 is not an int 0.
QString describe(const QVariant &value)
{
    QString text;
    QDebug(&text) << value;
    return text;
}

} // namespace

// Every binding the panel makes, for one element of each kind and one
// instrument, row by row: object, property, notify signal, key, the parent it
// watches, fallback and mixed value (with their types), and undo text. No
// page binds anything else.
void TestInspectorPanel::bindingTableIsComplete()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    const QmdItemId edge = f.addEdge(a, b);
    const QmdItemId group = f.addVoiceGroup(a);
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"));
    f.inspector()->setMidiInputPortNames({QStringLiteral("In A"), QStringLiteral("In B")});
    f.inspector()->setMidiOutputPortNames({QStringLiteral("Out A")});
    f.select({a, edge, group});
    f.selectInstruments({piano});
    QmdVelkaController &controller = *f.controller();
    const QHash<QString, QmdIndex> parents{
        {QStringLiteral("InspectDocForm"), QmdIndex()},
        {QStringLiteral("InspectEdgeForm"), controller.elementIndex(edge)},
        {QStringLiteral("InspectNodeForm"), controller.elementIndex(a)},
        {QStringLiteral("InspectVoiceGroupForm"), controller.elementIndex(group)},
        {QStringLiteral("InspectInstrumentForm"), controller.instrumentIndex(piano)},
    };

    QSet<QObject *> expectedObjects;
    for (const BindingRow &row : expectedBindings()) {
        const QString where = QStringLiteral("%1 %2").arg(QLatin1String(row.form), QLatin1String(row.object));
        QObject *object = f.widget<QObject>(row.form, row.object);
        QVERIFY2(object, qPrintable(where));
        expectedObjects.insert(object);
        const QList<QmdController::Binding> bindings = controller.boundObjects(object);
        QVERIFY2(bindings.size() == 1, qPrintable(where));
        const QmdController::Binding &binding = bindings.first();

        QCOMPARE(binding.propertyName, QByteArray(row.property));
        const QByteArray signal = binding.notifySignal.isEmpty()
            ? QByteArray()
            : QMetaObject::normalizedSignature(binding.notifySignal.constData() + 1);
        QCOMPARE(signal, QByteArray(row.notifySignal));
        if (!signal.isEmpty())
            QVERIFY2(object->metaObject()->indexOfSignal(signal.constData()) >= 0, signal.constData());
        const QMetaObject *meta = object->metaObject();
        const int property = meta->indexOfProperty(row.property);
        QVERIFY2(property >= 0 && meta->property(property).isWritable(), qPrintable(where));

        QCOMPARE(binding.watches.size(), 1);
        QCOMPARE(binding.watches.cbegin().key(), parents.value(QLatin1String(row.form)));
        QCOMPARE(binding.watches.cbegin().value(), QStringList(QLatin1String(row.key)));
        QCOMPARE(describe(binding.fallbackValue), describe(row.fallback));
        QCOMPARE(describe(binding.mixedValue), describe(row.mixed));
        QCOMPARE(binding.label, QLatin1String(row.label));
        QCOMPARE(int(binding.flags), 0);
    }

    // Nothing else on the pages is bound but the sync port check boxes.
    int syncPorts = 0;
    const auto table = controller.bindingTable();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        QObject *object = it.key();
        if (expectedObjects.contains(object))
            continue;
        if (qobject_cast<SqueezedTextCheckBox *>(object)) {
            ++syncPorts;
            QCOMPARE(it->propertyName, QByteArray("checked"));
            QCOMPARE(QMetaObject::normalizedSignature(it->notifySignal.constData() + 1), QByteArray("toggled(bool)"));
            QCOMPARE(it->watches.cbegin().value(), QStringList(QStringLiteral("MidiSync")));
            QCOMPARE(describe(it->fallbackValue), describe(false));
            QCOMPARE(describe(it->mixedValue), describe(false));
            QCOMPARE(it->label, QStringLiteral("Midi Sync"));
            continue;
        }
        for (auto *w = qobject_cast<QWidget *>(object); w; w = w->parentWidget())
            QVERIFY2(w != f.inspector(), qPrintable(object->objectName()));
    }
    QCOMPARE(syncPorts, 3);
}

void TestInspectorPanel::instrumentComboBoxesFollowALoad()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("song.vlk"));
    QmdItemId node = 0;
    QmdItemId group = 0;
    {
        InspectorFixture f;
        f.addInstrument(QStringLiteral("Piano"));
        const QmdItemId bass = f.addInstrument(QStringLiteral("Bass"));
        node = f.addNode(0);
        group = f.addVoiceGroup(node);
        f.setElement(node, QStringLiteral("Instrument"), bass);
        f.setElement(group, QStringLiteral("InitialInstrument"), bass);
        f.controller()->requestSave(file);
        InspectorFixture::settle();
    }

    InspectorFixture f;
    f.addInstrument(QStringLiteral("Other"));
    f.controller()->requestLoad(file);
    InspectorFixture::settle();
    f.select({node, group});
    QCOMPARE(f.widget<QwpComboBox>("InspectNodeForm", "instrumentComboBox")->currentText(), QStringLiteral("Bass"));
    QCOMPARE(f.widget<QwpComboBox>("InspectVoiceGroupForm", "instrumentComboBox")->currentText(),
             QStringLiteral("Bass"));

    // Rebuilt while shown: the boxes keep showing the bound instrument.
    f.controller()->requestLoad(file);
    InspectorFixture::settle();
    f.select({node, group});
    QCOMPARE(f.widget<QwpComboBox>("InspectNodeForm", "instrumentComboBox")->currentText(), QStringLiteral("Bass"));
}

void TestInspectorPanel::rescansLeaveNothingBehind()
{
    InspectorFixture f;
    const QStringList some{QStringLiteral("In 1"), QStringLiteral("In 2")};
    for (int i = 0; i < 50; ++i)
        f.inspector()->setMidiInputPortNames(i % 2 ? some : QStringList{QStringLiteral("In 3")});
    InspectorFixture::settle();
    auto *box = f.widget<MidiPortsBoxGraphicsView>("InspectDocForm", "midiInputsBox");
    QCOMPARE(box->boxLayout()->count(), 2);
    QCOMPARE(box->scene()->items().size(), 1 + 2); // the box and two proxies
    // The entries of absent ports without the clock went.
    QCOMPARE(f.controller()->keys(f.controller()->syncMidiInputsIndex()), some);
    // Check boxes keep the application's style.
    for (QGraphicsItem *item : box->scene()->items()) {
        if (auto *proxy = dynamic_cast<QGraphicsProxyWidget *>(item))
            QCOMPARE(proxy->widget()->style(), QApplication::style());
    }
}

void TestInspectorPanel::controllerDestroyedBeforeThePanel()
{
    InspectorFixture f;
    const QmdItemId node = f.addNode(0);
    f.addInstrument(QStringLiteral("Piano"));
    f.inspector()->setMidiOutputPortNames({QStringLiteral("Out")});
    f.select({node});
    f.destroyController();
    InspectorFixture::settle();
    f.inspector()->setMidiOutputPortNames({QStringLiteral("Out 2")});
    QTest::mouseClick(f.inspector()->findChild<QPushButton *>(QStringLiteral("instrumentButton")), Qt::LeftButton);
    InspectorFixture::settle();
}

// Each page as the user sees it, saved as PNG (into VELKA_PICTURES_DIR when
// set, to be looked at): the panel keeps its width, and the page fills the
// panel below the button row without running past it.
void TestInspectorPanel::pagePictures()
{
    InspectorFixture f;
    const QmdItemId a = f.addNode(0);
    const QmdItemId b = f.addNode(3);
    const QmdItemId edge = f.addEdge(a, b);
    const QmdItemId group = f.addVoiceGroup(a);
    const QmdItemId piano = f.addInstrument(QStringLiteral("Piano"), QColor(200, 60, 60));
    f.addInstrument(QStringLiteral("Bass"), QColor(60, 60, 200));
    f.setElement(a, QStringLiteral("PitchList"), QStringLiteral("C3,E3,G3"));
    f.inspector()->setMidiInputPortNames({QStringLiteral("Keys 1"), QStringLiteral("Keys 2")});
    f.inspector()->setMidiOutputPortNames({QStringLiteral("Synth")});
    f.select({a, edge, group});
    f.selectInstruments({piano});

    QTemporaryDir temporary;
    const QString dir = qEnvironmentVariableIsSet("VELKA_PICTURES_DIR") ? qEnvironmentVariable("VELKA_PICTURES_DIR")
                                                                         : temporary.path();
    const QStringList names{QStringLiteral("document"), QStringLiteral("instrument"), QStringLiteral("edge"),
                            QStringLiteral("node"), QStringLiteral("voicegroup")};
    for (int page = Inspector::DocumentPage; page <= Inspector::VoiceGroupPage; ++page) {
        QTest::mouseClick(qobject_cast<QPushButton *>(f.inspector()->findChild<QButtonGroup *>()->button(page)),
                          Qt::LeftButton);
        InspectorFixture::settle();
        QCOMPARE(f.currentPage(), page);
        const QImage picture = f.inspector()->grab().toImage();
        QVERIFY(picture.save(dir + QLatin1Char('/') + names.at(page) + QStringLiteral(".png")));
        QCOMPARE(f.inspector()->width(), 285);
        QWidget *shown = f.inspector()->stack()->currentWidget();
        QCOMPARE(shown->mapTo(f.inspector(), QPoint(0, 0)).y(), 24);
        QVERIFY(shown->height() >= shown->minimumSizeHint().height());
    }
}

QTEST_MAIN(TestInspectorPanel)
#include "tst_inspectorpanel.moc"
