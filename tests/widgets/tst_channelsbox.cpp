#include "channelsbox.h"

#include <QPushButton>
#include <QtTest>

namespace {

QBitArray bits(const QString &text)
{
    QBitArray array(text.size());
    for (int i = 0; i < text.size(); ++i)
        array.setBit(i, text.at(i) == QLatin1Char('1'));
    return array;
}

QString text(const QBitArray &array)
{
    QString result;
    for (int i = 0; i < array.size(); ++i)
        result += array.testBit(i) ? QLatin1Char('1') : QLatin1Char('0');
    return result;
}

QPushButton *buttonNamed(ChannelsBox &box, const QString &label)
{
    for (QPushButton *button : box.findChildren<QPushButton *>()) {
        if (button->text() == label)
            return button;
    }
    return nullptr;
}

} // namespace

class TestChannelsBox : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void edits_data();
    void edits();
    void layout();
};

void TestChannelsBox::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestChannelsBox::edits_data()
{
    QTest::addColumn<QStringList>("steps"); // a button's text to click, or "set:" and bits
    QTest::addColumn<QString>("channels");
    QTest::addColumn<int>("announcements");

    QTest::newRow("eight bits turn 9 to 16 off")
        << QStringList{"All", "set:11111111"} << "1111111100000000" << 2;
    QTest::newRow("twenty bits keep sixteen")
        << QStringList{"set:10100000000000000111"} << "1010000000000000" << 1;
    QTest::newRow("empty array turns all off") << QStringList{"All", "set:"} << "0000000000000000" << 2;
    QTest::newRow("All, then channel 3") << QStringList{"All", "3"} << "1101111111111111" << 2;
    QTest::newRow("None after All") << QStringList{"All", "None"} << "0000000000000000" << 2;
    QTest::newRow("channel 16 on and off") << QStringList{"16", "16"} << "0000000000000000" << 2;
    QTest::newRow("two channels") << QStringList{"1", "9"} << "1000000010000000" << 2;
    QTest::newRow("unchanged is announced") << QStringList{"set:0000000000000000"} << "0000000000000000" << 1;
}

// Every step is announced once, with the box's whole value, and the buttons
// show the bits.
void TestChannelsBox::edits()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, channels);
    QFETCH(int, announcements);

    ChannelsBox box;
    QCOMPARE(text(box.channels()), QString(16, QLatin1Char('0')));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    QSignalSpy spy(&box, &ChannelsBox::channelsChanged);
    for (const QString &step : steps) {
        if (step.startsWith(QLatin1String("set:"))) {
            QVERIFY(box.setProperty("channels", bits(step.mid(4))));
        } else {
            QPushButton *button = buttonNamed(box, step);
            QVERIFY2(button, qPrintable(step));
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }

    QCOMPARE(text(box.channels()), channels);
    QCOMPARE(spy.count(), announcements);
    QCOMPARE(text(spy.last().at(0).value<QBitArray>()), channels);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(buttonNamed(box, QString::number(i + 1))->isChecked(), channels.at(i) == QLatin1Char('1'));
}

void TestChannelsBox::layout()
{
    QWidget page;
    auto *box = new ChannelsBox(&page); // as a form builds it
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(box->size(), QSize(200, 78));
    QCOMPARE(box->minimumSize(), box->maximumSize());

    // Channels 1 to 8 on the first row, 9 to 16 on the second, left to right.
    for (int i = 0; i < 16; ++i) {
        QPushButton *button = buttonNamed(*box, QString::number(i + 1));
        QCOMPARE(button->size(), QSize(22, 22));
        QVERIFY(button->isCheckable());
        if (i % 8)
            QVERIFY(button->x() > buttonNamed(*box, QString::number(i))->x());
        QCOMPARE(button->y() > buttonNamed(*box, "1")->y(), i >= 8);
    }
    QPushButton *all = buttonNamed(*box, "All");
    QPushButton *none = buttonNamed(*box, "None");
    QVERIFY(all->y() > buttonNamed(*box, "9")->y());
    QCOMPARE(all->y(), none->y());
    QVERIFY(all->geometry().right() < none->x());
    QVERIFY(all->x() >= buttonNamed(*box, "5")->x());
    QVERIFY(none->geometry().right() <= box->width());
}

QTEST_MAIN(TestChannelsBox)
#include "tst_channelsbox.moc"
