#include "qmdcontroller.h"
#include "qmdmemmodel.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A stand-in for an editing widget: an int and a string property with notify
// signals, counting how often something from outside wrote them.
class Knob : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)

public:
    int value() const { return m_value; }
    void setValue(int value)
    {
        ++writes;
        if (value == m_value)
            return;
        m_value = value;
        emit valueChanged(value);
    }
    QString text() const { return m_text; }
    void setText(const QString &text)
    {
        if (text == m_text)
            return;
        m_text = text;
        emit textChanged(text);
    }

    // What a user's edit does: change the value and announce it.
    void edit(int value) { setValue(value); }

    int writes = 0;

signals:
    void valueChanged(int value);
    void textChanged(const QString &text);

private:
    int m_value = 0;
    QString m_text;
};

// Lets the relays of the requests made so far run.
void settle()
{
    QCoreApplication::processEvents();
}

const int Fallback = 120;
const int Mixed = -1;

} // namespace

class TestQmdBinding : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsTheDocumentAtOnce_data();
    void showsTheDocumentAtOnce();
    void editBecomesOneUndoableRequest();
    void ownEditIsNotWrittenBack();
    void unchangedValueMakesNoRequest();
    void mixedMarkerIsNotWrittenBack();
    void editOfMixedEntriesWritesOnlyThoseThatDiffer();
    void unreadablePropertyMakesNoRequest();
    void twoPropertiesOfOneObjectShareOneUndoStep();
    void changeRefreshesOnceBeforeRequestFinished();
    void removalShowsTheFallback();
    void invalidValueLeavesTypedPropertyAlone();
    void unbindOnePropertyKeepsTheOther();
    void unbindAllRestoresSilentlyAndDisconnects();
    void destroyedObjectIsForgotten();
    void boundEditJoinsItsWritesIntoOneStep();
    void boundEditEndsWithItsObject();
    void writeBackRefreshesTheBoundObject();

private:
    QmdIndex makeBox(const QString &key, const QVariant &tempo);

    QmdMemModel *m_model = nullptr;
    QmdController *m_controller = nullptr;
    Knob *m_knob = nullptr;
};

void TestQmdBinding::init()
{
    m_model = new QmdMemModel(Qmd::StrDict, this);
    m_controller = new QmdController(this);
    m_controller->setModel(m_model);
    m_knob = new Knob;
}

void TestQmdBinding::cleanup()
{
    delete m_knob;
    delete m_controller;
    delete m_model;
}

// A string-keyed container under the root, holding "Tempo" unless tempo is
// invalid.
QmdIndex TestQmdBinding::makeBox(const QString &key, const QVariant &tempo)
{
    const QmdRequestOptions quiet(Qmd::NoUndoHistory);
    m_controller->requestSetType(key, Qmd::StrDict, QmdIndex(), quiet);
    const QmdIndex box = m_controller->index(key);
    if (tempo.isValid())
        m_controller->requestSetData(QStringLiteral("Tempo"), tempo, box, quiet);
    return box;
}

void TestQmdBinding::showsTheDocumentAtOnce_data()
{
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second"); // invalid: only one box watched
    QTest::addColumn<bool>("firstIsContainer");
    QTest::addColumn<int>("shown");

    QTest::newRow("one key") << QVariant(100) << QVariant() << false << 100;
    QTest::newRow("two equal keys") << QVariant(120) << QVariant(120) << false << 120;
    QTest::newRow("two differing keys") << QVariant(100) << QVariant(120) << false << Mixed;
    QTest::newRow("missing key") << QVariant() << QVariant() << false << Fallback;
    QTest::newRow("container") << QVariant() << QVariant() << true << Fallback;
}

void TestQmdBinding::showsTheDocumentAtOnce()
{
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);
    QFETCH(bool, firstIsContainer);
    QFETCH(int, shown);

    QmdController::WatchMap watches;
    const QmdIndex a = makeBox(QStringLiteral("a"), first);
    if (firstIsContainer)
        m_controller->requestSetType(QStringLiteral("Tempo"), Qmd::StrDict, a);
    watches.insert(a, QStringList("Tempo"));
    if (second.isValid())
        watches.insert(makeBox(QStringLiteral("b"), second), QStringList("Tempo"));
    m_knob->setValue(7);

    m_controller->bind(m_knob, "value", SIGNAL(valueChanged(int)), watches, Fallback, Mixed, QStringLiteral("Tempo"));
    QCOMPARE(m_knob->value(), shown);
}

