#include "formrows.h"
#include "preferencesdialog.h"
#include "qwpcombobox.h"
#include "settingsfixture.h"

#include <QFileDialog>
#include <QtTest>

#include <memory>

namespace {

const QString TemplateFileKey = QStringLiteral("TemplateFile");

QStringList entries(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) {
        const bool separator = box->itemData(i, Qt::AccessibleDescriptionRole).toString()
                               == QLatin1String("separator");
        texts.append(separator ? QStringLiteral("--") : box->itemText(i));
    }
    return texts;
}

} // namespace

class TestPreferencesDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void withoutTemplateTheBoxOffersNoneAndChoose();
    void storedTemplateShowsAsSecondEntry();
    void choosingATemplateFileStoresItsPath();
    void cancellingTheFileDialogReturnsToTheStoredEntry_data();
    void cancellingTheFileDialogReturnsToTheStoredEntry();
    void choosingNoneForgetsTheTemplate();
    void storedSwitchesDecideWhichPortBoxesAreEnabled_data();
    void storedSwitchesDecideWhichPortBoxesAreEnabled();
    void clickingASwitchStoresItAndFollowsWithItsPortBox_data();
    void clickingASwitchStoresItAndFollowsWithItsPortBox();
    void fixedSizeFromTheLayout();
    void formMatches_data();
    void formMatches();
    void tabOrderAndBuddies();

private:
    // Stores a value as another run of the program would have left it.
    void store(const QString &key, const QVariant &value);
    // Opens the template box's "Choose..." entry as the user does, from the keyboard.
    QFileDialog *chooseFromTheTemplateBox(PreferencesDialog &dialog);
    QString makeTemplate(const QString &folder, const QString &name);

    std::unique_ptr<SettingsFixture> m_settings;
};

void TestPreferencesDialog::init()
{
    m_settings = std::make_unique<SettingsFixture>();
    QVERIFY(m_settings->isValid());
    QTRY_VERIFY(m_settings->controller()->settingsModel());
}

void TestPreferencesDialog::cleanup()
{
    m_settings.reset();
}

void TestPreferencesDialog::store(const QString &key, const QVariant &value)
{
    m_settings->model()->settings()->setValue(key, value);
    m_settings->model()->settings()->sync();
}

