#include "modeltestutil.h"
#include "qmdmemmodel.h"

#include <QRandomGenerator>
#include <QtTest>

typedef QHash<QString, QVariant> KeyValues;
typedef QHash<QString, Qmd::ContainerType> KeyTypes;

class tst_QmdUndo : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void oneStepPerRequest();
    void changesOutsideTheHistory();
    void newChangeEmptiesRedo();
    void undoAndRedoRestoreExactly();
    void stepOfSeveralCommandsKeepsItsOrder();
    void rootReplacement();
    void stateSignalsOnlyOnChange();
    void cleanState_data();
    void cleanState();
    void limit();
    void clearingTheHistory();
    void randomEditsUndoAndRedo();
    void mixedHistoryStaysSound();

private:
    // One request with one change operation.
    template <typename Change>
    void request(QmdRequestId rid, const QString &text, Change change, Qmd::RequestFlags flags = {})
    {
        model->beginRequest(rid, flags, text);
        change();
        model->endRequest();
    }
    void setTempo(QmdRequestId rid, int tempo, const QString &text = QStringLiteral("Tempo"))
    {
        request(rid, text, [&] { model->setData(KeyValues{{"Tempo", tempo}}, QmdIndex()); });
    }

    QmdMemModel *model = nullptr;
};

void tst_QmdUndo::init()
{
    model = new QmdMemModel(Qmd::StrDict);
}

void tst_QmdUndo::cleanup()
{
    delete model;
    model = nullptr;
}

void tst_QmdUndo::oneStepPerRequest()
{
    setTempo(2, 100, QStringLiteral("First"));
    request(3, QStringLiteral("Second"), [&] {
        model->setData(KeyValues{{"Tempo", 110}}, QmdIndex());
    });
    // A second change operation under request 3 joins its step and keeps the
    // step's first text.
    model->beginRequest(3, {}, QStringLiteral("Other text"));
    model->setData(KeyValues{{"Title", "t"}}, QmdIndex());
    model->endRequest();
    QCOMPARE(model->undoRedoCount(), 2);
    QCOMPARE(model->undoText(), QStringLiteral("Second"));

    model->undo();
    QCOMPARE(dumpModel(*model), QStringLiteral("{Tempo:int(100)}"));
    QCOMPARE(model->undoText(), QStringLiteral("First"));
    QCOMPARE(model->redoText(), QStringLiteral("Second"));
    QCOMPARE(model->undoRedoCount(), 2);

    // Undo with nothing to undo and redo with nothing to redo change nothing.
    model->undo();
    ModelRecorder recorder(model);
    model->undo();
    QCOMPARE(recorder.take(), QStringList());
    model->redo();
    model->redo();
    recorder.take();
    model->redo();
    QCOMPARE(recorder.take(), QStringList());
    QCOMPARE(dumpModel(*model), QStringLiteral("{Tempo:int(110),Title:QString(t)}"));
}

void tst_QmdUndo::changesOutsideTheHistory()
{
    setTempo(2, 100);
    setTempo(3, 110);
    model->undo();
    ModelRecorder recorder(model);
    request(4, QString(), [&] { model->setData(KeyValues{{"Position", 5}}, QmdIndex()); }, Qmd::NoUndoHistory);
    QCOMPARE(recorder.take(), (QStringList{"changed root Position 4", "finished 4 1 0"}));
    QVERIFY(model->canRedo());
    QCOMPARE(model->undoRedoCount(), 2);

    // The change stays when the recorded steps around it are undone and redone.
    model->undo();
    model->redo();
    model->redo();
    QCOMPARE(dumpModel(*model), QStringLiteral("{Position:int(5),Tempo:int(110)}"));
}

void tst_QmdUndo::newChangeEmptiesRedo()
{
    setTempo(2, 100, QStringLiteral("A"));
    model->undo();
    ModelRecorder recorder(model);
    setTempo(3, 90, QStringLiteral("B"));
    QCOMPARE(recorder.take(), (QStringList{"changed root Tempo 3", "clean false 3", "canRedo false 3",
                                           "canUndo true 3", "redoText '' 3", "undoText 'B' 3",
                                           "finished 3 0 0"}));
    QCOMPARE(model->undoRedoCount(), 1);
}