void TestQmdBinding::editBecomesOneUndoableRequest()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Fallback, QStringLiteral("Change Tempo"));
    QCOMPARE(m_knob->value(), 100);
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    m_knob->edit(140);
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant(140));
    QCOMPARE(m_controller->undoText(), QStringLiteral("Change Tempo"));
    QTRY_COMPARE(finished.size(), 1);

    m_controller->requestUndo();
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(m_knob->value(), 100);
    QVERIFY(!m_controller->canUndo());
}

void TestQmdBinding::writeBackRefreshesTheBoundObject()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Fallback, QStringLiteral("Tempo"));
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    // A write-back shows once it is announced, and the refresh is no edit:
    // it makes no request of its own.
    m_controller->writeBack({QStringLiteral("Tempo"), QStringLiteral("Other")}, {130, 1}, QmdIndex());
    QCOMPARE(m_knob->value(), 100);
    QTRY_COMPARE(m_knob->value(), 130);
    QTRY_COMPARE(finished.size(), 1);
    settle();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!m_controller->canUndo());
}

void TestQmdBinding::ownEditIsNotWrittenBack()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100);
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Fallback, QStringLiteral("Tempo"));
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    // Two quick edits before the first request's end is relayed: the
    // refresh of the first must not put 140 back over 150.
    m_knob->edit(140);
    m_knob->edit(150);
    const int writes = m_knob->writes;
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(m_knob->value(), 150);
    QCOMPARE(m_knob->writes, writes);
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant(150));
}

void TestQmdBinding::unchangedValueMakesNoRequest()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Fallback, QStringLiteral("Tempo"));
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    emit m_knob->valueChanged(100); // a focus-out re-announcing the same value
    QTest::qWait(20);
    QVERIFY(finished.isEmpty());
    QVERIFY(!m_controller->canUndo());
}

void TestQmdBinding::mixedMarkerIsNotWrittenBack()
{
    QmdController::WatchMap watches;
    watches.insert(makeBox(QStringLiteral("a"), 100), QStringList("Tempo"));
    watches.insert(makeBox(QStringLiteral("b"), 120), QStringList("Tempo"));
    m_controller->bind(m_knob, "value", SIGNAL(valueChanged(int)), watches, Fallback, Mixed, QStringLiteral("Tempo"));
    QCOMPARE(m_knob->value(), Mixed);

    emit m_knob->valueChanged(Mixed);
    QVERIFY(!m_controller->canUndo());

    m_knob->edit(130);
    QCOMPARE(m_controller->data(QStringLiteral("Tempo"), watches.keys().at(0)), QVariant(130));
    QCOMPARE(m_controller->data(QStringLiteral("Tempo"), watches.keys().at(1)), QVariant(130));
    m_controller->requestUndo();
    QVERIFY(!m_controller->canUndo());
}

void TestQmdBinding::editOfMixedEntriesWritesOnlyThoseThatDiffer()
{
    QmdController::WatchMap watches;
    const QmdIndex a = makeBox(QStringLiteral("a"), 100);
    const QmdIndex b = makeBox(QStringLiteral("b"), 120);
    watches.insert(a, QStringList("Tempo"));
    watches.insert(b, QStringList("Tempo"));
    m_controller->bind(m_knob, "value", SIGNAL(valueChanged(int)), watches, Fallback, Mixed, QStringLiteral("Tempo"));

    settle();
    QSignalSpy changed(m_controller,
                       qOverload<const QmdIndex &, const QStringList &, QmdRequestId>(&QmdController::itemsChanged));
    m_knob->edit(120);
    QTRY_COMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).value<QmdIndex>(), a);
    QCOMPARE(m_knob->value(), 120);
}

void TestQmdBinding::unreadablePropertyMakesNoRequest()
{
    m_controller->bindKey(m_knob, "noSuchProperty", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Fallback, QStringLiteral("Tempo"));
    m_knob->edit(5);
    QVERIFY(!m_controller->canUndo());
    QCOMPARE(m_controller->keys(), QStringList());
}

