#include "chooser.h"
#include "midiportsboxgraphicsview.h"
#include "qplaintexteditplus.h"
#include "sectionlabel.h"

#include <QCheckBox>
#include <QGraphicsLinearLayout>
#include <QGraphicsProxyWidget>
#include <QGraphicsWidget>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

namespace {

QIcon squareIcon(const QColor &color)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(color);
    return QIcon(pixmap);
}

} // namespace

class TestSmallWidgets : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void chooserTabsOverlap_data();
    void chooserTabsOverlap();
    void chooserChoiceAndUserSignal();
    void sectionLabelTakesTheStyleSheet();
    void editingFinishedOnFocusLoss_data();
    void editingFinishedOnFocusLoss();
    void portsBoxSpansTheView_data();
    void portsBoxSpansTheView();
};

void TestSmallWidgets::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestSmallWidgets::chooserTabsOverlap_data()
{
    QTest::addColumn<int>("tabs");
    QTest::newRow("one tab, the last") << 1;
    QTest::newRow("two tabs") << 2;
    QTest::newRow("three tabs") << 3;
}

// Each tab is narrower than a plain tab bar's (less for the last, which has no
// neighbour to slip under) and a little taller.
void TestSmallWidgets::chooserTabsOverlap()
{
    QFETCH(int, tabs);

    Chooser chooser;
    QTabBar plain;
    // Tabs at their size hints, not stretched over the bar.
    chooser.setExpanding(false);
    plain.setExpanding(false);
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < tabs; ++i) {
        QCOMPARE(chooser.addTab(squareIcon(colours.at(i))), i);
        plain.addTab(squareIcon(colours.at(i)), QString());
    }
    QCOMPARE(chooser.count(), tabs);
    for (int i = 0; i < tabs; ++i) {
        QVERIFY(chooser.tabText(i).isEmpty());
        QVERIFY(!chooser.tabIcon(i).isNull());
        const int narrower = i == tabs - 1 ? 12 : 14;
        QCOMPARE(chooser.tabRect(i).width(), plain.tabRect(i).width() - narrower);
        QCOMPARE(chooser.tabRect(i).height(), plain.tabRect(i).height() + 2);
    }

    // A click on the last tab chooses it.
    chooser.setCurrentIndex(0);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QSignalSpy changed(&chooser, &QTabBar::currentChanged);
    QTest::mouseClick(&chooser, Qt::LeftButton, {}, chooser.tabRect(tabs - 1).center());
    QCOMPARE(chooser.currentIndex(), tabs - 1);
    QCOMPARE(changed.count(), tabs > 1 ? 1 : 0);
}

// The choice may be none; the program sets it silently, while every choice of
// the user, also a click on the tab bar's current tab, is reported.
void TestSmallWidgets::chooserChoiceAndUserSignal()
{
    Chooser chooser;
    for (const QColor &colour : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)})
        chooser.addTab(squareIcon(colour));
    QCOMPARE(chooser.choice(), 0);
    chooser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QSignalSpy chosen(&chooser, &Chooser::chosen);

    chooser.setChoice(2);
    QCOMPARE(chooser.choice(), 2);
    QCOMPARE(chooser.currentIndex(), 2);
    chooser.setChoice(-1);
    QCOMPARE(chooser.choice(), -1);
    chooser.setChoice(7);
    QCOMPARE(chooser.choice(), -1);
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(chooser.property("choice"), QVariant(-1));

    // The tab bar's current tab is still 2: a click on it is a choice.
    QTest::mouseClick(&chooser, Qt::LeftButton, {}, chooser.tabRect(2).center());
    QCOMPARE(chooser.choice(), 2);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.takeFirst().at(0).toInt(), 2);
    QTest::mouseClick(&chooser, Qt::LeftButton, {}, chooser.tabRect(0).center());
    QCOMPARE(chooser.choice(), 0);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.takeFirst().at(0).toInt(), 0);

    // The keyboard chooses too.
    chooser.setFocus();
    QTest::keyClick(&chooser, Qt::Key_Right);
    QCOMPARE(chooser.choice(), 1);
    QCOMPARE(chosen.count(), 1);
}

