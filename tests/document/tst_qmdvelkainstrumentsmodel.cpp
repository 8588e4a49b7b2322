#include "instrumentsmodel.h"
#include "outputportnames.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QtTest>

#include <memory>

namespace {

// A document whose instruments are added through requests; the announcements
// that the controller's change relays make are sent here directly, so that
// each step of the list can be checked on its own.
class Document
{
public:
    Document()
    {
        controller.setModel(&model);
    }

    QmdItemId addInstrument(const QString &label, const QColor &colour)
    {
        const QmdItemIdList before = controller.instrumentIds();
        controller.requestAddInstrument(label, colour, QBitArray(16));
        for (QmdItemId id : controller.instrumentIds()) {
            if (!before.contains(id))
                return id;
        }
        return 0;
    }

    InstrumentsModel *list() const { return controller.instrumentsModel(); }

    QStringList labels() const
    {
        QStringList labels;
        for (int row = 0; row < list()->rowCount(); ++row)
            labels << list()->index(row, 0).data().toString();
        return labels;
    }

    QmdMemModel model;
    QmdVelkaController controller;
};

} // namespace

class TestQmdVelkaInstrumentsModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void withoutController();
    void rowsFollowTheDocument();
    void changedRowIsAnnounced_data();
    void changedRowIsAnnounced();
    void swatchShowsColour();
    void followsInstrumentRequests();
};

void TestQmdVelkaInstrumentsModel::initTestCase()
{
    OutputPortNames::setSource([] { return QSet<QString>(); });
}

void TestQmdVelkaInstrumentsModel::withoutController()
{
    InstrumentsModel list;
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(list.rowCount(), 0);
    QVERIFY(!list.index(0, 0).isValid());
    list.onInstrumentsAdded({1, 2});
    QCOMPARE(list.rowCount(), 0);
    QVERIFY(!list.index(0, 0).data().isValid());
}

void TestQmdVelkaInstrumentsModel::rowsFollowTheDocument()
{
    Document document;
    const QmdItemId bass = document.addInstrument("Bass", Qt::red);
    const QmdItemId lead = document.addInstrument("Lead", Qt::blue);
    document.controller.reset();
    InstrumentsModel *list = document.list();
    QAbstractItemModelTester tester(list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(document.labels(), (QStringList{"Bass", "Lead"}));
    QCOMPARE(list->index(1, 0).data(Qt::UserRole), QVariant(uint(lead)));
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->rowCount(list->index(0, 0)), 0);
    QVERIFY(!list->parent(list->index(0, 0)).isValid());
    QVERIFY(!list->index(0, 1).isValid());
    QVERIFY(!list->index(2, 0).isValid());
    QVERIFY(!(list->flags(list->index(0, 0)) & Qt::ItemIsEditable));

    QSignalSpy inserted(list, &QAbstractItemModel::rowsInserted);
    const QmdItemId pad = document.addInstrument("Pad", Qt::green);
    emit document.controller.instrumentsAdded({pad}, 0);
    emit document.controller.instrumentsAdded({pad, bass}, 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(document.labels(), (QStringList{"Bass", "Lead", "Pad"}));

    QSignalSpy removed(list, &QAbstractItemModel::rowsRemoved);
    document.controller.requestRemove(bass, document.controller.instrumentsIndex());
    emit document.controller.instrumentsRemoved({bass, 4242}, 0);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(document.labels(), (QStringList{"Lead", "Pad"}));
    QCOMPARE(list->index(1, 0).data(Qt::UserRole), QVariant(uint(pad)));

    // A new document in the model: the rows are those of its instruments.
    QSignalSpy resetSpy(list, &QAbstractItemModel::modelReset);
    document.controller.requestRemove(lead, document.controller.instrumentsIndex());
    document.addInstrument("Drums", Qt::black);
    document.controller.reset();
    QVERIFY(resetSpy.count() >= 1);
    QCOMPARE(document.labels(), (QStringList{"Pad", "Drums"}));
}

void TestQmdVelkaInstrumentsModel::changedRowIsAnnounced_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("announced");

    QTest::newRow("label") << QStringList{"Label"} << true << true;
    QTest::newRow("colour among others") << QStringList{"MidiChannels", "Color"} << true << true;
    QTest::newRow("port") << QStringList{"MidiPort"} << true << false;
    QTest::newRow("channels and program") << QStringList{"MidiChannels", "MidiProgram"} << true << false;
    QTest::newRow("other letter case") << QStringList{"label"} << true << false;
    QTest::newRow("unlisted instrument") << QStringList{"Label"} << false << false;
}

