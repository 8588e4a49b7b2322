#include "shareddialogs.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Activates a window as soon as it is shown, as many window managers do.
class ActivateOnShow : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            static_cast<QWidget *>(watched)->activateWindow();
        return false;
    }
};

// An editor that borrows a dialog and counts what reaches it.
class Receiver : public QObject
{
    Q_OBJECT

public:
    QList<QColor> colors;
    QList<QFont> fonts;

public slots:
    void takeColor(const QColor &color) { colors << color; }
    void takeFont(const QFont &font) { fonts << font; }
};

// The font and the colour dialog behind one face, so that one table drives both.
struct Dialog
{
    QDialog *dialog;
    std::function<bool(QObject *, const char *)> connectTo;
    std::function<void()> disconnect;
    std::function<QObject *()> receiver;
    std::function<void()> show;
    std::function<bool()> isVisible;
    // Changes the value as the user does in the dialog.
    std::function<void(int)> pick;
    std::function<void(int)> update;
    std::function<int()> shown;
    const char *member;
    const char *misspelt;
    std::function<int(const Receiver &)> received;

    static Dialog make(const QString &kind)
    {
        SharedDialogs *shared = SharedDialogs::instance();
        Dialog d;
        if (kind == QLatin1String("font")) {
            QFontDialog *dialog = shared->fontDialog();
            d.dialog = dialog;
            d.connectTo = [shared](QObject *r, const char *m) { return shared->connectFontDialog(r, m); };
            d.disconnect = [shared] { shared->disconnectFontDialog(); };
            d.receiver = [shared] { return shared->fontDialogReceiver(); };
            d.show = [shared] { shared->showFontDialog(); };
            d.isVisible = [shared] { return shared->isFontDialogVisible(); };
            d.pick = [dialog](int size) {
                QFont font = dialog->currentFont();
                font.setPointSize(size);
                dialog->setCurrentFont(font);
            };
            d.update = [shared](int size) {
                QFont font = shared->fontDialog()->currentFont();
                font.setPointSize(size);
                shared->updateFontDialog(font);
            };
            d.shown = [dialog] { return dialog->currentFont().pointSize(); };
            d.member = SLOT(takeFont(QFont));
            d.misspelt = SLOT(takeFnot(QFont));
            d.received = [](const Receiver &r) { return int(r.fonts.size()); };
        } else {
            QColorDialog *dialog = shared->colorDialog();
            d.dialog = dialog;
            d.connectTo = [shared](QObject *r, const char *m) { return shared->connectColorDialog(r, m); };
            d.disconnect = [shared] { shared->disconnectColorDialog(); };
            d.receiver = [shared] { return shared->colorDialogReceiver(); };
            d.show = [shared] { shared->showColorDialog(); };
            d.isVisible = [shared] { return shared->isColorDialogVisible(); };
            d.pick = [dialog](int red) { dialog->setCurrentColor(QColor(red, 10, 20)); };
            d.update = [shared](int red) { shared->updateColorDialog(QColor(red, 10, 20)); };
            d.shown = [dialog] { return dialog->currentColor().red(); };
            d.member = SLOT(takeColor(QColor));
            d.misspelt = SLOT(takeColour(QColor));
            d.received = [](const Receiver &r) { return int(r.colors.size()); };
        }
        return d;
    }
};

} // namespace

class TestSharedDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogs_data();
    void lastReceiverTakesTheDialog();
    void lastReceiverTakesTheDialog_data() { dialogs_data(); }
    void earlierReceiverDestroyed();
    void earlierReceiverDestroyed_data() { dialogs_data(); }
    void updateDoesNotNotify();
    void updateDoesNotNotify_data() { dialogs_data(); }
    void misspeltMemberLeavesNoReceiver();
    void misspeltMemberLeavesNoReceiver_data() { dialogs_data(); }
    void showsOneDialogBehindTheActiveWindow();
    void showsOneDialogBehindTheActiveWindow_data() { dialogs_data(); }

    void colorDialogReleases();
    void dialogsAreNonModalWithoutButtons();
};

void TestSharedDialogs::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestSharedDialogs::cleanup()
{
    SharedDialogs *shared = SharedDialogs::instance();
    shared->disconnectFontDialog();
    shared->disconnectColorDialog();
    shared->fontDialog()->hide();
    shared->colorDialog()->hide();
}

void TestSharedDialogs::dialogs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("font") << QStringLiteral("font");
    QTest::newRow("colour") << QStringLiteral("colour");
}

void TestSharedDialogs::lastReceiverTakesTheDialog()
{
    QFETCH(QString, kind);
    Dialog d = Dialog::make(kind);

    Receiver a;
    auto b = std::make_unique<Receiver>();
    QVERIFY(d.connectTo(&a, d.member));
    QVERIFY(d.connectTo(b.get(), d.member));
    QCOMPARE(d.receiver(), b.get());
    d.pick(31);
    QCOMPARE(d.received(a), 0);
    QCOMPARE(d.received(*b), 1);

    b.reset();
    QCOMPARE(d.receiver(), nullptr);
    d.pick(32);
    QCOMPARE(d.received(a), 0);

    // Connected again, the first receiver gets changes again.
    QVERIFY(d.connectTo(&a, d.member));
    d.pick(33);
    QCOMPARE(d.received(a), 1);
    d.disconnect();
    QCOMPARE(d.receiver(), nullptr);
    d.pick(34);
    QCOMPARE(d.received(a), 1);
}

