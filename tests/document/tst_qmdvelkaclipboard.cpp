#include "controllertest.h"
#include "filesdocument.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkaclipboard.h"
#include "qmdvelkacontroller.h"

#include <QClipboard>
#include <QDomDocument>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

#include <limits>
#include <memory>

using QmdVelka::TickPos;

namespace {

// A document with its own model.
struct Document
{
    Document()
    {
        controller.setModel(&model);
    }

    QmdIndex addNode(const TickPos &pos)
    {
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddNode(pos);
        return controller.elementIndex(ControllerTest::newId(before, controller.elementIds()));
    }

    QmdItemId addEdge(const QmdIndex &from, const QmdIndex &to)
    {
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddEdge(from, to);
        return ControllerTest::newId(before, controller.elementIds());
    }

    QmdItemId addTextBox(const TickPos &pos)
    {
        const QmdItemIdList before = controller.elementIds();
        controller.requestAddTextBox(pos);
        return ControllerTest::newId(before, controller.elementIds());
    }

    QVariant value(QmdItemId element, const QString &key) const { return controller.elementData(element, key); }

    // The elements a request added, by kind.
    QHash<int, QmdItemIdList> addedSince(const QmdItemIdList &before) const
    {
        QHash<int, QmdItemIdList> added;
        for (QmdItemId id : controller.elementIds()) {
            if (!before.contains(id))
                added[controller.elementType(id)].append(id);
        }
        return added;
    }

    QMap<QmdItemId, int> arcIdentifiers(QmdItemId node) const
    {
        QMap<QmdItemId, int> arcs;
        const QmdIndex container = controller.index("ArcIdentifiers", controller.elementIndex(node));
        for (QmdItemId edge : controller.ids(container))
            arcs.insert(edge, controller.data(edge, container).toInt());
        return arcs;
    }

    QmdMemModel model;
    QmdVelkaController controller;
};

void putOnClipboard(const QString &format, const QByteArray &bytes)
{
    auto *mimeData = new QMimeData;
    mimeData->setData(format, bytes);
    QGuiApplication::clipboard()->setMimeData(mimeData);
}

} // namespace

class TestQmdVelkaClipboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void copyWritesElementsOnly();
    void pastedCopiesAreIndependent();
    void pastePlacement_data();
    void pastePlacement();
    void danglingReferencesAreDropped();
    void pasteWithoutElementsChangesNothing_data();
    void pasteWithoutElementsChangesNothing();
};

void TestQmdVelkaClipboard::initTestCase()
{
    OutputPortNames::setSource([] { return QSet<QString>(); });
}

void TestQmdVelkaClipboard::copyWritesElementsOnly()
{
    Document source;
    const QmdIndex node = source.addNode(TickPos(1, 2));
    const QmdItemId text = source.addTextBox(TickPos(3, 4));
    source.controller.requestAddInstrument();
    const QString undoText = source.controller.undoText();
    const QString before = FilesDocument::dump(&source.model);

    QVERIFY(source.controller.requestCopy({node.id(), text, 4242}) != 0);

    QCOMPARE(FilesDocument::dump(&source.model), before);
    QCOMPARE(source.controller.undoText(), undoText);
    const QMimeData *mimeData = QGuiApplication::clipboard()->mimeData();
    QVERIFY(mimeData->hasFormat("text/velka-elements"));
    QDomDocument payload;
    QVERIFY(payload.setContent(mimeData->data("text/velka-elements")));
    const QDomElement top = payload.documentElement().firstChildElement();
    QCOMPARE(top.tagName(), "dict");
    QStringList keys;
    for (QDomElement key = top.firstChildElement("key"); !key.isNull(); key = key.nextSiblingElement("key"))
        keys << key.text();
    QCOMPARE(keys, (QStringList{"ContainerType", QString::number(node.id()), QString::number(text)}));
    QCOMPARE(top.firstChildElement("string").text(), "IntDict");
    const QString payloadText = payload.toString();
    QVERIFY(payloadText.contains("<string>Node</string>"));
    QVERIFY(payloadText.contains("<string>{1, 2}</string>"));
    QVERIFY(!payloadText.contains("Instrument"));
    QVERIFY(!payloadText.contains("Tempo"));
}