void TestQmdVelkaInstrumentsModel::changedRowIsAnnounced()
{
    QFETCH(QStringList, keys);
    QFETCH(bool, known);
    QFETCH(bool, announced);
    Document document;
    document.addInstrument("Bass", Qt::red);
    const QmdItemId lead = document.addInstrument("Lead", Qt::blue);
    document.controller.reset();

    QSignalSpy changed(document.list(), &QAbstractItemModel::dataChanged);
    emit document.controller.instrumentDataChanged(known ? lead : 4242, keys, 0);
    emit document.controller.instrumentDataRemoved(known ? lead : 4242, keys, 0);
    QCOMPARE(changed.count(), announced ? 2 : 0);
    if (announced) {
        QCOMPARE(changed.at(0).at(0).toModelIndex(), document.list()->index(1, 0));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), document.list()->index(1, 0));
    }
}

void TestQmdVelkaInstrumentsModel::swatchShowsColour()
{
    Document document;
    document.addInstrument("Half", QColor(255, 0, 0, 128));
    document.controller.reset();
    const QVariant decoration = document.list()->index(0, 0).data(Qt::DecorationRole);
    QCOMPARE(decoration.metaType(), QMetaType::fromType<QPixmap>());
    const QImage image = decoration.value<QPixmap>().toImage();
    QCOMPARE(image.size(), QSize(10, 10));
    QCOMPARE(image.pixelColor(0, 0), QColor(255, 0, 0));
    QCOMPARE(image.pixelColor(9, 9), QColor(255, 0, 0));
    const QColor inside = image.pixelColor(5, 5);
    QCOMPARE(inside.red(), 255);
    QVERIFY2(qAbs(inside.green() - 179) <= 2 && qAbs(inside.blue() - 179) <= 2,
             qPrintable(inside.name()));
}

// The whole way: requests change the records, the controller's relays
// announce them through the event loop, the list follows.
void TestQmdVelkaInstrumentsModel::followsInstrumentRequests()
{
    Document document;
    QmdVelkaController &c = document.controller;
    QAbstractItemModelTester tester(document.list(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    c.requestAddInstrument();
    c.requestAddInstrument();
    QTRY_COMPARE(document.labels(), (QStringList{"Instrument", "Instrument 2"}));
    const QmdItemIdList ids = c.instrumentIds();

    QSignalSpy changed(document.list(), &QAbstractItemModel::dataChanged);
    c.requestSetData("Label", "Strings", c.instrumentIndex(ids.at(1)));
    QTRY_COMPARE(changed.count(), 1);
    QCOMPARE(document.labels(), (QStringList{"Instrument", "Strings"}));
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);

    c.requestSetData("Color", QColor(Qt::cyan), c.instrumentIndex(ids.at(0)));
    QTRY_COMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toModelIndex().row(), 0);

    c.requestRemove(ids.at(0), c.instrumentsIndex());
    QTRY_COMPARE(document.labels(), QStringList{"Strings"});
    c.requestUndo();
    QTRY_COMPARE(document.list()->rowCount(), 2);
    QCOMPARE(document.labels().last(), "Instrument");
}

QTEST_MAIN(TestQmdVelkaInstrumentsModel)
#include "tst_qmdvelkainstrumentsmodel.moc"
