#include "canvasfixture.h"
#include "graphicsvoicegroupitem.h"

#include <QPainter>
#include <QPicture>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <cstdlib>

using QmdVelka::TickPos;

class TestGraphicsVoiceGroupItem : public QObject
{
    Q_OBJECT

private slots:
    void markerPointsAtItsNode();
    void followsItsNodeOnly();
    void instrumentColourAndLabel();
    void withoutInstrumentTheDefaultLook();
    void removedInstrumentLeavesNoColour();
    void selectionThickensTheOutline();
    void copiedMarkersDrawAsDirectDrawingDoes_data();
    void copiedMarkersDrawAsDirectDrawingDoes();
    void preview();
};

namespace {

constexpr qint64 P = CanvasFixture::P;

const QColor defaultFill(170, 200, 255, 127);
const QColor defaultOutline(44, 101, 169);

// A new instrument of the document, with the colour and label.
QmdItemId addInstrument(CanvasFixture &f, const QColor &color, const QString &label)
{
    const QmdItemIdList before = f.controller()->instrumentIds();
    f.controller()->requestAddInstrument();
    f.settle();
    QmdItemId id = 0;
    for (QmdItemId candidate : f.controller()->instrumentIds()) {
        if (!before.contains(candidate))
            id = candidate;
    }
    const QmdIndex record = f.controller()->instrumentIndex(id);
    f.controller()->requestSetData(QStringLiteral("Color"), color, record);
    f.controller()->requestSetData(QStringLiteral("Label"), label, record);
    f.settle();
    return id;
}

} // namespace

void TestGraphicsVoiceGroupItem::markerPointsAtItsNode()
{
    CanvasFixture f;
    const QmdItemId node = f.addNode(TickPos(P, P / 2));
    auto *group = f.itemFor<GraphicsVoiceGroupItem>(f.addVoiceGroup(node));
    QVERIFY(group);
    QCOMPARE(group->type(), 0x10003);
    QCOMPARE(group->toNode(), node);
    QCOMPARE(group->pos(), QPointF(160, 80));
    const QPolygonF marker = group->polygon();
    const QPolygonF expected({QPointF(-36, 0), QPointF(-36, -16), QPointF(-40.0 / 3, 0), QPointF(-36, 16)});
    QCOMPARE(marker.size(), expected.size());
    for (int i = 0; i < marker.size(); ++i)
        QVERIFY2(QLineF(marker[i], expected[i]).length() < 1e-9, qPrintable(QDebug::toString(marker[i])));
}

void TestGraphicsVoiceGroupItem::followsItsNodeOnly()
{
    CanvasFixture f;
    const QmdItemId node = f.addNode(TickPos(0, 0));
    const QmdItemId other = f.addNode(TickPos(P, 0));
    const QmdItemId id = f.addVoiceGroup(node);
    auto *group = f.itemFor<GraphicsVoiceGroupItem>(id);

    f.set(node, QStringLiteral("TickPos"), QVariant(TickPos(-P, 2 * P)));
    QCOMPARE(group->pos(), QPointF(-160, 320));
    f.set(other, QStringLiteral("TickPos"), QVariant(TickPos(3 * P, 3 * P)));
    QCOMPARE(group->pos(), QPointF(-160, 320));
    // Its own position never takes it off its node.
    f.set(id, QStringLiteral("TickPos"), QVariant(TickPos(7 * P, 7 * P)));
    QCOMPARE(group->pos(), QPointF(-160, 320));

    f.set(id, QStringLiteral("ToNode"), other);
    QCOMPARE(group->pos(), QPointF(480, 480));
    f.set(other, QStringLiteral("TickPos"), QVariant(TickPos(P, 0)));
    QCOMPARE(group->pos(), QPointF(160, 0));
    f.set(node, QStringLiteral("TickPos"), QVariant(TickPos(0, 0)));
    QCOMPARE(group->pos(), QPointF(160, 0));
}

