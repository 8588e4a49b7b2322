// Large documents: load, paste, delete, undo and redo change the model in
// whole batches. Each result is compared, key by key and type by type, with
// the tree the same operation builds entry by entry, and the announcements a
// listener receives are counted.

#include "controllertest.h"
#include "filesdocument.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkaclipboard.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkaimporter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using QmdVelka::TickPos;

namespace {

const qint64 principal = 665280;
const int side = 26; // 676 nodes, 1300 edges, 68 voice groups: 2044 elements

// A model that takes trees entry by entry, through the ordinary change
// operations: the slow way to compare with.
class EntryByEntryModel : public QmdMemModel
{
public:
    void setTree(const QmdIndex &target, std::unique_ptr<QmdTree> tree) override
    {
        QmdModel::setTree(target, std::move(tree));
    }
    void setTrees(const QHash<QmdItemId, QmdTree *> &trees, const QmdIndex &parent) override
    {
        QmdModel::setTrees(trees, parent);
    }
};

// A document with its own model and counters of what it announced.
struct Document
{
    explicit Document(QmdMemModel *model)
        : model(model)
    {
        controller.setModel(model);
        ControllerTest::settle();
        QObject::connect(&controller, &QmdController::modelReset, [this] { ++resets; });
        QObject::connect(&controller, &QmdController::rootChanged, [this] { ++roots; });
        QObject::connect(&controller, &QmdElementDocController::elementsAdded, [this] { ++added; });
        QObject::connect(&controller, &QmdElementDocController::elementsRemoved, [this] { ++removed; });
        QObject::connect(&controller, &QmdElementDocController::elementDataChanged, [this] { ++changed; });
    }

    void clearCounts() { resets = roots = added = removed = changed = 0; }

    // Elements and their states, every value with its type.
    QString tree() const
    {
        return FilesDocument::dump(model, controller.elementsIndex())
             + FilesDocument::dump(model, controller.elementStatesIndex());
    }

    QmdMemModel *model;
    QmdVelkaController controller;
    int resets = 0;
    int roots = 0;
    int added = 0;
    int removed = 0;
    int changed = 0;
};

// A grid of nodes, each joined to its right and lower neighbours, with a
// voice group on every tenth node, built request by request.
void buildGrid(QmdVelkaController &controller)
{
    QList<QmdIndex> nodes;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            controller.requestAddNode(TickPos(column * principal, row * principal));
            nodes.append(controller.elementIndex(controller.elementIds().last()));
        }
    }
    for (int i = 0; i < nodes.size(); ++i) {
        if ((i + 1) % side != 0)
            controller.requestAddEdge(nodes.at(i), nodes.at(i + 1));
        if (i + side < nodes.size())
            controller.requestAddEdge(nodes.at(i), nodes.at(i + side), QmdVelka::Direct);
        if (i % 10 == 0)
            controller.requestAddVoiceGroup(nodes.at(i));
    }
    ControllerTest::settle();
}

} // namespace

class TestQmdVelkaBulk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadInstallsTheWholeTree();
    void pasteDeleteUndoRedo();

private:
    QTemporaryDir m_dir;
    QString m_fileName;
    QByteArray m_payload;
};

void TestQmdVelkaBulk::initTestCase()
{
    OutputPortNames::setSource([] { return QSet<QString>{"Synth Out 1"}; });
    QVERIFY(m_dir.isValid());
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    buildGrid(controller);
    QVERIFY(controller.elementIds().size() > 2000);
    m_fileName = m_dir.filePath("grid.vlk");
    controller.requestSave(m_fileName);
    QVERIFY(QFile::exists(m_fileName));
    const QmdItemIdList ids = controller.elementIds();
    m_payload = QmdVelkaClipboard(&controller).payload(QmdItemIdSet(ids.cbegin(), ids.cend()));
}