QString TestPreferencesDialog::makeTemplate(const QString &folder, const QString &name)
{
    QDir(m_settings->path()).mkpath(folder);
    const QString path = m_settings->filePath(folder + QLatin1Char('/') + name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("<plist version=\"1.0\"><dict/></plist>\n");
    return path;
}

QFileDialog *TestPreferencesDialog::chooseFromTheTemplateBox(PreferencesDialog &dialog)
{
    QComboBox *box = dialog.form().templateFileComboBox;
    box->setFocus();
    // "Choose..." is the last entry; the separator before it is skipped.
    QTest::keyClick(box, Qt::Key_End);
    return dialog.findChild<QFileDialog *>();
}

void TestPreferencesDialog::withoutTemplateTheBoxOffersNoneAndChoose()
{
    PreferencesDialog dialog(m_settings->controller());
    const QComboBox *box = dialog.form().templateFileComboBox;
    QCOMPARE(entries(box), (QStringList{"None", "--", "Choose..."}));
    QCOMPARE(box->currentText(), QStringLiteral("None"));
    QCOMPARE(box->itemData(0).toInt(), int(PreferencesDialog::NoTemplateEntry));
    QCOMPARE(box->itemData(2).toInt(), int(PreferencesDialog::ChooseTemplateEntry));
}

void TestPreferencesDialog::storedTemplateShowsAsSecondEntry()
{
    store(TemplateFileKey, makeTemplate(QStringLiteral("t"), QStringLiteral("base.vlk")));
    PreferencesDialog dialog(m_settings->controller());
    const QComboBox *box = dialog.form().templateFileComboBox;
    QCOMPARE(entries(box), (QStringList{"None", "base.vlk \u2014 t", "--", "Choose..."}));
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(box->itemData(1).toInt(), int(PreferencesDialog::TemplateFileEntry));
}

void TestPreferencesDialog::choosingATemplateFileStoresItsPath()
{
    const QString old = makeTemplate(QStringLiteral("old"), QStringLiteral("first.vlk"));
    const QString chosen = makeTemplate(QStringLiteral("t"), QStringLiteral("base.vlk"));
    store(TemplateFileKey, old);
    PreferencesDialog dialog(m_settings->controller());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QFileDialog *files = chooseFromTheTemplateBox(dialog);
    QVERIFY(files);
    QVERIFY(files->isVisible());
    QCOMPARE(files->windowModality(), Qt::WindowModal);
    QVERIFY(files->testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(files->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(files->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(files->nameFilters(), QStringList{"*.vlk"});
    QCOMPARE(files->windowTitle(), QStringLiteral("Open"));
    QCOMPARE(QDir(files->directory()).canonicalPath(), QFileInfo(old).canonicalPath());

    files->selectFile(chosen);
    static_cast<QDialog *>(files)->accept(); // the Open button

    QCOMPARE(m_settings->model()->value(TemplateFileKey).toString(), chosen);
    const QComboBox *box = dialog.form().templateFileComboBox;
    QCOMPARE(entries(box), (QStringList{"None", "base.vlk \u2014 t", "--", "Choose..."}));
    QCOMPARE(box->currentIndex(), 1);
    QTRY_VERIFY(!dialog.findChild<QFileDialog *>()); // each choice makes a dialog of its own
}

void TestPreferencesDialog::cancellingTheFileDialogReturnsToTheStoredEntry_data()
{
    QTest::addColumn<bool>("withTemplate");
    QTest::addColumn<int>("storedEntry");
    QTest::newRow("no template") << false << 0;
    QTest::newRow("template") << true << 1;
}

void TestPreferencesDialog::cancellingTheFileDialogReturnsToTheStoredEntry()
{
    QFETCH(bool, withTemplate);
    QFETCH(int, storedEntry);
    const QString path = withTemplate ? makeTemplate(QStringLiteral("t"), QStringLiteral("base.vlk"))
                                      : QString();
    store(TemplateFileKey, path);
    PreferencesDialog dialog(m_settings->controller());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QFileDialog *files = chooseFromTheTemplateBox(dialog);
    QVERIFY(files);
    const QComboBox *box = dialog.form().templateFileComboBox;
    QCOMPARE(box->currentText(), QStringLiteral("Choose..."));
    files->reject();

    QCOMPARE(box->currentIndex(), storedEntry);
    QCOMPARE(m_settings->model()->value(TemplateFileKey).toString(), path);
}

void TestPreferencesDialog::choosingNoneForgetsTheTemplate()
{
    store(TemplateFileKey, makeTemplate(QStringLiteral("t"), QStringLiteral("base.vlk")));
    PreferencesDialog dialog(m_settings->controller());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QComboBox *box = dialog.form().templateFileComboBox;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);

    QCOMPARE(m_settings->model()->value(TemplateFileKey), QVariant(QString()));
    QCOMPARE(entries(box), (QStringList{"None", "--", "Choose..."}));
    QCOMPARE(box->currentIndex(), 0);
}

void TestPreferencesDialog::storedSwitchesDecideWhichPortBoxesAreEnabled_data()
{
    QTest::addColumn<QVariant>("input"); // as stored; invalid: not stored
    QTest::addColumn<QVariant>("thru");
    QTest::addColumn<bool>("inputOn");
    QTest::addColumn<bool>("thruOn");
    QTest::newRow("not stored") << QVariant() << QVariant() << true << true;
    QTest::newRow("input off") << QVariant(false) << QVariant(true) << false << true;
    QTest::newRow("thru off") << QVariant(true) << QVariant(false) << true << false;
    // An INI store hands values back as strings.
    QTest::newRow("strings") << QVariant(QStringLiteral("false")) << QVariant(QStringLiteral("true"))
                             << false << true;
}

void TestPreferencesDialog::storedSwitchesDecideWhichPortBoxesAreEnabled()
{
    QFETCH(QVariant, input);
    QFETCH(QVariant, thru);
    QFETCH(bool, inputOn);
    QFETCH(bool, thruOn);
    if (input.isValid())
        store(QStringLiteral("MidiInputEnabled"), input);
    if (thru.isValid())
        store(QStringLiteral("MidiThruEnabled"), thru);

    PreferencesDialog dialog(m_settings->controller());
    const Ui::PreferencesDialogForm &form = dialog.form();
    QCOMPARE(form.inputCheckBox->isChecked(), inputOn);
    QCOMPARE(form.inputPortsComboBox->isEnabled(), inputOn);
    QCOMPARE(form.thruCheckBox->isChecked(), thruOn);
    QCOMPARE(form.thruPortsComboBox->isEnabled(), thruOn);
}

void TestPreferencesDialog::clickingASwitchStoresItAndFollowsWithItsPortBox_data()
{
    QTest::addColumn<QString>("checkBox");
    QTest::addColumn<QString>("portBox");
    QTest::addColumn<QString>("otherPortBox");
    QTest::addColumn<QString>("key");
    QTest::newRow("input") << "inputCheckBox" << "inputPortsComboBox" << "thruPortsComboBox"
                           << "MidiInputEnabled";
    QTest::newRow("thru") << "thruCheckBox" << "thruPortsComboBox" << "inputPortsComboBox"
                          << "MidiThruEnabled";
}

void TestPreferencesDialog::clickingASwitchStoresItAndFollowsWithItsPortBox()
{
    QFETCH(QString, checkBox);
    QFETCH(QString, portBox);
    QFETCH(QString, otherPortBox);
    QFETCH(QString, key);
    PreferencesDialog dialog(m_settings->controller());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *box = dialog.findChild<QCheckBox *>(checkBox);
    auto *ports = dialog.findChild<QComboBox *>(portBox);
    auto *otherPorts = dialog.findChild<QComboBox *>(otherPortBox);
    QVERIFY(box && ports && otherPorts);

    // On the box itself: the check box is wider than its text.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QVERIFY(!ports->isEnabled());
    QTRY_COMPARE(m_settings->model()->value(key).toBool(), false);
    QVERIFY(otherPorts->isEnabled());

    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    QVERIFY(ports->isEnabled());
    QTRY_COMPARE(m_settings->model()->value(key).toBool(), true);
}

void TestPreferencesDialog::fixedSizeFromTheLayout()
{
    PreferencesDialog dialog(m_settings->controller());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.size(), dialog.minimumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
}

void TestPreferencesDialog::formMatches_data()
{
    addFormColumns();
    const auto row = addFormRow;
    row("PreferencesDialogForm", "windowTitle", QStringLiteral("Preferences"));
    row("defaultsLabel", "text", QStringLiteral("Defaults"));
    row("templateFileLabel", "text", QStringLiteral("Custom template:"));
    row("templateFileComboBox", "minimumWidth", 160);
    row("inputCheckBox", "text", QStringLiteral("MIDI Input"));
    row("inputCheckBox", "checked", true);
    row("inputPortLabel", "text", QStringLiteral("Port:"));
    row("inputPortsComboBox", "minimumWidth", 160);
    row("inputPortsComboBox", "toolTip", QStringLiteral("Choose MIDI input port"));
    row("thruCheckBox", "text", QStringLiteral("MIDI Thru"));
    row("thruCheckBox", "checked", true);
    row("thruPortLabel", "text", QStringLiteral("Port:"));
    row("thruPortsComboBox", "minimumWidth", 160);
    row("thruPortsComboBox", "toolTip", QStringLiteral("Choose MIDI thru port"));
    row("noteLabel", "text",
        QStringLiteral("Note: For network output, see the Inspector's Instrument panel."));
    row("noteLabel", "enabled", false);
    row("noteLabel", "alignment", int(Qt::AlignCenter));
    for (const char *line : {"line", "line_2", "line_3"}) {
        row(line, "frameShape", int(QFrame::HLine));
        row(line, "frameShadow", int(QFrame::Sunken));
    }
}

void TestPreferencesDialog::formMatches()
{
    QDialog host;
    Ui::PreferencesDialogForm form;
    form.setupUi(&host);
    checkFormRow(host);
}

void TestPreferencesDialog::tabOrderAndBuddies()
{
    QDialog host;
    Ui::PreferencesDialogForm form;
    form.setupUi(&host);
    QCOMPARE(host.size(), QSize(448, 386));
    for (QWidget *bold : {static_cast<QWidget *>(form.defaultsLabel),
                          static_cast<QWidget *>(form.inputCheckBox),
                          static_cast<QWidget *>(form.thruCheckBox)})
        QVERIFY2(bold->font().bold(), qPrintable(bold->objectName()));
    for (QFrame *line : {form.line, form.line_2, form.line_3}) {
        const QPalette palette = line->palette();
        QCOMPARE(palette.color(QPalette::Active, QPalette::WindowText), QColor(135, 135, 135));
        QCOMPARE(palette.color(QPalette::Inactive, QPalette::WindowText), QColor(135, 135, 135));
        QCOMPARE(palette.color(QPalette::Disabled, QPalette::WindowText), QColor(67, 69, 69));
    }
    QCOMPARE(form.templateFileLabel->buddy(), form.templateFileComboBox);
    QCOMPARE(form.inputPortLabel->buddy(), form.inputPortsComboBox);
    QCOMPARE(form.thruPortLabel->buddy(), form.thruPortsComboBox);

    const QStringList order{"templateFileComboBox", "inputCheckBox", "inputPortsComboBox",
                            "thruCheckBox", "thruPortsComboBox"};
    QStringList seen;
    QWidget *w = form.templateFileComboBox;
    do {
        if (order.contains(w->objectName()))
            seen.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w != form.templateFileComboBox);
    QCOMPARE(seen, order);
}

QTEST_MAIN(TestPreferencesDialog)
#include "tst_preferencesdialog.moc"