void TestGraphicsVoiceGroupItem::instrumentColourAndLabel()
{
    CanvasFixture f;
    const QmdItemId lead = addInstrument(f, QColor(255, 0, 0, 204), QStringLiteral("Lead"));
    const QmdItemId bass = addInstrument(f, QColor(0, 0, 255), QStringLiteral("Bass"));
    const QmdItemId id = f.addVoiceGroup(f.addNode(TickPos(0, 0)));
    f.set(id, QStringLiteral("InitialInstrument"), lead);
    auto *group = f.itemFor<GraphicsVoiceGroupItem>(id);
    QCOMPARE(group->pen().color().rgba(), qRgba(255, 0, 0, 255));
    QCOMPARE(group->brush().color().rgba(), qRgba(255, 0, 0, 102));
    QCOMPARE(group->toolTip(), QStringLiteral("Lead"));

    // The group follows its instrument's colour and label, not another's.
    f.controller()->requestSetData(QStringLiteral("Color"), QColor(0, 255, 0), f.controller()->instrumentIndex(lead));
    f.controller()->requestSetData(QStringLiteral("Label"), QStringLiteral("Solo"),
                                   f.controller()->instrumentIndex(lead));
    f.controller()->requestSetData(QStringLiteral("Label"), QStringLiteral("Low"), f.controller()->instrumentIndex(bass));
    f.settle();
    QCOMPARE(group->pen().color(), QColor(0, 255, 0));
    QCOMPARE(group->brush().color().rgba(), qRgba(0, 255, 0, 128));
    QCOMPARE(group->toolTip(), QStringLiteral("Solo"));

    f.scene()->clearSelection();
    f.set(id, QStringLiteral("InitialInstrument"), bass);
    QCOMPARE(group->pen().color(), QColor(0, 0, 255));
    QCOMPARE(group->toolTip(), QStringLiteral("Low"));
    // The outline keeps its width.
    QCOMPARE(group->pen().widthF(), 4.0 / 3);
}

void TestGraphicsVoiceGroupItem::withoutInstrumentTheDefaultLook()
{
    CanvasFixture f;
    const QmdItemId lead = addInstrument(f, QColor(255, 0, 0), QStringLiteral("Lead"));
    const QmdItemId id = f.addVoiceGroup(f.addNode(TickPos(0, 0)));
    auto *group = f.itemFor<GraphicsVoiceGroupItem>(id);
    f.set(id, QStringLiteral("InitialInstrument"), lead);
    QCOMPARE(group->pen().color(), QColor(255, 0, 0));

    for (QmdItemId instrument : {QmdItemId(0), QmdItemId(lead + 1000)}) {
        f.set(id, QStringLiteral("InitialInstrument"), instrument);
        QCOMPARE(group->pen().color(), defaultOutline);
        QCOMPARE(group->brush().color(), defaultFill);
        QVERIFY(group->toolTip().isEmpty());
    }

    // The instrument removed, the document opened again: the default look.
    f.set(id, QStringLiteral("InitialInstrument"), lead);
    f.controller()->requestRemove(f.controller()->instrumentIndex(lead));
    f.settle();
    f.controller()->reset();
    f.settle();
    group = f.itemFor<GraphicsVoiceGroupItem>(id);
    QCOMPARE(group->pen().color(), defaultOutline);
    QCOMPARE(group->brush().color(), defaultFill);
}