void TestQmdVelkaBulk::loadInstallsTheWholeTree()
{
    QmdMemModel fastModel;
    Document fast(&fastModel);
    fast.controller.requestAddNode(TickPos(1, 1));
    ControllerTest::settle();
    fast.clearCounts();
    fast.controller.requestLoad(m_fileName);
    ControllerTest::settle();
    QCOMPARE(fast.resets, 1);
    QCOMPARE(fast.roots, 0);
    QCOMPARE(fast.added, 0);
    QCOMPARE(fast.removed, 0);
    QCOMPARE(fast.changed, 0);

    EntryByEntryModel slowModel;
    Document slow(&slowModel);
    slow.controller.requestLoad(m_fileName);
    ControllerTest::settle();
    QVERIFY(fast.tree().contains("TickPos = TickPos"));
    QCOMPARE(fast.tree(), slow.tree());
    QCOMPARE(FilesDocument::dump(&fastModel), FilesDocument::dump(&slowModel));

    // A second load frees the first tree and builds the same one.
    const QString first = FilesDocument::dump(&fastModel);
    fast.controller.requestLoad(m_fileName);
    ControllerTest::settle();
    QCOMPARE(FilesDocument::dump(&fastModel), first);
}

void TestQmdVelkaBulk::pasteDeleteUndoRedo()
{
    QmdMemModel fastModel;
    Document fast(&fastModel);
    EntryByEntryModel slowModel;
    Document slow(&slowModel);

    // Paste: one undo step "Paste", one announcement of the new elements.
    fast.clearCounts();
    QmdVelkaClipboard(&fast.controller).pastePayload(m_payload, TickPos(0, 0));
    QmdVelkaClipboard(&slow.controller).pastePayload(m_payload, TickPos(0, 0));
    ControllerTest::settle();
    QVERIFY(fast.controller.elementIds().size() > 2000);
    QCOMPARE(fast.controller.undoText(), QStringLiteral("Paste"));
    QCOMPARE(fast.controller.undoRedoCount(), 1);
    QCOMPARE(fast.added, 1);
    QCOMPARE(fast.changed, 0);
    const QString pasted = fast.tree();
    QCOMPARE(pasted, slow.tree());
    QCOMPARE(fast.controller.elementStatesIndex().isValid(), true);
    QCOMPARE(fastModel.ids(fast.controller.elementStatesIndex()).size(), side * side + 2 * side * (side - 1));

    // Delete of a selection (every other node, with the edges and voice groups
    // that hang on them): a bounded number of announcements, one undo step.
    QmdItemIdList selection;
    for (QmdItemId id : fast.controller.elementIds()) {
        if (fast.controller.elementType(id) == QmdVelka::Node && id % 2 == 0)
            selection.append(id);
    }
    fast.clearCounts();
    fast.controller.requestRemove(selection, fast.controller.elementsIndex());
    ControllerTest::settle();
    QVERIFY(fast.removed <= 3);
    QCOMPARE(fast.added, 0);
    QCOMPARE(fast.controller.undoRedoCount(), 2);
    // The slow way: one element at a time.
    for (QmdItemId id : std::as_const(selection)) {
        slow.controller.requestRemove(QmdItemIdList{id}, slow.controller.elementsIndex());
        ControllerTest::settle();
    }
    const QString deleted = fast.tree();
    QCOMPARE(deleted, slow.tree());
    QVERIFY(fast.controller.elementIds().size() < 1000);

    // Undo and redo of the delete, then of the paste.
    fast.clearCounts();
    fast.controller.requestUndo();
    ControllerTest::settle();
    QCOMPARE(fast.tree(), pasted);
    QVERIFY(fast.added <= 2);
    fast.controller.requestRedo();
    ControllerTest::settle();
    QCOMPARE(fast.tree(), deleted);
    fast.controller.requestUndo();
    fast.controller.requestUndo();
    ControllerTest::settle();
    QVERIFY(fast.controller.elementIds().isEmpty());
    QCOMPARE(fastModel.ids(fast.controller.elementStatesIndex()).size(), 0);
    fast.clearCounts();
    fast.controller.requestRedo();
    ControllerTest::settle();
    QCOMPARE(fast.tree(), pasted);
    QCOMPARE(fast.added, 1);

    // The history limit still holds.
    fast.controller.requestSetUndoRedoLimit(1);
    QCOMPARE(fast.controller.undoRedoCount(), 1);
    fast.controller.requestRemove(selection, fast.controller.elementsIndex());
    ControllerTest::settle();
    QCOMPARE(fast.controller.undoRedoCount(), 1);
    QCOMPARE(fast.tree(), deleted);
}

QTEST_MAIN(TestQmdVelkaBulk)
#include "tst_qmdvelkabulk.moc"