void TestQmdBinding::twoPropertiesOfOneObjectShareOneUndoStep()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("old"), QmdIndex(),
                                 QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Fallback, QStringLiteral("Tempo"));
    m_controller->bindKey(m_knob, "text", SIGNAL(textChanged(QString)), QStringLiteral("Title"), QmdIndex(),
                          QString(), QString(), QStringLiteral("Title"));
    QCOMPARE(m_knob->text(), QStringLiteral("old"));
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);

    {
        const QSignalBlocker blocker(m_knob);
        m_knob->setText(QStringLiteral("new"));
    }
    m_knob->edit(90);
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant(90));
    QCOMPARE(m_controller->data(QStringLiteral("Title")), QVariant(QStringLiteral("new")));
    QTRY_COMPARE(finished.size(), 2);
    QCOMPARE(finished.at(0).at(0), finished.at(1).at(0));

    m_controller->requestUndo();
    QVERIFY(!m_controller->canUndo());
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant(100));
    QCOMPARE(m_controller->data(QStringLiteral("Title")), QVariant(QStringLiteral("old")));
}

void TestQmdBinding::changeRefreshesOnceBeforeRequestFinished()
{
    QmdController::WatchMap watches;
    watches.insert(QmdIndex(), QStringList({"a", "b"}));
    m_controller->bind(m_knob, "value", SIGNAL(valueChanged(int)), watches, Fallback, Mixed, QStringLiteral("Both"));
    QCOMPARE(m_knob->value(), Fallback);

    int shownAtFinish = 0;
    connect(m_controller, &QmdController::requestFinished, this,
            [&](QmdRequestId, int) { shownAtFinish = m_knob->value(); });
    QHash<QString, QVariant> both;
    both.insert(QStringLiteral("a"), 60);
    both.insert(QStringLiteral("b"), 60);
    const int writes = m_knob->writes;
    m_controller->requestSetData(both);
    QCOMPARE(m_knob->value(), Fallback);
    QTRY_COMPARE(shownAtFinish, 60);
    QCOMPARE(m_knob->writes, writes + 1);
}

void TestQmdBinding::removalShowsTheFallback()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100);
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Mixed, QStringLiteral("Tempo"));
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);
    m_controller->requestRemove(QStringLiteral("Tempo"));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(m_knob->value(), Fallback);
}

void TestQmdBinding::invalidValueLeavesTypedPropertyAlone()
{
    m_knob->setValue(33);
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          QVariant(), QVariant(), QStringLiteral("Tempo"));
    QCOMPARE(m_knob->value(), 33);
    m_controller->unbind(m_knob);
    QCOMPARE(m_knob->value(), 33);
}

void TestQmdBinding::unbindOnePropertyKeepsTheOther()
{
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Fallback, QStringLiteral("Tempo"));
    m_controller->bindKey(m_knob, "text", SIGNAL(textChanged(QString)), QStringLiteral("Title"), QmdIndex(),
                          QStringLiteral("untitled"), QString(), QStringLiteral("Title"));
    m_controller->unbind(m_knob, "value");
    QCOMPARE(m_controller->boundObjects(m_knob).size(), 1);

    m_knob->edit(77);
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant());
    m_knob->setText(QStringLiteral("Song"));
    QCOMPARE(m_controller->data(QStringLiteral("Title")), QVariant(QStringLiteral("Song")));

    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);
    m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("Other"));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(m_knob->text(), QStringLiteral("Other"));
}

void TestQmdBinding::unbindAllRestoresSilentlyAndDisconnects()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100);
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Mixed, QStringLiteral("Tempo"));
    m_controller->bindKey(m_knob, "text", SIGNAL(textChanged(QString)), QStringLiteral("Title"), QmdIndex(),
                          QStringLiteral("untitled"), QString(), QStringLiteral("Title"));
    QSignalSpy valueChanged(m_knob, &Knob::valueChanged);

    m_controller->unbind(m_knob);
    QVERIFY(m_controller->bindingTable().isEmpty());
    QCOMPARE(m_knob->value(), Fallback);
    QCOMPARE(m_knob->text(), QStringLiteral("untitled"));
    QVERIFY(valueChanged.isEmpty());
    QVERIFY(!m_knob->signalsBlocked());

    m_knob->edit(55);
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant(100));
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);
    m_controller->requestSetData(QStringLiteral("Tempo"), 90);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(m_knob->value(), 55);
}