void TestGraphicsVoiceGroupItem::removedInstrumentLeavesNoColour()
{
    CanvasFixture f;
    const QmdItemId lead = addInstrument(f, QColor(255, 0, 0), QStringLiteral("Lead"));
    const QmdItemId bass = addInstrument(f, QColor(0, 0, 255), QStringLiteral("Bass"));
    const QmdItemId node = f.addNode(TickPos(0, 0));
    const QmdItemId leadGroup = f.addVoiceGroup(node);
    const QmdItemId bassGroup = f.addVoiceGroup(node);
    f.set(leadGroup, QStringLiteral("InitialInstrument"), lead);
    f.set(bassGroup, QStringLiteral("InitialInstrument"), bass);
    auto *leadItem = f.itemFor<GraphicsVoiceGroupItem>(leadGroup);
    auto *bassItem = f.itemFor<GraphicsVoiceGroupItem>(bassGroup);
    QCOMPARE(leadItem->pen().color(), QColor(255, 0, 0));

    // Removing an instrument turns its groups' markers to the default look at
    // once; the other groups keep theirs.
    f.controller()->requestRemove(f.controller()->instrumentIndex(lead));
    f.settle();
    QCOMPARE(leadItem->pen().color(), defaultOutline);
    QCOMPARE(leadItem->brush().color(), defaultFill);
    QVERIFY(leadItem->toolTip().isEmpty());
    QCOMPARE(bassItem->pen().color(), QColor(0, 0, 255));
    QCOMPARE(bassItem->toolTip(), QStringLiteral("Bass"));

    // Undo brings the instrument and its colour back.
    f.controller()->requestUndo();
    f.settle();
    QCOMPARE(f.controller()->instrumentIds().contains(lead), true);
    QCOMPARE(leadItem->pen().color(), QColor(255, 0, 0));
    QCOMPARE(leadItem->toolTip(), QStringLiteral("Lead"));

    // Redo removes it again.
    f.controller()->requestRedo();
    f.settle();
    QVERIFY(!f.controller()->instrumentIds().contains(lead));
    QCOMPARE(leadItem->pen().color(), defaultOutline);
    QCOMPARE(leadItem->brush().color(), defaultFill);

    // A reference that no undo step keeps (as a file may hold one) outlives
    // its instrument: undoing the instrument's addition still clears the
    // marker's colour and label.
    QmdVelkaController *c = f.controller();
    c->requestAddInstrument(QStringLiteral("Pad"), QColor(0, 160, 0), QBitArray(16, true));
    f.settle();
    const QmdItemId pad = c->instrumentIds().last();
    c->requestSetData(QStringLiteral("InitialInstrument"), pad, c->elementIndex(leadGroup),
                      QmdRequestOptions(Qmd::NoUndoHistory));
    f.settle();
    QCOMPARE(leadItem->pen().color(), QColor(0, 160, 0));
    QCOMPARE(leadItem->toolTip(), QStringLiteral("Pad"));
    c->requestUndo();
    f.settle();
    QVERIFY(!c->instrumentIds().contains(pad));
    QCOMPARE(c->elementData(leadGroup, QStringLiteral("InitialInstrument")).toUInt(), pad);
    QCOMPARE(leadItem->pen().color(), defaultOutline);
    QCOMPARE(leadItem->brush().color(), defaultFill);
    QVERIFY(leadItem->toolTip().isEmpty());
    QCOMPARE(bassItem->toolTip(), QStringLiteral("Bass"));
}

void TestGraphicsVoiceGroupItem::selectionThickensTheOutline()
{
    CanvasFixture f;
    auto *group = f.itemFor<GraphicsVoiceGroupItem>(f.addVoiceGroup(f.addNode(TickPos(0, 0))));
    QVERIFY(group->isSelected());
    QCOMPARE(group->pen().widthF(), 4.0);
    QCOMPARE(group->pen().joinStyle(), Qt::MiterJoin);
    f.scene()->clearSelection();
    QCOMPARE(group->pen().widthF(), 4.0 / 3);
}

void TestGraphicsVoiceGroupItem::copiedMarkersDrawAsDirectDrawingDoes_data()
{
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<QPointF>("offset");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("instrumentColor");
    QTest::newRow("plain") << 1.0 << QPointF(60, 40) << false << QColor();
    QTest::newRow("selected, between pixels") << 1.0 << QPointF(60.3, 40.6) << true << QColor();
    QTest::newRow("instrument colour") << 1.0 << QPointF(60.5, 40) << false << QColor(200, 60, 40);
    QTest::newRow("zoomed in, selected") << 2.0 << QPointF(100.7, 60.2) << true << QColor(40, 160, 90);
    QTest::newRow("zoomed out") << 0.25 << QPointF(30.4, 20.9) << false << QColor();
}

