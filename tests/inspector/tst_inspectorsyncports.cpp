#include "connectwarnings.h"
#include "inspectorfixture.h"
#include "midiportsboxgraphicsview.h"
#include "squeezedtextcheckbox.h"

#include <QGraphicsLinearLayout>
#include <QGraphicsProxyWidget>
#include <QtTest>

// The lists of MIDI ports that may carry the document's MIDI clock, on the
// Document page: which ports show, the entries the document keeps for them,
// and the one undoable change, ticking a port.
class TestInspectorSyncPorts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void offlinePortKeepsItsEntryOnlyWhileTicked_data();
    void offlinePortKeepsItsEntryOnlyWhileTicked();
    void newPortShowsUntickedAndTickingIsUndoable();
    void portsAreListedInPortOrder();
    void outputsHaveTheirOwnList();
};

namespace {

QList<SqueezedTextCheckBox *> checkBoxes(InspectorFixture &f, const char *box)
{
    QList<SqueezedTextCheckBox *> boxes;
    QGraphicsLinearLayout *layout = f.widget<MidiPortsBoxGraphicsView>("InspectDocForm", box)->boxLayout();
    for (int i = 0; i < layout->count(); ++i) {
        if (auto *proxy = dynamic_cast<QGraphicsProxyWidget *>(layout->itemAt(i)))
            boxes.append(qobject_cast<SqueezedTextCheckBox *>(proxy->widget()));
    }
    return boxes;
}

QStringList texts(const QList<SqueezedTextCheckBox *> &boxes)
{
    QStringList list;
    for (const SqueezedTextCheckBox *box : boxes)
        list.append(box->fullText());
    return list;
}

void addEntry(InspectorFixture &f, const QmdIndex &container, const QString &name, bool midiSync)
{
    const QmdRequestOptions quiet(Qmd::NoUndoHistory);
    f.controller()->requestSetTypeIfInvalid(name, Qmd::StrDict, container, quiet);
    f.controller()->requestSetData(QStringLiteral("MidiSync"), midiSync, f.controller()->index(name, container),
                                   quiet);
    InspectorFixture::settle();
}

} // namespace

void TestInspectorSyncPorts::initTestCase()
{
    ConnectWarnings::install();
}

void TestInspectorSyncPorts::cleanup()
{
    const QStringList warnings = ConnectWarnings::take();
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
}

void TestInspectorSyncPorts::offlinePortKeepsItsEntryOnlyWhileTicked_data()
{
    QTest::addColumn<bool>("midiSync");
    QTest::newRow("ticked") << true;
    QTest::newRow("not ticked") << false;
}

void TestInspectorSyncPorts::offlinePortKeepsItsEntryOnlyWhileTicked()
{
    QFETCH(bool, midiSync);
    InspectorFixture f;
    const QmdIndex inputs = f.controller()->syncMidiInputsIndex();
    addEntry(f, inputs, QStringLiteral("Synth 1"), midiSync);
    const bool couldUndo = f.controller()->canUndo();
    f.markHistory();

    f.inspector()->setMidiInputPortNames({QStringLiteral("Keys")});
    InspectorFixture::settle();
    const QList<SqueezedTextCheckBox *> boxes = checkBoxes(f, "midiInputsBox");
    if (midiSync) {
        QCOMPARE(texts(boxes), (QStringList{QStringLiteral("Keys "), QStringLiteral("Synth 1 (offline)")}));
        QVERIFY(boxes.at(1)->isChecked());
        QVERIFY(!boxes.at(0)->isChecked());
    } else {
        QCOMPARE(texts(boxes), QStringList{QStringLiteral("Keys ")});
        QVERIFY(!f.controller()->index(QStringLiteral("Synth 1"), inputs).isValid());
    }
    QCOMPARE(f.stepsSinceMark(), 0);
    QCOMPARE(f.controller()->canUndo(), couldUndo);
}

void TestInspectorSyncPorts::newPortShowsUntickedAndTickingIsUndoable()
{
    InspectorFixture f;
    const QmdIndex inputs = f.controller()->syncMidiInputsIndex();
    f.markHistory();
    f.inspector()->setMidiInputPortNames({QStringLiteral("Keys")});
    InspectorFixture::settle();
    QVERIFY(f.controller()->index(QStringLiteral("Keys"), inputs).isValid());
    QCOMPARE(f.stepsSinceMark(), 0);

    SqueezedTextCheckBox *keys = checkBoxes(f, "midiInputsBox").value(0);
    QVERIFY(keys && !keys->isChecked());
    keys->click();
    InspectorFixture::settle();
    const QmdIndex entry = f.controller()->index(QStringLiteral("Keys"), inputs);
    QCOMPARE(f.controller()->data(QStringLiteral("MidiSync"), entry), QVariant(true));
    QCOMPARE(f.controller()->undoText(), QStringLiteral("Midi Sync"));

    f.controller()->requestUndo();
    InspectorFixture::settle();
    QVERIFY(!f.controller()->data(QStringLiteral("MidiSync"), entry).toBool());
    QVERIFY(!keys->isChecked());
}

void TestInspectorSyncPorts::portsAreListedInPortOrder()
{
    InspectorFixture f;
    f.inspector()->setMidiInputPortNames({QStringLiteral("In 10"), QStringLiteral("In 2"), QStringLiteral("Alpha"),
                                          QStringLiteral("In 2")});
    QCOMPARE(f.inspector()->midiInputPortNames(),
             (QStringList{QStringLiteral("Alpha"), QStringLiteral("In 2"), QStringLiteral("In 10")}));
    QCOMPARE(texts(checkBoxes(f, "midiInputsBox")),
             (QStringList{QStringLiteral("Alpha "), QStringLiteral("In 2 "), QStringLiteral("In 10 ")}));
}

void TestInspectorSyncPorts::outputsHaveTheirOwnList()
{
    InspectorFixture f;
    addEntry(f, f.controller()->syncMidiOutputsIndex(), QStringLiteral("Clock Out"), true);
    f.inspector()->setMidiOutputPortNames({QStringLiteral("Out")});
    QCOMPARE(texts(checkBoxes(f, "midiOutputsBox")),
             (QStringList{QStringLiteral("Clock Out (offline)"), QStringLiteral("Out ")}));
    QVERIFY(checkBoxes(f, "midiInputsBox").isEmpty());
    QVERIFY(f.controller()->index(QStringLiteral("Out"), f.controller()->syncMidiOutputsIndex()).isValid());
    QVERIFY(!f.controller()->index(QStringLiteral("Out"), f.controller()->syncMidiInputsIndex()).isValid());
}

QTEST_MAIN(TestInspectorSyncPorts)
#include "tst_inspectorsyncports.moc"
