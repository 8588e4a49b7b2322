#include "controllertest.h"
#include "durationlistedit.h"
#include "midievent.h"
#include "pitchlistedit.h"
#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "scalelistedit.h"
#include "usermidimessagelistedit.h"
#include "velocitylistedit.h"

#include <QClipboard>
#include <QTimeLine>
#include <QValidator>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

enum EditKind { Pitch, Velocity, Duration, Message, Scale };

QLineEdit *makeEdit(EditKind kind, QWidget *parent)
{
    switch (kind) {
    case Pitch:
        return new PitchListEdit(parent);
    case Velocity:
        return new VelocityListEdit(parent);
    case Duration:
        return new DurationListEdit(parent);
    case Message:
        return new UserMidiMessageListEdit(parent);
    case Scale:
        return new ScaleListEdit(parent);
    }
    return nullptr;
}

QColor background(const QLineEdit *edit)
{
    return edit->palette().color(edit->backgroundRole());
}

} // namespace

Q_DECLARE_METATYPE(EditKind)
Q_DECLARE_METATYPE(QValidator::State)

// A list field in a window beside a second field that takes the focus away.
class ListEditTest : public QObject
{
    Q_OBJECT

private slots:
    void validates_data();
    void validates();
    void trailingCommaGoesWhenEditingFinishes();
    void refusedKeystrokeFlashes();
    void programTextDoesNotFlash();
    void lettersTakeTheListsCase_data();
    void lettersTakeTheListsCase();
    void midiEntry_data();
    void midiEntry();
    void midiEntryReachesTheDocument();
    void otherCustomEventsAreIgnored();

private:
    QLineEdit *showEdit(EditKind kind);

    std::unique_ptr<QWidget> m_window;
    QLineEdit *m_other = nullptr;
};

QLineEdit *ListEditTest::showEdit(EditKind kind)
{
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    QLineEdit *edit = makeEdit(kind, m_window.get());
    m_other = new QLineEdit(m_window.get());
    layout->addWidget(edit);
    layout->addWidget(m_other);
    m_window->show();
    m_window->activateWindow();
    if (!QTest::qWaitForWindowActive(m_window.get()))
        qWarning("window not active");
    edit->setFocus();
    return edit;
}

