#include "squeezedtextcheckbox.h"
#include "squeezedtextlabel.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

#include <memory>

namespace {

const QChar Ellipsis(0x2026);
const QString LongText = QStringLiteral("Synthesizer Port Left Right Middle Output 12");

// The two squeezed classes behind one face, so that one table drives both.
struct Squeezed
{
    std::unique_ptr<QWidget> widget;
    std::function<QString()> shown;
    std::function<void(const QString &)> setText;
    std::function<void(Qt::TextElideMode)> setMode;
    int decoration = 0; // pixels of the width that are not text

    static Squeezed make(const QString &kind)
    {
        Squeezed s;
        if (kind == QLatin1String("label")) {
            auto *label = new SqueezedTextLabel;
            s.widget.reset(label);
            s.shown = [label] { return label->text(); };
            s.setText = [label](const QString &text) { label->setText(text); };
            s.setMode = [label](Qt::TextElideMode mode) { label->setTextElideMode(mode); };
        } else {
            auto *box = new SqueezedTextCheckBox;
            s.widget.reset(box);
            s.shown = [box] { return box->text(); };
            s.setText = [box](const QString &text) { box->setText(text); };
            s.setMode = [box](Qt::TextElideMode mode) { box->setTextElideMode(mode); };
        }
        return s;
    }
};

} // namespace

class TestSqueezedWidgets : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void shortening_data();
    void shortening();
    void sizeHints_data();
    void sizeHints();
    void constructorsAndProperties();
};

void TestSqueezedWidgets::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestSqueezedWidgets::shortening_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("textShare"); // percent of the full text's width available
    QTest::addColumn<QString>("shape");  // full, middle, right or left

    for (const QString &kind : {QStringLiteral("label"), QStringLiteral("checkbox")}) {
        const QByteArray k = kind.toLatin1();
        QTest::newRow(k + " fits") << kind << int(Qt::ElideMiddle) << 120 << "full";
        QTest::newRow(k + " just fits") << kind << int(Qt::ElideMiddle) << 100 << "full";
        QTest::newRow(k + " middle") << kind << int(Qt::ElideMiddle) << 50 << "middle";
        QTest::newRow(k + " right") << kind << int(Qt::ElideRight) << 50 << "right";
        QTest::newRow(k + " left") << kind << int(Qt::ElideLeft) << 50 << "left";
        QTest::newRow(k + " nothing") << kind << int(Qt::ElideMiddle) << 0 << "empty";
    }
}

// Shown at a width, as a layout would place it; then widened again, the whole
// text returns, because the full text stays stored.
void TestSqueezedWidgets::shortening()
{
    QFETCH(QString, kind);
    QFETCH(int, mode);
    QFETCH(int, textShare);
    QFETCH(QString, shape);

    Squeezed s = Squeezed::make(kind);
    s.setText(LongText);
    s.widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.widget.get()));
    const int decoration = s.widget->sizeHint().width() - s.widget->fontMetrics().horizontalAdvance(LongText);
    const int textWidth = s.widget->fontMetrics().horizontalAdvance(LongText) * textShare / 100;
    s.widget->resize(textWidth + decoration, s.widget->height());
    s.setMode(Qt::TextElideMode(mode));

    const QString shown = s.shown();
    QVERIFY2(s.widget->fontMetrics().horizontalAdvance(shown) <= textWidth, qPrintable(shown));
    if (shape == QLatin1String("full")) {
        QCOMPARE(shown, LongText);
    } else if (shape == QLatin1String("empty")) {
        QVERIFY(shown.isEmpty());
    } else {
        const int at = shown.indexOf(Ellipsis);
        QVERIFY2(at >= 0, qPrintable(shown));
        const QString head = shown.left(at);
        const QString tail = shown.mid(at + 1);
        QVERIFY(LongText.startsWith(head));
        QVERIFY(LongText.endsWith(tail));
        if (shape == QLatin1String("middle")) {
            QVERIFY(!head.isEmpty());
            QVERIFY(!tail.isEmpty());
        } else if (shape == QLatin1String("right")) {
            QVERIFY(tail.isEmpty());
        } else {
            QVERIFY(head.isEmpty());
        }
    }

    s.widget->resize(s.widget->sizeHint().width() + 10, s.widget->height());
    QCOMPARE(s.shown(), LongText);
}

void TestSqueezedWidgets::sizeHints_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("label") << QStringLiteral("label");
    QTest::newRow("checkbox") << QStringLiteral("checkbox");
}

// A squeezed widget asks for the whole text's width, however narrow it is
// now, and lets a layout shrink it to nothing.
void TestSqueezedWidgets::sizeHints()
{
    QFETCH(QString, kind);

    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    Squeezed s = Squeezed::make(kind);
    QWidget *widget = s.widget.release();
    s.setText(LongText);
    layout->addWidget(widget);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(60, window.height());
    QTRY_VERIFY(widget->width() < 60);

    QVERIFY(s.shown().contains(Ellipsis));
    const int textWidth = widget->fontMetrics().horizontalAdvance(LongText);
    if (kind == QLatin1String("label")) {
        QCOMPARE(widget->sizeHint().width(), textWidth);
    } else {
        QStyleOptionButton option;
        option.initFrom(widget);
        const QRect contents = widget->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, widget);
        QCOMPARE(widget->sizeHint().width(), textWidth + widget->width() - contents.width());
        QVERIFY(widget->sizeHint().width() > textWidth);
    }
    QCOMPARE(widget->minimumSizeHint().width(), -1);
    QCOMPARE(widget->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(widget->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void TestSqueezedWidgets::constructorsAndProperties()
{
    SqueezedTextLabel label(LongText);
    QCOMPARE(label.fullText(), LongText);
    QCOMPARE(label.textElideMode(), Qt::ElideMiddle);
    SqueezedTextCheckBox box(LongText);
    QCOMPARE(box.fullText(), LongText);
    QCOMPARE(box.textElideMode(), Qt::ElideMiddle);

    // A binding by property name stores the whole text and the mode.
    label.resize(40, label.height());
    QVERIFY(label.setProperty("text", QStringLiteral("Another long port name")));
    QCOMPARE(label.property("text").toString(), QStringLiteral("Another long port name"));
    QVERIFY(label.setProperty("textElideMode", int(Qt::ElideRight)));
    QCOMPARE(label.textElideMode(), Qt::ElideRight);
    box.resize(40, box.height());
    QVERIFY(box.setProperty("text", QStringLiteral("Another long port name")));
    QCOMPARE(box.fullText(), QStringLiteral("Another long port name"));

    // The label's alignment setter squeezes again and keeps the alignment.
    label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(label.alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

QTEST_MAIN(TestSqueezedWidgets)
#include "tst_squeezedwidgets.moc"