void TestQmdVelkaClipboard::pastedCopiesAreIndependent()
{
    Document source;
    const QmdIndex a = source.addNode(TickPos(0, 0));
    const QmdIndex b = source.addNode(TickPos(665280, 0));
    const QmdItemId edge = source.addEdge(a, b);
    source.controller.requestAddVoiceGroup(a);
    source.controller.requestSetData("Instrument", 99u, a);
    const QmdItemIdList all = source.controller.elementIds();
    source.controller.requestCopy(QmdItemIdSet(all.cbegin(), all.cend()));
    QCOMPARE(source.controller.elementIds().size(), 4);
    QVERIFY(edge != 0);

    Document target;
    target.addTextBox(TickPos(0, 0));
    QList<QHash<int, QmdItemIdList>> pastes;
    for (int i = 0; i < 2; ++i) {
        const QmdItemIdList before = target.controller.elementIds();
        target.controller.requestPaste(TickPos(0, 0));
        // What the controller does in answer to the new elements joins the step.
        QCoreApplication::processEvents();
        QCOMPARE(target.controller.undoText(), "Paste");
        pastes << target.addedSince(before);
    }

    QSet<QmdItemId> allNew;
    for (const auto &added : pastes) {
        QCOMPARE(added.value(QmdVelka::Node).size(), 2);
        QCOMPARE(added.value(QmdVelka::Edge).size(), 1);
        QCOMPARE(added.value(QmdVelka::VoiceGroup).size(), 1);
        const QmdItemId newA = added.value(QmdVelka::Node).at(0);
        const QmdItemId newB = added.value(QmdVelka::Node).at(1);
        const QmdItemId newEdge = added.value(QmdVelka::Edge).at(0);
        QCOMPARE(target.value(newEdge, "FromNode"), QVariant(newA));
        QCOMPARE(target.value(newEdge, "ToNode"), QVariant(newB));
        QCOMPARE(target.value(newEdge, "Path"), QVariant(0));
        QCOMPARE(target.arcIdentifiers(newA), (QMap<QmdItemId, int>{{newEdge, 0}}));
        QCOMPARE(target.value(newA, "ArcUsageList"), QVariant(QString("%1=1").arg(newEdge)));
        QCOMPARE(target.value(newA, "Instrument").toUInt(), 99u);
        QCOMPARE(target.value(added.value(QmdVelka::VoiceGroup).at(0), "ToNode"), QVariant(newA));
        QCOMPARE(target.value(newB, "TickPos").value<TickPos>().x
                     - target.value(newA, "TickPos").value<TickPos>().x,
                 665280);
        for (const QmdItemIdList &ids : added)
            allNew.unite(QSet<QmdItemId>(ids.cbegin(), ids.cend()));
    }
    QCOMPARE(allNew.size(), 8);

    target.controller.requestUndo();
    QCOMPARE(target.controller.elementIds().size(), 5);
    target.controller.requestUndo();
    QCOMPARE(target.controller.elementIds().size(), 1);
}

void TestQmdVelkaClipboard::pastePlacement_data()
{
    QTest::addColumn<QList<qint64>>("textBoxes");
    QTest::addColumn<qint64>("node");
    QTest::addColumn<QVariant>("divisions");
    QTest::addColumn<qint64>("center");
    QTest::addColumn<QList<qint64>>("pasted");

    const qint64 none = std::numeric_limits<qint64>::min();
    const qint64 max = std::numeric_limits<qint64>::max();
    using L = QList<qint64>;
    QTest::newRow("one text box") << L{-500} << none << QVariant(4u) << qint64(10) << L{10};
    QTest::newRow("two text boxes") << L{0, 3} << none << QVariant(4u) << qint64(10) << L{9, 12};
    QTest::newRow("node to grid") << L{} << qint64(7) << QVariant(4u) << qint64(100000) << L{166320};
    QTest::newRow("half step up") << L{} << qint64(0) << QVariant(4u) << qint64(83160) << L{166320};
    QTest::newRow("half step down") << L{} << qint64(0) << QVariant(4u) << qint64(-83160) << L{-166320};
    QTest::newRow("text box follows node") << L{300000} << qint64(0) << QVariant(4u) << qint64(300000)
                                           << L{166320, 466320};
    QTest::newRow("no divisions") << L{} << qint64(0) << QVariant(0u) << qint64(400000) << L{665280};
    QTest::newRow("negative divisions") << L{} << qint64(0) << QVariant(-4) << qint64(400000) << L{665280};
    QTest::newRow("too many divisions") << L{} << qint64(0) << QVariant(1000000000u) << qint64(100001)
                                        << L{100001};
    QTest::newRow("divisions as text") << L{} << qint64(0) << QVariant("x") << qint64(400000) << L{665280};
    QTest::newRow("far edge of the canvas") << L{} << qint64(-5) << QVariant(4u) << max
                                            << L{9223372036854748080};
}