// Refused is only what no further typing anywhere can make a valid list;
// text that inserting characters can complete is intermediate.
void ListEditTest::validates_data()
{
    QTest::addColumn<EditKind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QValidator::State>("state");

    const auto A = QValidator::Acceptable;
    const auto I = QValidator::Intermediate;
    const auto X = QValidator::Invalid;
    const struct
    {
        EditKind kind;
        const char *name;
        const char *text;
        QValidator::State state;
    } rows[] = {
        {Pitch, "pitch empty", "", A},
        {Pitch, "pitch H3", "H3", X},
        {Pitch, "pitch E#3 completes to E3,C#3", "E#3", I},
        {Pitch, "pitch C9 completes to C3,+9", "C9", I},
        {Pitch, "pitch G#8 above 127", "G#8", I},
        {Pitch, "pitch B8 above 127", "B8", I},
        {Pitch, "pitch C#-2", "C#-2", A},
        {Pitch, "pitch G8", "G8", A},
        {Pitch, "pitch B7", "B7", A},
        {Pitch, "pitch +12", "+12", A},
        {Pitch, "pitch -127", "-127", A},
        {Pitch, "pitch +128", "+128", I},
        {Pitch, "pitch list", "C3,F#-1,+5", A},
        {Pitch, "pitch open entry", "C3,F#", I},
        {Pitch, "pitch blank", "C3, E3", X},
        {Pitch, "pitch comma deleted", "C3E3,G3", I},
        {Pitch, "pitch entry deleted", "C3,,G3", I},
        {Pitch, "pitch letter", "C3,H", X},
        {Velocity, "velocity empty", "", A},
        {Velocity, "velocity 128 completes to 12,8", "128", I},
        {Velocity, "velocity letter", "12a", X},
        {Velocity, "velocity -127", "-127", A},
        {Velocity, "velocity 127,+5", "127,+5", A},
        {Velocity, "velocity trailing comma", "1,2,", I},
        {Duration, "duration empty", "", A},
        {Duration, "duration 1.5,.25,*2,/3", "1.5,.25,*2,/3", A},
        {Duration, "duration percent", "+50%,-5%", A},
        {Duration, "duration open point", "12.", I},
        {Duration, "duration *5%", "*5%", I},
        {Duration, "duration five digits", "12345", I},
        {Duration, "duration exponent", "1e3", X},
        {Message, "message empty", "", A},
        {Message, "message bytes", "0x90 0x3c 0x64,0xc0 0x5", A},
        {Message, "message empty entries", "0x90,,0x80", A},
        {Message, "message open byte", "0x", I},
        {Message, "message three digits", "0x123", I},
        {Message, "message bytes run together", "0x0b0x7b 0x00", I},
        {Message, "message not hexadecimal", "0x0g", X},
        {Scale, "scale empty", "", A},
        {Scale, "scale ratio", "3/2,,/4,7", A},
        {Scale, "scale divisor 0", "3/0", I},
        {Scale, "scale five digits", "12345", I},
        {Scale, "scale letter", "3/a", X},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.kind << QString::fromUtf8(row.text) << row.state;
}

void ListEditTest::validates()
{
    QFETCH(EditKind, kind);
    QFETCH(QString, text);
    QFETCH(QValidator::State, state);

    QWidget parent;
    QLineEdit *edit = makeEdit(kind, &parent);
    QVERIFY(edit->validator());
    int pos = int(text.size());
    QCOMPARE(edit->validator()->validate(text, pos), state);
}

void ListEditTest::trailingCommaGoesWhenEditingFinishes()
{
    QLineEdit *edit = showEdit(Velocity);
    QSignalSpy finished(edit, &QLineEdit::editingFinished);
    QTest::keyClicks(edit, "1,2,");
    QCOMPARE(edit->text(), QStringLiteral("1,2,"));
    m_other->setFocus();
    QCOMPARE(edit->text(), QStringLiteral("1,2"));
    QCOMPARE(finished.count(), 1);
}

void ListEditTest::refusedKeystrokeFlashes()
{
    QLineEdit *edit = showEdit(Pitch);
    const QColor resting = background(edit);
    auto *timeLine = edit->validator()->findChild<QTimeLine *>();
    QVERIFY(timeLine);

    QTest::keyClicks(edit, "C3");
    QCOMPARE(timeLine->state(), QTimeLine::NotRunning);
    QTest::keyClicks(edit, "H");
    QCOMPARE(edit->text(), QStringLiteral("C3"));
    QCOMPARE(timeLine->state(), QTimeLine::Running);

    // The peak of the flash, half-way through.
    timeLine->stop();
    timeLine->setCurrentTime(150);
    const QColor peak = background(edit);
    QCOMPARE(peak.red(), 255);
    QVERIFY2(qAbs(peak.green() - 128) <= 2 && qAbs(peak.blue() - 128) <= 2, qPrintable(peak.name()));
    timeLine->setCurrentTime(300);
    QCOMPARE(background(edit), QColor(Qt::white));

    // Another refused key starts the flash again; it ends on the field's own colour.
    QTest::keyClicks(edit, " ");
    QCOMPARE(timeLine->state(), QTimeLine::Running);
    QTRY_COMPARE(timeLine->state(), QTimeLine::NotRunning);
    QCOMPARE(background(edit), resting);
    QCOMPARE(resting, QColor(Qt::white));
}

void ListEditTest::programTextDoesNotFlash()
{
    QLineEdit *edit = showEdit(Pitch);
    auto *timeLine = edit->validator()->findChild<QTimeLine *>();
    m_other->setFocus();
    edit->setText(QStringLiteral("H3"));
    QCOMPARE(edit->text(), QStringLiteral("H3")); // a stored text is shown as it is
    QCOMPARE(timeLine->state(), QTimeLine::NotRunning);
    QCOMPARE(background(edit), QColor(Qt::white));
}

void ListEditTest::lettersTakeTheListsCase_data()
{
    QTest::addColumn<EditKind>("kind");
    QTest::addColumn<bool>("paste");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");

    QTest::newRow("typed note") << Pitch << false << "c3" << "C3";
    QTest::newRow("pasted notes") << Pitch << true << "c3,e3" << "C3,E3";
    QTest::newRow("typed byte") << Message << false << "0X9" << "0x9";
    QTest::newRow("pasted bytes") << Message << true << "0X90 0XA" << "0x90 0xa";
}

void ListEditTest::lettersTakeTheListsCase()
{
    QFETCH(EditKind, kind);
    QFETCH(bool, paste);
    QFETCH(QString, input);
    QFETCH(QString, text);

    QLineEdit *edit = showEdit(kind);
    if (paste) {
        QGuiApplication::clipboard()->setText(input);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else {
        QTest::keyClicks(edit, input);
    }
    QCOMPARE(edit->text(), text);
}

void ListEditTest::midiEntry_data()
{
    QTest::addColumn<EditKind>("kind");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor"); // -1: at the end
    QTest::addColumn<int>("selected");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("after");

    const QByteArray note61 = QByteArray::fromHex("903d64");
    const QByteArray note60 = QByteArray::fromHex("903c64");
    QTest::newRow("into empty") << Pitch << "" << -1 << 0 << note61 << false << "C#3";
    QTest::newRow("after a comma") << Pitch << "C3,E3" << 3 << 0 << note61 << false << "C3,C#3,E3";
    QTest::newRow("before a comma") << Pitch << "C3,E3" << 2 << 0 << note61 << false << "C3,C#3,E3";
    QTest::newRow("at the start") << Pitch << "C3" << 0 << 0 << note61 << false << "C#3,C3";
    QTest::newRow("at the end") << Pitch << "C3" << -1 << 0 << note61 << false << "C3,C#3";
    QTest::newRow("over a selection") << Pitch << "C3,D3,E3" << 3 << 2 << note61 << false << "C3,C#3,E3";
    QTest::newRow("second channel") << Pitch << "" << -1 << 0 << QByteArray::fromHex("913c64") << false << "C3";
    QTest::newRow("velocity 0") << Pitch << "C3" << -1 << 0 << QByteArray::fromHex("903c00") << false << "C3";
    QTest::newRow("note off") << Pitch << "C3" << -1 << 0 << QByteArray::fromHex("803c40") << false << "C3";
    QTest::newRow("two bytes") << Pitch << "C3" << -1 << 0 << QByteArray::fromHex("c005") << false << "C3";
    QTest::newRow("velocity") << Velocity << "" << -1 << 0 << note60 << false << "100";
    QTest::newRow("velocity two bytes") << Velocity << "5" << -1 << 0 << QByteArray::fromHex("c005") << false << "5";
    QTest::newRow("message") << Message << "0xc0 0x5" << -1 << 0 << note60 << false << "0xc0 0x5,0x90 0x3c 0x64";
    QTest::newRow("two-byte message") << Message << "" << -1 << 0 << QByteArray::fromHex("c005") << false << "0xc0 0x5";
    QTest::newRow("message with Shift") << Message << "0xc0 0x5,0xb0 0x7 0x64" << 2 << 0 << note60 << true
                                        << "0x90 0x3c 0x64";
}

void ListEditTest::midiEntry()
{
    QFETCH(EditKind, kind);
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(int, selected);
    QFETCH(QByteArray, message);
    QFETCH(bool, shift);
    QFETCH(QString, after);

    QLineEdit *edit = showEdit(kind);
    QVERIFY(edit->hasFocus());
    edit->setText(before);
    if (selected > 0)
        edit->setSelection(cursor, selected);
    else
        edit->setCursorPosition(cursor < 0 ? int(before.size()) : cursor);
    QSignalSpy finished(edit, &QLineEdit::editingFinished);

    MidiEvent event(0.0, QVector<unsigned char>(message.cbegin(), message.cend()),
                    shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCoreApplication::sendEvent(edit, &event);
    QCOMPARE(edit->text(), after);

    // The entry reaches a binding when the field loses the focus.
    m_other->setFocus();
    if (after != before)
        QCOMPARE(finished.count(), 1);
}

// Bound as the inspector binds it, the field hands a MIDI entry to the document
// when it loses the focus, as one step named by the binding.
void ListEditTest::midiEntryReachesTheDocument()
{
    QmdMemModel model;
    QmdVelkaController controller;
    controller.setModel(&model);
    ControllerTest::settle();
    const QmdItemIdList before = controller.elementIds();
    controller.requestAddNode(QmdVelka::TickPos(0, 0));
    const QmdIndex node = controller.elementIndex(ControllerTest::newId(before, controller.elementIds()));
    const QString key = QStringLiteral("PitchList");
    controller.requestSetData(key, QStringLiteral("C3"), node, QmdRequestOptions(QStringLiteral("Test")));
    ControllerTest::settle();

    QLineEdit *edit = showEdit(Pitch);
    controller.bindKey(edit, "text", SIGNAL(editingFinished()), key, node, QString(), QString(),
                       QStringLiteral("Pitch List"));
    QCOMPARE(edit->text(), QStringLiteral("C3"));
    edit->setCursorPosition(2);
    MidiEvent event(0.0, {0x90, 64, 90}, Qt::NoModifier);
    QCoreApplication::sendEvent(edit, &event);
    QCOMPARE(controller.data(key, node).toString(), QStringLiteral("C3"));

    m_other->setFocus();
    QTRY_COMPARE(controller.data(key, node).toString(), QStringLiteral("C3,E3"));
    QCOMPARE(controller.undoText(), QStringLiteral("Pitch List"));
    controller.unbind(edit);
}

void ListEditTest::otherCustomEventsAreIgnored()
{
    QLineEdit *edit = showEdit(Pitch);
    QEvent event(QEvent::Type(MidiEvent::eventType()));
    QCoreApplication::sendEvent(edit, &event);
    QCOMPARE(edit->text(), QString());
}

QTEST_MAIN(ListEditTest)
#include "tst_listedits.moc"