void TestGraphicsVoiceGroupItem::copiedMarkersDrawAsDirectDrawingDoes()
{
    // A marker is copied from a picture of its look only where the painter
    // rasterizes; a recorded picture replays its drawing directly. Both give
    // the same pixels but for a level of rounding where the outline blends
    // into the translucent fill. A plain and a selected marker drawn in turn
    // at the same place each keep their own outline.
    QFETCH(qreal, zoom);
    QFETCH(QPointF, offset);
    QFETCH(bool, selected);
    QFETCH(QColor, instrumentColor);
    CanvasFixture f;
    const QmdItemId id = f.addVoiceGroup(f.addNode(TickPos(0, 0)));
    auto *group = f.itemFor<GraphicsVoiceGroupItem>(id);
    if (instrumentColor.isValid()) {
        const QmdItemId instrument = addInstrument(f, instrumentColor, QStringLiteral("Lead"));
        f.set(id, QStringLiteral("InitialInstrument"), instrument);
    }
    QStyleOptionGraphicsItem option;
    const auto paintInto = [&](QPaintDevice *device) {
        QPainter painter(device);
        painter.setRenderHints(QPainter::Antialiasing);
        painter.translate(offset);
        painter.scale(zoom, zoom);
        group->paint(&painter, &option);
    };
    const QColor background(37, 38, 48);
    const auto copy = [&] {
        QImage image(120, 90, QImage::Format_ARGB32_Premultiplied);
        image.fill(background);
        paintInto(&image);
        return image;
    };
    f.scene()->clearSelection();
    group->setSelected(!selected);
    const QImage other = copy();
    group->setSelected(selected);
    // Twice, so that the second copy comes from the picture the first made.
    copy();
    const QImage copied = copy();

    QPicture recorded;
    paintInto(&recorded);
    QImage direct(copied.size(), QImage::Format_ARGB32_Premultiplied);
    direct.fill(background);
    QPainter replay(&direct);
    recorded.play(&replay);
    replay.end();

    int differing = 0;
    int largest = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            const QRgb a = copied.pixel(x, y);
            const QRgb b = direct.pixel(x, y);
            if (a == b)
                continue;
            ++differing;
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                std::abs(qBlue(a) - qBlue(b))});
        }
    }
    QVERIFY2(largest <= 1, qPrintable(QStringLiteral("%1 pixels differ, by up to %2").arg(differing).arg(largest)));
    QVERIFY(copied != other);
    // The marker was drawn at all: its fill left of the node.
    const QPoint inside = (offset + QPointF(-22 * zoom, 0)).toPoint();
    QVERIFY(copied.pixel(inside) != background.rgba());
}

void TestGraphicsVoiceGroupItem::preview()
{
    CanvasFixture f;
    auto *preview = new GraphicsVoiceGroupItem(f.scene());
    QCOMPARE(preview->id(), QmdItemId(0));
    QVERIFY(!preview->controller());
    QVERIFY(!f.scene()->elementItems().contains(preview));
    QCOMPARE(preview->toNode(), QmdItemId(0));
    QCOMPARE(preview->pen().color(), defaultOutline);
    QCOMPARE(preview->brush().color(), defaultFill);
    QCOMPARE(preview->pen().widthF(), 4.0 / 3);
    preview->applyInstrument(1);
    preview->onElementDataChangedOrRemoved(0, {QStringLiteral("ToNode")}, 1);
    QCOMPARE(preview->pos(), QPointF(0, 0));
    QCOMPARE(preview->pen().color(), defaultOutline);
    delete preview;
}

CANVAS_TEST_MAIN(TestGraphicsVoiceGroupItem)
#include "tst_graphicsvoicegroupitem.moc"
