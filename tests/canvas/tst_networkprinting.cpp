#include "canvasfixture.h"
#include "graphicsvoicegroupitem.h"
#include "networkprinting.h"
#include "sceneshot.h"

#include <QPainter>

using QmdVelka::TickPos;

// What a print of the network takes in: every item's whole drawing, even
// where it reaches past the nodes and text boxes that size the scene.
class TestNetworkPrinting : public QObject
{
    Q_OBJECT

private slots:
    void takesInEveryItem_data();
    void takesInEveryItem();
    void printedPageShowsTheWholeMarker();
};

namespace {

constexpr qint64 P = CanvasFixture::P;

// A node on the left of the network, far from the origin, with a voice
// group: its marker reaches further left than the node and the contents
// margin.
struct MarkedNetwork
{
    explicit MarkedNetwork(CanvasFixture &f)
    {
        left = f.addNode(TickPos(-12 * P, -8 * P));
        right = f.addNode(TickPos(-8 * P, -6 * P));
        f.addEdge(left, right);
        group = f.addVoiceGroup(left);
    }
    QmdItemId left = 0;
    QmdItemId right = 0;
    QmdItemId group = 0;
};

} // namespace

void TestNetworkPrinting::takesInEveryItem_data()
{
    QTest::addColumn<bool>("selected");
    QTest::newRow("selected marker") << true;
    QTest::newRow("plain marker") << false;
}

void TestNetworkPrinting::takesInEveryItem()
{
    QFETCH(bool, selected);
    CanvasFixture f;
    // The view sizes the scene rectangle, as in the window.
    f.view();
    const MarkedNetwork n(f);
    f.scene()->clearSelection();
    QGraphicsItem *marker = f.scene()->elementItem(n.group)->graphicsItem();
    marker->setSelected(selected);
    CanvasFixture::settle();
    // The marker reaches past the scene rectangle.
    QVERIFY(!f.scene()->sceneRect().contains(marker->sceneBoundingRect()));

    // Rectangles keep their width, not their right edge: allow for rounding.
    const QRectF printed = printedSceneRect(*f.scene()).adjusted(-1e-6, -1e-6, 1e-6, 1e-6);
    QVERIFY(printed.contains(f.scene()->sceneRect()));
    for (QGraphicsItem *item : f.scene()->items())
        QVERIFY(printed.contains(item->sceneBoundingRect()));
    QVERIFY(printed.left() < marker->sceneBoundingRect().left());

    // An empty scene prints its rectangle.
    CanvasFixture empty;
    empty.view();
    QCOMPARE(printedSceneRect(*empty.scene()), empty.scene()->sceneRect());
}

void TestNetworkPrinting::printedPageShowsTheWholeMarker()
{
    CanvasFixture f;
    f.view();
    const MarkedNetwork n(f);
    f.scene()->clearSelection();
    auto *marker = f.itemFor<GraphicsVoiceGroupItem>(n.group);
    marker->setSelected(true);
    CanvasFixture::settle();
    const QColor outline = marker->pen().color();

    // A landscape page, as the window's printer has.
    QImage page(1100, 850, QImage::Format_ARGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        renderNetwork(painter, *f.scene());
    }
    keepPicture(page, QStringLiteral("printed-page"));

    // The marker's outline shows, whole: its leftmost pixel lies inside the
    // page, with background to its left.
    int leftmost = page.width();
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.pixelColor(x, y) == outline) {
                leftmost = std::min(leftmost, x);
                break;
            }
        }
    }
    QVERIFY(leftmost < page.width());
    QVERIFY2(leftmost > 2, qPrintable(QString::number(leftmost)));
}

CANVAS_TEST_MAIN(TestNetworkPrinting)
#include "tst_networkprinting.moc"