void TestQmdVelkaClipboard::pastePlacement()
{
    QFETCH(QList<qint64>, textBoxes);
    QFETCH(qint64, node);
    QFETCH(QVariant, divisions);
    QFETCH(qint64, center);
    QFETCH(QList<qint64>, pasted);

    Document source;
    QmdItemIdList copied;
    if (node != std::numeric_limits<qint64>::min())
        copied << source.addNode(TickPos(node, 0)).id();
    for (qint64 x : textBoxes)
        copied << source.addTextBox(TickPos(x, 0));
    source.controller.requestCopy(QmdItemIdSet(copied.cbegin(), copied.cend()));

    Document target;
    target.controller.requestSetData("DivsPerPrincipal", divisions);
    target.controller.requestPaste(TickPos(center, -3));
    const QmdItemIdList ids = target.controller.elementIds();
    QCOMPARE(ids.size(), pasted.size());
    QList<qint64> xs;
    for (QmdItemId id : ids)
        xs << target.value(id, "TickPos").value<TickPos>().x;
    QCOMPARE(xs, pasted);
    if (node == std::numeric_limits<qint64>::min())
        QCOMPARE(target.value(ids.first(), "TickPos").value<TickPos>().y, qint64(-3));
}

void TestQmdVelkaClipboard::danglingReferencesAreDropped()
{
    Document source;
    const QmdIndex a = source.addNode(TickPos(0, 0));
    const QmdIndex b = source.addNode(TickPos(0, 0));
    const QmdIndex c = source.addNode(TickPos(0, 0));
    const QmdItemId toB = source.addEdge(a, b);
    const QmdItemId toC = source.addEdge(a, c);
    // Entries of an edge left behind, empty, malformed, and naming a node.
    source.controller.requestSetData("ArcUsageList", QString("%1=2,%2=1,,junk,%3=5").arg(toB).arg(toC).arg(b.id()),
                                     a);
    source.controller.requestAddVoiceGroup(c);
    QmdItemIdSet copied{a.id(), b.id(), toB, toC};
    for (QmdItemId id : source.controller.elementIds()) {
        if (source.controller.elementType(id) == QmdVelka::VoiceGroup)
            copied.insert(id);
    }
    source.controller.requestCopy(copied);

    Document target;
    target.controller.requestPaste(TickPos(0, 0));
    const QHash<int, QmdItemIdList> added = target.addedSince({});
    QCOMPARE(added.value(QmdVelka::Node).size(), 2);
    QCOMPARE(added.value(QmdVelka::Edge).size(), 1);
    QCOMPARE(added.value(QmdVelka::VoiceGroup).size(), 0);
    const QmdItemId newA = added.value(QmdVelka::Node).at(0);
    const QmdItemId newEdge = added.value(QmdVelka::Edge).at(0);
    QCOMPARE(target.value(newA, "ArcUsageList"), QVariant(QString("%1=2").arg(newEdge)));
    QCOMPARE(target.arcIdentifiers(newA), (QMap<QmdItemId, int>{{newEdge, 0}}));
    QCOMPARE(target.value(newEdge, "ToNode"), QVariant(added.value(QmdVelka::Node).at(1)));

    // An edge alone, or a node whose edges stay behind.
    source.controller.requestCopy({toB, c.id()});
    target.controller.requestPaste(TickPos(0, 0));
    const QHash<int, QmdItemIdList> second = target.addedSince(added.value(QmdVelka::Node) + QmdItemIdList{newEdge});
    QCOMPARE(second.value(QmdVelka::Edge).size(), 0);
    QCOMPARE(second.value(QmdVelka::Node).size(), 1);
    QCOMPARE(target.arcIdentifiers(second.value(QmdVelka::Node).at(0)), (QMap<QmdItemId, int>{}));
}

void TestQmdVelkaClipboard::pasteWithoutElementsChangesNothing_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("other data") << "text/plain" << QByteArray("<plist/>");
    QTest::newRow("other case") << "Text/Velka-Elements" << QByteArray("<plist/>");
    QTest::newRow("broken payload") << "text/velka-elements" << QByteArray("<plist version=\"1.0\"><dict>");
    QTest::newRow("no elements") << "text/velka-elements"
                                 << QByteArray("<plist version=\"1.0\"><string>Node</string></plist>");
}

void TestQmdVelkaClipboard::pasteWithoutElementsChangesNothing()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, bytes);
    Document target;
    target.addNode(TickPos(1, 1));
    const QString before = FilesDocument::dump(&target.model);
    putOnClipboard(format, bytes);

    QVERIFY(target.controller.requestPaste(TickPos(0, 0)) != 0);
    QCOMPARE(FilesDocument::dump(&target.model), before);
    QCOMPARE(target.controller.undoText(), "Node");
}

QTEST_MAIN(TestQmdVelkaClipboard)
#include "tst_qmdvelkaclipboard.moc"