void tst_QmdUndo::undoAndRedoRestoreExactly()
{
    request(2, QStringLiteral("Build"), [&] {
        model->setTypes(KeyTypes{{"Elements", Qmd::IntDict}}, QmdIndex());
    });
    const QmdIndex elements = model->index(QStringLiteral("Elements"), QmdIndex());
    request(3, QStringLiteral("Add"), [&] {
        model->addTypes(QList<Qmd::ContainerType>{Qmd::StrDict, Qmd::StrDict}, elements);
    });
    request(4, QStringLiteral("Fill"), [&] {
        model->setData(KeyValues{{"Type", 2}}, model->index(QmdItemId(1), elements));
    });
    request(5, QStringLiteral("Replace"), [&] {
        model->setData(QHash<QmdItemId, QVariant>{{1, "plain"}, {3, "new"}}, elements);
    });
    const QString final = dumpModel(*model);

    ModelRecorder recorder(model);
    model->undo();
    // Keys the step created are removed, replaced keys get their old values.
    QCOMPARE(recorder.take().filter(QRegularExpression("^(changed|removed)")),
             (QStringList{"removed Elements 3 0", "changed Elements 1 0"}));
    QCOMPARE(dumpModel(*model), QStringLiteral("{Elements:[1:{Type:int(2)},2:{}]}"));
    model->redo();
    QCOMPARE(recorder.take().filter(QRegularExpression("^(changed|removed)")),
             (QStringList{"removed Elements 1 0", "changed Elements 1,3 0"}));
    QCOMPARE(dumpModel(*model), final);

    // Undo puts back the very container the change replaced: indexes into it
    // work again.
    model->undo();
    const QmdIndex type = model->index(QStringLiteral("Type"), model->index(QmdItemId(1), elements));
    model->redo();
    model->undo();
    QCOMPARE(model->data(type), QVariant(2));
}

void tst_QmdUndo::stepOfSeveralCommandsKeepsItsOrder()
{
    // One request makes a container and then writes into it; undo takes the
    // writes back before the container, redo makes the container first.
    const auto build = [&] {
        model->beginRequest(7, {}, QStringLiteral("Node"));
        model->setTypes(KeyTypes{{"Node", Qmd::StrDict}}, QmdIndex());
        const QmdIndex node = model->index(QStringLiteral("Node"), QmdIndex());
        model->setData(KeyValues{{"Pitch", 60}}, node);
        model->setTypes(KeyTypes{{"Arcs", Qmd::IntDict}}, node);
        model->setData(QHash<QmdItemId, QVariant>{{4, 1}}, model->index(QStringLiteral("Arcs"), node));
        model->endRequest();
    };
    build();
    const QString built = dumpModel(*model);
    QCOMPARE(model->undoRedoCount(), 1);

    ModelRecorder recorder(model);
    model->undo();
    QCOMPARE(recorder.take().filter(QRegularExpression("^(changed|removed)")),
             (QStringList{"removed Arcs 4 0", "removed Node Arcs 0", "removed Node Pitch 0", "removed root Node 0"}));
    QCOMPARE(dumpModel(*model), QStringLiteral("{}"));
    model->redo();
    QCOMPARE(recorder.take().filter(QRegularExpression("^(changed|removed)")),
             (QStringList{"changed root Node 0", "changed Node Pitch 0", "changed Node Arcs 0",
                          "changed Arcs 4 0"}));
    QCOMPARE(dumpModel(*model), built);
}

void tst_QmdUndo::rootReplacement()
{
    setTempo(2, 100);
    ModelRecorder recorder(model);
    request(3, QStringLiteral("Set Root"), [&] {
        model->setData(QHash<QmdIndex, QVariant>{{QmdIndex(), 42}});
    });
    QCOMPARE(dumpModel(*model), QStringLiteral("int(42)"));
    model->undo();
    QCOMPARE(dumpModel(*model), QStringLiteral("{Tempo:int(100)}"));
    QCOMPARE(recorder.take().filter(QRegularExpression("^(changed|removed|root)")),
             (QStringList{"root 3", "root 0"}));
}

void tst_QmdUndo::stateSignalsOnlyOnChange()
{
    setTempo(2, 100, QStringLiteral("Same"));
    setTempo(3, 110, QStringLiteral("Same"));
    ModelRecorder recorder(model);
    model->beginRequest(9, {}, QStringLiteral("Undo"));
    model->undo();
    model->endRequest();
    // The newest undo text stays "Same": only the redo side changes.
    QCOMPARE(recorder.take(), (QStringList{"changed root Tempo 9", "canRedo true 9", "redoText 'Same' 9",
                                           "finished 9 0 0"}));
    model->undo();
    QCOMPARE(recorder.take(), (QStringList{"removed root Tempo 0", "clean true 0", "canUndo false 0",
                                           "undoText '' 0"}));
    model->markAsCleanState();
    QCOMPARE(recorder.take(), QStringList());
}