void TestSmallWidgets::sectionLabelTakesTheStyleSheet()
{
    QWidget page;
    page.setStyleSheet(QStringLiteral("SectionLabel { font-weight: bold; }"));
    auto *layout = new QVBoxLayout(&page);
    auto *heading = new SectionLabel(&page); // as a form builds it
    auto *plain = new QLabel(QStringLiteral("Tempo:"), &page);
    heading->setText(QStringLiteral("Timing"));
    layout->addWidget(heading);
    layout->addWidget(plain);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(heading->font().weight(), QFont::Bold);
    QVERIFY(plain->font().weight() < QFont::Bold);
    QVERIFY(!heading->isWindow());

    SectionLabel floating(nullptr, Qt::Tool);
    QCOMPARE(floating.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
}

void TestSmallWidgets::editingFinishedOnFocusLoss_data()
{
    QTest::addColumn<bool>("typeText");
    QTest::addColumn<bool>("clickElsewhere");
    QTest::addColumn<int>("finished");

    QTest::newRow("typed, then click away") << true << true << 1;
    QTest::newRow("untouched, then click away") << false << true << 1;
    QTest::newRow("typed, focus kept") << true << false << 0;
}

// Moving the focus to another widget ends the editing once; typing alone
// never does.
void TestSmallWidgets::editingFinishedOnFocusLoss()
{
    QFETCH(bool, typeText);
    QFETCH(bool, clickElsewhere);
    QFETCH(int, finished);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *editor = new QPlainTextEditPlus(&window);
    auto *other = new QLineEdit(&window);
    layout->addWidget(editor);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QSignalSpy spy(editor, &QPlainTextEditPlus::editingFinished);
    QTest::mouseClick(editor->viewport(), Qt::LeftButton);
    QTRY_VERIFY(editor->hasFocus());
    if (typeText) {
        QTest::keyClicks(editor, QStringLiteral("Two lines"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("of comments"));
    }
    QCOMPARE(spy.count(), 0);
    if (clickElsewhere) {
        QTest::mouseClick(other, Qt::LeftButton);
        QTRY_VERIFY(other->hasFocus());
    }
    QCOMPARE(spy.count(), finished);
    if (typeText)
        QCOMPARE(editor->toPlainText(), QStringLiteral("Two lines\nof comments"));
}

void TestSmallWidgets::portsBoxSpansTheView_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("scrolls");

    QTest::newRow("few entries") << 2 << false;
    QTest::newRow("more than fit") << 20 << true;
}

// The box fills the viewport's width less 4 pixels, and less the vertical
// scroll bar while it shows; the scene is exactly the box.
void TestSmallWidgets::portsBoxSpansTheView()
{
    QFETCH(int, entries);
    QFETCH(bool, scrolls);

    MidiPortsBoxGraphicsView view;
    view.resize(200, 100);
    for (int i = 0; i < entries; ++i) {
        auto *proxy = new QGraphicsProxyWidget;
        proxy->setWidget(new QCheckBox(QStringLiteral("Port %1").arg(i + 1)));
        view.boxLayout()->addItem(proxy);
    }
    view.adjustBox();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QCOMPARE(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view.alignment(), Qt::AlignLeft | Qt::AlignTop);
    QTRY_COMPARE(view.verticalScrollBar()->isVisible(), scrolls);
    const int bar = scrolls ? view.verticalScrollBar()->width() : 0;
    QTRY_COMPARE(view.box()->size().width(), qreal(view.maximumViewportSize().width() - bar - 4));
    QCOMPARE(view.sceneRect(), view.box()->geometry());
    QCOMPARE(view.box()->pos(), QPointF(0, 0));

    // The entries sit one under the other, inside the box's margins.
    const QRectF first = view.boxLayout()->itemAt(0)->geometry();
    QCOMPARE(first.topLeft(), QPointF(2, 2));
    if (entries > 1)
        QCOMPARE(view.boxLayout()->itemAt(1)->geometry().top(), first.bottom());
}

QTEST_MAIN(TestSmallWidgets)
#include "tst_smallwidgets.moc"