// The destruction of a receiver that no longer holds the dialog must not take
// the dialog away from the one that does.
void TestSharedDialogs::earlierReceiverDestroyed()
{
    QFETCH(QString, kind);
    Dialog d = Dialog::make(kind);

    auto a = std::make_unique<Receiver>();
    Receiver b;
    QVERIFY(d.connectTo(a.get(), d.member));
    QVERIFY(d.connectTo(&b, d.member));
    a.reset();
    QCOMPARE(d.receiver(), &b);
    d.pick(41);
    QCOMPARE(d.received(b), 1);
}

void TestSharedDialogs::updateDoesNotNotify()
{
    QFETCH(QString, kind);
    Dialog d = Dialog::make(kind);

    Receiver a;
    QVERIFY(d.connectTo(&a, d.member));
    d.show();
    d.update(23);
    QCOMPARE(d.shown(), 23);
    QCOMPARE(d.received(a), 0);
    QCOMPARE(d.receiver(), &a);
    d.pick(24);
    QCOMPARE(d.received(a), 1);
}

void TestSharedDialogs::misspeltMemberLeavesNoReceiver()
{
    QFETCH(QString, kind);
    Dialog d = Dialog::make(kind);

    Receiver a;
    Receiver b;
    QVERIFY(d.connectTo(&a, d.member));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QObject::connect: No such slot")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QObject::connect: No such slot")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^SharedDialogs: .* cannot reach")));
    QVERIFY(!d.connectTo(&b, d.misspelt));
    QCOMPARE(d.receiver(), nullptr);
    d.pick(51);
    QCOMPARE(d.received(a), 0);
    QCOMPARE(d.received(b), 0);
}

// The dialog comes to the front, once however often it is asked for, and the
// window the user works in stays active.
void TestSharedDialogs::showsOneDialogBehindTheActiveWindow()
{
    QFETCH(QString, kind);
    Dialog d = Dialog::make(kind);

    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    ActivateOnShow windowManager;
    d.dialog->installEventFilter(&windowManager);
    d.show();
    d.show();
    QVERIFY(d.isVisible());
    int shownDialogs = 0;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && qobject_cast<QDialog *>(widget))
            ++shownDialogs;
    }
    QCOMPARE(shownDialogs, 1);
    QVERIFY(!d.dialog->isModal());
    QCOMPARE(QApplication::modalWindow(), nullptr);
    QTest::qWait(50); // let the activations of the window system arrive
    QCOMPARE(QApplication::activeWindow(), &window);

    // Closing hides the dialog; the same dialog comes back.
    QDialog *before = d.dialog;
    d.dialog->close();
    QVERIFY(!d.isVisible());
    d.show();
    QVERIFY(d.isVisible());
    QCOMPARE(Dialog::make(kind).dialog, before);
}

void TestSharedDialogs::colorDialogReleases()
{
    SharedDialogs *shared = SharedDialogs::instance();
    QSignalSpy released(shared, &SharedDialogs::colorDialogReleased);
    const auto releasedTo = [&released] {
        QList<QObject *> list;
        for (const QList<QVariant> &args : released)
            list << args.at(0).value<QObject *>();
        return list;
    };

    Receiver a;
    Receiver b;
    auto c = std::make_unique<Receiver>();
    QObject *cAddress = c.get();
    shared->disconnectColorDialog();
    QVERIFY(shared->connectColorDialog(&a, SLOT(takeColor(QColor))));
    QVERIFY(released.isEmpty());
    QVERIFY(shared->connectColorDialog(&b, SLOT(takeColor(QColor))));
    QCOMPARE(releasedTo(), QList<QObject *>{&a});
    shared->disconnectColorDialog();
    QCOMPARE(releasedTo(), (QList<QObject *>{&a, &b}));
    shared->disconnectColorDialog();
    QCOMPARE(released.count(), 2);
    QVERIFY(shared->connectColorDialog(c.get(), SLOT(takeColor(QColor))));
    c.reset();
    QCOMPARE(releasedTo(), (QList<QObject *>{&a, &b, cAddress}));
}

void TestSharedDialogs::dialogsAreNonModalWithoutButtons()
{
    SharedDialogs *shared = SharedDialogs::instance();
    QColorDialog *colors = shared->colorDialog();
    QVERIFY(colors->testOption(QColorDialog::NoButtons));
    QVERIFY(colors->testOption(QColorDialog::ShowAlphaChannel));
    QVERIFY(colors->testOption(QColorDialog::DontUseNativeDialog));
    QVERIFY(colors->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(colors->windowFlags() & Qt::WindowMinMaxButtonsHint));
    QCOMPARE(colors->minimumSize(), colors->maximumSize());
    QVERIFY(!colors->parent());

    QFontDialog *fonts = shared->fontDialog();
    QVERIFY(fonts->testOption(QFontDialog::NoButtons));
    QVERIFY(fonts->testOption(QFontDialog::DontUseNativeDialog));
    QVERIFY(!fonts->parent());
    QVERIFY(!fonts->isModal());
}

QTEST_MAIN(TestSharedDialogs)
#include "tst_shareddialogs.moc"
