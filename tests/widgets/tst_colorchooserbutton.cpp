#include "colorchooserbutton.h"
#include "shareddialogs.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QtTest>

#include <memory>

namespace {

QImage swatchOf(const ColorChooserButton &button)
{
    const QIcon icon = button.icon();
    if (icon.isNull())
        return QImage();
    return icon.pixmap(button.iconSize()).toImage();
}

} // namespace

class TestColorChooserButton : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setColor_data();
    void setColor();
    void swatchShowsTransparency();
    void swatchFollowsTheSize_data();
    void swatchFollowsTheSize();
    void clickLendsTheDialog();
    void destroyedButtonGivesTheDialogBack();
};

void TestColorChooserButton::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestColorChooserButton::cleanup()
{
    SharedDialogs::instance()->disconnectColorDialog();
    SharedDialogs::instance()->colorDialog()->hide();
}

void TestColorChooserButton::setColor_data()
{
    QTest::addColumn<bool>("ignoreAlpha");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QColor>("stored");

    QTest::newRow("opaque") << false << QColor(10, 20, 30) << QColor(10, 20, 30);
    QTest::newRow("half transparent") << false << QColor(10, 20, 30, 128) << QColor(10, 20, 30, 128);
    QTest::newRow("alpha ignored") << true << QColor(10, 20, 30, 128) << QColor(10, 20, 30, 255);
    QTest::newRow("invalid") << false << QColor() << QColor();
    QTest::newRow("invalid, alpha ignored") << true << QColor() << QColor();
}

// Each colour set is stored, announced once and shown; an invalid one shows
// no swatch.
void TestColorChooserButton::setColor()
{
    QFETCH(bool, ignoreAlpha);
    QFETCH(QColor, color);
    QFETCH(QColor, stored);

    ColorChooserButton button;
    QVERIFY(!button.color().isValid());
    QVERIFY(!button.ignoreAlpha());
    button.setFixedSize(30, 22);
    button.setColor(Qt::green);
    QVERIFY(button.setProperty("ignoreAlpha", ignoreAlpha));

    QSignalSpy spy(&button, &ColorChooserButton::colorChanged);
    QVERIFY(button.setProperty("color", color));
    QCOMPARE(button.color(), stored);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QColor>(), stored);
    if (stored.isValid()) {
        const QImage swatch = swatchOf(button);
        QCOMPARE(swatch.size(), QSize(24, 16));
        QCOMPARE(QColor(swatch.pixel(0, 0)), QColor(90, 90, 90));
        QCOMPARE(QColor(swatch.pixel(23, 15)), QColor(90, 90, 90));
    } else {
        QVERIFY(button.icon().isNull());
    }
}

// A colour that is not opaque lets the black upper left and the white lower
// right halves show through.
void TestColorChooserButton::swatchShowsTransparency()
{
    ColorChooserButton button;
    button.setFixedSize(30, 22);
    button.setColor(QColor(255, 0, 0, 0));
    QImage swatch = swatchOf(button);
    QCOMPARE(QColor(swatch.pixel(2, 2)), QColor(Qt::black));
    QCOMPARE(QColor(swatch.pixel(21, 13)), QColor(Qt::white));

    button.setColor(QColor(255, 0, 0));
    swatch = swatchOf(button);
    QCOMPARE(QColor(swatch.pixel(2, 2)), QColor(Qt::red));
    QCOMPARE(QColor(swatch.pixel(21, 13)), QColor(Qt::red));
    QCOMPARE(QColor(swatch.pixel(1, 1)), QColor(Qt::red));
    QCOMPARE(QColor(swatch.pixel(0, 8)), QColor(90, 90, 90));
}

void TestColorChooserButton::swatchFollowsTheSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("swatch");

    QTest::newRow("form size") << QSize(30, 22) << QSize(24, 16);
    QTest::newRow("wide") << QSize(60, 30) << QSize(54, 24);
    QTest::newRow("smallest") << QSize(9, 9) << QSize(3, 3);
    QTest::newRow("too small") << QSize(8, 20) << QSize();
    QTest::newRow("nothing") << QSize(0, 0) << QSize();
}