void tst_QmdUndo::cleanState_data()
{
    // Each script is a list of actions: "e" records an edit (a new request),
    // "u" undo, "r" redo, "c" mark clean, "l1".."l9" set the limit, "j" joins
    // a change to the newest step (same request id), "x" clears the history.
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QList<bool>>("clean"); // after each action

    QTest::newRow("clean at empty, edit, undo")
        << QStringList{"c", "e", "u", "r"} << QList<bool>{true, false, true, false};
    QTest::newRow("saved after an edit")
        << QStringList{"e", "c", "e", "u", "u", "r"} << QList<bool>{false, true, false, true, false, true};
    QTest::newRow("saved step dropped from redo")
        << QStringList{"e", "c", "u", "e", "u"} << QList<bool>{false, true, false, false, false};
    QTest::newRow("saved at empty, then redo dropped")
        << QStringList{"e", "c", "u", "e", "u"} << QList<bool>{false, true, false, false, false};
    QTest::newRow("saved step trimmed by the limit")
        << QStringList{"l3", "e", "c", "e", "e", "e", "u", "u", "u"}
        << QList<bool>{true, false, true, false, false, false, false, false, false};
    QTest::newRow("saved empty state trimmed by the limit")
        << QStringList{"l2", "c", "e", "e", "e", "u", "u"}
        << QList<bool>{true, true, false, false, false, false, false};
    QTest::newRow("limit lowered below the saved step")
        << QStringList{"e", "c", "e", "e", "l1", "u"} << QList<bool>{false, true, false, false, false, false};
    QTest::newRow("saved step grows") << QStringList{"e", "c", "j", "u"} << QList<bool>{false, true, false, false};
    QTest::newRow("marked clean again") << QStringList{"e", "c", "u", "e", "c", "u", "r"}
                                        << QList<bool>{false, true, false, false, true, false, true};
    QTest::newRow("history cleared") << QStringList{"c", "e", "x", "c"} << QList<bool>{true, false, false, true};
}

void tst_QmdUndo::cleanState()
{
    QFETCH(QStringList, script);
    QFETCH(QList<bool>, clean);
    QVERIFY(model->isAtCleanState());
    QSignalSpy spy(model, &QmdModel::atCleanStateChanged);
    QmdRequestId rid = 1;
    int tempo = 0;
    bool was = true;
    for (int i = 0; i < script.size(); ++i) {
        const QString action = script.at(i);
        if (action == "e")
            setTempo(++rid, ++tempo);
        else if (action == "j")
            setTempo(rid, ++tempo);
        else if (action == "u")
            model->undo();
        else if (action == "r")
            model->redo();
        else if (action == "c")
            model->markAsCleanState();
        else if (action == "x")
            model->clearUndoRedoHistory();
        else
            model->setUndoRedoLimit(action.mid(1).toInt());
        QVERIFY2(model->isAtCleanState() == clean.at(i), qPrintable(QStringLiteral("after action %1").arg(i)));
        // The signal fires exactly when the answer changes.
        QCOMPARE(spy.count(), was != clean.at(i) ? 1 : 0);
        if (!spy.isEmpty())
            QCOMPARE(spy.takeFirst().at(0).toBool(), clean.at(i));
        was = clean.at(i);
    }
}

void tst_QmdUndo::limit()
{
    model->setUndoRedoLimit(3);
    for (int i = 1; i <= 4; ++i)
        setTempo(QmdRequestId(i + 1), i, QStringLiteral("T%1").arg(i));
    QCOMPARE(model->undoRedoCount(), 3);
    while (model->canUndo())
        model->undo();
    // The first step is gone: undo goes back to the first tempo at most.
    QCOMPARE(dumpModel(*model), QStringLiteral("{Tempo:int(1)}"));
    QCOMPARE(model->redoText(), QStringLiteral("T2"));

    // Lowering the limit drops the oldest redo steps first, then undo steps.
    model->redo();
    model->redo();
    ModelRecorder recorder(model);
    model->setUndoRedoLimit(1);
    QCOMPARE(model->undoRedoCount(), 1);
    QCOMPARE(model->undoText(), QStringLiteral("T3"));
    QCOMPARE(model->redoText(), QString());
    QCOMPARE(recorder.take(), (QStringList{"canRedo false 0", "redoText '' 0"}));

    // A negative or zero limit keeps everything.
    model->setUndoRedoLimit(-1);
    for (int i = 0; i < 5; ++i)
        setTempo(QmdRequestId(10 + i), i);
    QCOMPARE(model->undoRedoCount(), 6);
}