void TestQmdBinding::destroyedObjectIsForgotten()
{
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Mixed, QStringLiteral("Tempo"));
    settle();
    QSignalSpy finished(m_controller, &QmdController::requestFinished);
    m_controller->requestSetData(QStringLiteral("Tempo"), 90); // refresh pending for the knob
    delete m_knob;
    m_knob = nullptr;
    QVERIFY(m_controller->bindingTable().isEmpty());
    QTRY_COMPARE(finished.size(), 1);

    // A new object, possibly at the same address, binds and edits normally.
    m_knob = new Knob;
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Mixed, QStringLiteral("Tempo"));
    QCOMPARE(m_knob->value(), 90);
    m_knob->edit(91);
    QCOMPARE(m_controller->data(QStringLiteral("Tempo")), QVariant(91));
}

void TestQmdBinding::boundEditJoinsItsWritesIntoOneStep()
{
    m_controller->requestSetData(QStringLiteral("Tempo"), 100, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Mixed, QStringLiteral("Tempo"));
    settle();
    const QString tempo = QStringLiteral("Tempo");

    m_controller->beginBoundEdit(m_knob);
    QVERIFY(m_controller->isInBoundEdit(m_knob));
    for (int value : {101, 102, 103})
        m_knob->edit(value);
    settle();
    QCOMPARE(m_controller->undoRedoCount(), 1);
    QCOMPARE(m_controller->undoText(), tempo);
    QCOMPARE(m_controller->data(tempo), QVariant(103));
    // Outside the history: the step stays open.
    m_controller->requestSetData(QStringLiteral("Zoom"), 2, QmdIndex(), QmdRequestOptions(Qmd::NoUndoHistory));
    m_knob->edit(104);
    settle();
    QCOMPARE(m_controller->undoRedoCount(), 1);

    m_controller->requestUndo();
    settle();
    QCOMPARE(m_controller->data(tempo), QVariant(100));
    QCOMPARE(m_knob->value(), 100);

    // After the undo a new step begins, and it too takes the later writes.
    m_knob->edit(110);
    m_knob->edit(111);
    settle();
    QCOMPARE(m_controller->undoRedoCount(), 1);
    QCOMPARE(m_controller->data(tempo), QVariant(111));

    // Another step in between: the edit goes on in a step of its own.
    m_controller->requestSetData(QStringLiteral("Title"), QStringLiteral("Song"), QmdIndex(),
                                 QmdRequestOptions(QStringLiteral("Title")));
    m_knob->edit(112);
    m_knob->edit(113);
    settle();
    QCOMPARE(m_controller->undoRedoCount(), 3);
    m_controller->requestUndo();
    settle();
    QCOMPARE(m_controller->data(tempo), QVariant(111));
    QCOMPARE(m_controller->data(QStringLiteral("Title")), QVariant(QStringLiteral("Song")));

    // Ended: every write is a step again.
    m_controller->endBoundEdit(m_knob);
    QVERIFY(!m_controller->isInBoundEdit(m_knob));
    m_knob->edit(120);
    m_knob->edit(121);
    settle();
    QCOMPARE(m_controller->undoRedoCount(), 4);

    // Beginning anew is a new step, even right after the last one.
    m_controller->beginBoundEdit(m_knob);
    m_knob->edit(130);
    m_knob->edit(131);
    settle();
    QCOMPARE(m_controller->undoRedoCount(), 5);
}

void TestQmdBinding::boundEditEndsWithItsObject()
{
    // Nothing bound: no edit opens.
    m_controller->beginBoundEdit(m_knob);
    QVERIFY(!m_controller->isInBoundEdit(m_knob));

    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Mixed, QStringLiteral("Tempo"));
    m_controller->beginBoundEdit(m_knob);
    m_controller->unbind(m_knob);
    QVERIFY(!m_controller->isInBoundEdit(m_knob));

    m_controller->bindKey(m_knob, "value", SIGNAL(valueChanged(int)), QStringLiteral("Tempo"), QmdIndex(),
                          Fallback, Mixed, QStringLiteral("Tempo"));
    m_controller->beginBoundEdit(m_knob);
    Knob *gone = m_knob;
    delete m_knob;
    m_knob = nullptr;
    QVERIFY(!m_controller->isInBoundEdit(gone));
}

QTEST_GUILESS_MAIN(TestQmdBinding)
#include "tst_qmdbinding.moc"