// A colour bound before the layout placed the button gets a swatch of the
// size the button ends up with.
void TestColorChooserButton::swatchFollowsTheSize()
{
    QFETCH(QSize, size);
    QFETCH(QSize, swatch);

    QWidget page;
    auto *layout = new QHBoxLayout(&page);
    auto *button = new ColorChooserButton(&page);
    button->setColor(QColor(0, 0, 255));
    QSignalSpy spy(button, &ColorChooserButton::colorChanged);
    button->setFixedSize(size);
    layout->addWidget(button);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    QCOMPARE(button->size(), size);
    if (swatch.isValid()) {
        QCOMPARE(swatchOf(*button).size(), swatch);
        QCOMPARE(button->iconSize(), swatch);
    } else {
        QVERIFY(button->icon().isNull());
    }
    QCOMPARE(spy.count(), 0);
}

// The last button clicked receives the dialog's colours; the dialog opens on
// its colour, and the buttons learn when they get and lose it.
void TestColorChooserButton::clickLendsTheDialog()
{
    SharedDialogs *shared = SharedDialogs::instance();
    QWidget page;
    auto *layout = new QHBoxLayout(&page);
    auto *first = new ColorChooserButton(&page);
    auto *second = new ColorChooserButton(&page);
    first->setColor(QColor(200, 0, 0));
    second->setColor(QColor(0, 200, 0, 100));
    layout->addWidget(first);
    layout->addWidget(second);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    QSignalSpy firstConnected(first, &ColorChooserButton::colorDialogConnected);
    QSignalSpy firstReleased(first, &ColorChooserButton::colorDialogReleased);
    QSignalSpy firstChanged(first, &ColorChooserButton::colorChanged);
    QSignalSpy secondConnected(second, &ColorChooserButton::colorDialogConnected);

    QTest::mouseClick(first, Qt::LeftButton);
    QCOMPARE(shared->colorDialogReceiver(), first);
    QVERIFY(shared->isColorDialogVisible());
    QCOMPARE(shared->colorDialog()->currentColor(), QColor(200, 0, 0));
    QCOMPARE(firstConnected.count(), 1);
    QCOMPARE(firstReleased.count(), 0);
    QCOMPARE(firstChanged.count(), 0);

    // A colour picked in the dialog reaches the button.
    shared->colorDialog()->setCurrentColor(QColor(1, 2, 3));
    QCOMPARE(first->color(), QColor(1, 2, 3));
    QCOMPARE(firstChanged.count(), 1);

    QTest::mouseClick(second, Qt::LeftButton);
    QCOMPARE(shared->colorDialogReceiver(), second);
    QCOMPARE(shared->colorDialog()->currentColor(), QColor(0, 200, 0, 100));
    QCOMPARE(firstReleased.count(), 1);
    QCOMPARE(secondConnected.count(), 1);

    shared->colorDialog()->setCurrentColor(QColor(4, 5, 6));
    QCOMPARE(second->color(), QColor(4, 5, 6));
    QCOMPARE(first->color(), QColor(1, 2, 3));
    QCOMPARE(firstChanged.count(), 1);
}

void TestColorChooserButton::destroyedButtonGivesTheDialogBack()
{
    SharedDialogs *shared = SharedDialogs::instance();
    QSignalSpy released(shared, &SharedDialogs::colorDialogReleased);
    auto button = std::make_unique<ColorChooserButton>();
    button->setColor(Qt::red);
    button->show();
    QVERIFY(QTest::qWaitForWindowExposed(button.get()));
    QTest::mouseClick(button.get(), Qt::LeftButton);
    QCOMPARE(shared->colorDialogReceiver(), button.get());

    QSignalSpy buttonReleased(button.get(), &ColorChooserButton::colorDialogReleased);
    button.reset();
    QCOMPARE(shared->colorDialogReceiver(), nullptr);
    QCOMPARE(released.count(), 1);
    QCOMPARE(buttonReleased.count(), 1);
    shared->colorDialog()->setCurrentColor(QColor(7, 8, 9));
}

QTEST_MAIN(TestColorChooserButton)
#include "tst_colorchooserbutton.moc"