void tst_QmdUndo::clearingTheHistory()
{
    setTempo(2, 1, QStringLiteral("A"));
    setTempo(3, 2, QStringLiteral("B"));
    model->undo();
    ModelRecorder recorder(model);
    model->clearUndoRedoHistory();
    QCOMPARE(recorder.take(), (QStringList{"canRedo false 0", "canUndo false 0", "redoText '' 0",
                                           "undoText '' 0"}));
    QCOMPARE(model->undoRedoCount(), 0);
    QCOMPARE(dumpModel(*model), QStringLiteral("{Tempo:int(1)}"));
}

namespace {

// Random change operations on random containers of a model.
class RandomEditor
{
public:
    RandomEditor(QmdMemModel *model, quint32 seed) : m_model(model), m_random(seed) {}

    int bounded(int limit) { return int(m_random.bounded(limit)); }

    // Every container index of the document, the root first.
    QmdIndexList containers() const
    {
        QmdIndexList result{QmdIndex()};
        for (int i = 0; i < result.size(); ++i) {
            for (const QmdIndex &child : m_model->childIndexes(result.at(i))) {
                if (m_model->containerType(child) != Qmd::NoContainer)
                    result.append(child);
            }
        }
        return result;
    }

    // One to three change operations, then a new root container if the
    // document lost its root.
    void edit()
    {
        const int operations = 1 + bounded(3);
        for (int i = 0; i < operations; ++i) {
            const QmdIndexList all = containers();
            editUnder(all.at(bounded(int(all.size()))));
        }
        if (m_model->containerType(QmdIndex()) == Qmd::NoContainer)
            m_model->setTypes(QHash<QmdIndex, Qmd::ContainerType>{{QmdIndex(), Qmd::StrDict}});
    }

private:
    Qmd::ContainerType type() { return bounded(2) ? Qmd::IntDict : Qmd::StrDict; }
    QString key() { return QString(QChar('a' + bounded(5))); }
    QVariant value()
    {
        switch (bounded(3)) {
        case 0: return bounded(100);
        case 1: return QString::number(bounded(100), 36);
        default: return bounded(2) == 1;
        }
    }

    void editUnder(const QmdIndex &parent)
    {
        const QmdIndexList children = m_model->childIndexes(parent);
        const QmdIndex child = children.isEmpty() ? QmdIndex() : children.at(bounded(int(children.size())));
        const bool ints = m_model->containerType(parent) == Qmd::IntDict;
        const QmdItemId id = QmdItemId(1 + bounded(6));
        switch (bounded(8)) {
        case 0:
            if (ints)
                m_model->setData(QHash<QmdItemId, QVariant>{{id, value()}, {id + 1, value()}}, parent);
            else
                m_model->setData(KeyValues{{key(), value()}, {key(), value()}}, parent);
            break;
        case 1:
            if (ints)
                m_model->setTypes(QHash<QmdItemId, Qmd::ContainerType>{{id, type()}}, parent);
            else
                m_model->setTypes(KeyTypes{{key(), type()}}, parent);
            break;
        case 2:
            if (ints)
                m_model->addData(QList<QVariant>{value(), value()}, parent);
            else
                m_model->setData(KeyValues{{key(), value()}}, parent);
            break;
        case 3:
            if (ints)
                m_model->addTypes(QList<Qmd::ContainerType>{type()}, parent);
            else
                m_model->setTypes(KeyTypes{{key(), type()}}, parent);
            break;
        case 4:
            if (ints)
                m_model->remove(QmdItemIdList{id, id + 2}, parent);
            else
                m_model->remove(QStringList{key(), key()}, parent);
            break;
        case 5:
            if (child.isValid())
                m_model->remove(QmdIndexList{child});
            break;
        case 6:
            if (child.isValid())
                m_model->setData(QHash<QmdIndex, QVariant>{{child, value()}});
            break;
        default:
            if (bounded(10) == 0)
                m_model->clear(parent);
            else if (child.isValid())
                m_model->setTypes(QHash<QmdIndex, Qmd::ContainerType>{{child, type()}});
            break;
        }
    }

