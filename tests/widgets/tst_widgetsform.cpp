#include "ui_widgetsform.h"

#include <QtTest>

// The widgets as a form compiled by uic builds them: each made with its
// parent alone, then given the form's properties.
class TestWidgetsForm : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void formBuildsTheWidgets();
};

void TestWidgetsForm::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QObject::connect|No such (slot|signal)")));
}

void TestWidgetsForm::formBuildsTheWidgets()
{
    QWidget page;
    page.setStyleSheet(QStringLiteral("SectionLabel { font-weight: bold; }"));
    Ui::WidgetsForm form;
    form.setupUi(&page);
    page.resize(320, 480);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    QCOMPARE(form.sectionLabel->font().weight(), QFont::Bold);
    QCOMPARE(form.colorButton->size(), QSize(30, 22));
    QVERIFY(!form.colorButton->color().isValid());
    // The form loosens the channel box's limits (minimum width 50, in a form
    // layout, as the instrument page does); the box keeps its own size.
    QCOMPARE(form.channelsBox->minimumWidth(), 50);
    QCOMPARE(form.channelsBox->size(), QSize(200, 78));
    QCOMPARE(form.commentsEdit->height(), 100);
    QCOMPARE(form.midiInputsBox->height(), 100);
    QCOMPARE(form.comboBox->currentKey(), QVariant());
    QCOMPARE(form.chooser->count(), 0);
    QCOMPARE(form.squeezedLabel->text(), QStringLiteral("A label with a rather long text"));

    // The form's texts are the squeezed widgets' whole texts.
    page.resize(120, 480);
    QTRY_VERIFY(form.squeezedLabel->text().contains(QChar(0x2026)));
    QCOMPARE(form.squeezedLabel->fullText(), QStringLiteral("A label with a rather long text"));
    QVERIFY(form.squeezedCheckBox->text().contains(QChar(0x2026)));
    QCOMPARE(form.squeezedCheckBox->fullText(), QStringLiteral("A check box with a rather long text"));
}

QTEST_MAIN(TestWidgetsForm)
#include "tst_widgetsform.moc"