    QmdMemModel *m_model;
    QRandomGenerator m_random;
};

} // namespace

// Random edits with the occasional undo and redo, checked against a record
// of the document after each step: every undo and redo must give back
// exactly the document the step started or ended with.
void tst_QmdUndo::randomEditsUndoAndRedo()
{
    RandomEditor editor(model, 20261210);
    QStringList undoStates{dumpModel(*model)}; // document before each undo step, newest last
    QStringList redoStates;
    QmdRequestId rid = 1;

    for (int round = 0; round < 400; ++round) {
        const int what = editor.bounded(10);
        if (what == 0 && undoStates.size() > 1) {
            model->undo();
            redoStates.append(undoStates.takeLast());
            QCOMPARE(dumpModel(*model), undoStates.last());
            continue;
        }
        if (what == 1 && !redoStates.isEmpty()) {
            model->redo();
            undoStates.append(redoStates.takeLast());
            QCOMPARE(dumpModel(*model), undoStates.last());
            continue;
        }
        ++rid;
        model->beginRequest(rid, {}, QStringLiteral("Step %1").arg(rid));
        editor.edit();
        model->endRequest();
        if (model->undoText() != QStringLiteral("Step %1").arg(rid)) {
            QCOMPARE(dumpModel(*model), undoStates.last()); // nothing was recorded
            continue;
        }
        redoStates.clear();
        undoStates.append(dumpModel(*model));
        QCOMPARE(model->undoRedoCount(), int(undoStates.size() - 1));
    }

    const QString final = dumpModel(*model);
    QVERIFY(undoStates.size() > 100);
    while (model->canUndo()) {
        model->undo();
        undoStates.removeLast();
        QCOMPARE(dumpModel(*model), undoStates.last());
    }
    QCOMPARE(dumpModel(*model), QStringLiteral("{}"));
    while (model->canRedo())
        model->redo();
    QCOMPARE(dumpModel(*model), final);
}

// Recorded and unrecorded changes, joined steps, undo, redo, a small limit,
// and writes through indexes kept from earlier states: the history may no
// longer give back earlier documents exactly, but every container is owned
// once and freed once (the sanitizer build checks), and every index the
// model hands out reads back.
void tst_QmdUndo::mixedHistoryStaysSound()
{
    RandomEditor editor(model, 7);
    model->setUndoRedoLimit(12);
    QmdIndexList kept;
    QmdRequestId rid = 1;
    for (int round = 0; round < 600; ++round) {
        switch (editor.bounded(12)) {
        case 0:
        case 1:
            model->undo();
            break;
        case 2:
            model->redo();
            break;
        case 3:
            model->markAsCleanState();
            break;
        case 4:
            if (!kept.isEmpty()) {
                const QmdIndex old = kept.at(editor.bounded(int(kept.size())));
                model->beginRequest(++rid, {}, QString());
                model->setTypes(QHash<QmdIndex, Qmd::ContainerType>{{old, Qmd::StrDict}});
                model->setData(KeyValues{{"k", 1}}, old);
                model->remove(QmdIndexList{old});
                model->endRequest();
            }
            break;
        default: {
            const Qmd::RequestFlags flags = editor.bounded(3) == 0 ? Qmd::NoUndoHistory : Qmd::RequestFlags();
            if (editor.bounded(4) != 0)
                ++rid; // otherwise the change joins the newest step
            model->beginRequest(rid, flags, QStringLiteral("Step %1").arg(rid));
            editor.edit();
            model->endRequest();
            break;
        }
        }
        const QmdIndexList all = editor.containers();
        kept.append(all.at(editor.bounded(int(all.size()))));
        if (kept.size() > 50)
            kept.removeFirst();
        for (const QmdIndex &index : all) {
            for (const QmdIndex &child : model->childIndexes(index)) {
                QVERIFY(child.isValid());
                QVERIFY(model->exists(child));
                QCOMPARE(model->parent(child), index);
            }
        }
        QVERIFY(model->undoRedoCount() <= 12);
    }
}

QTEST_GUILESS_MAIN(tst_QmdUndo)

#include "tst_qmdundo.moc"
