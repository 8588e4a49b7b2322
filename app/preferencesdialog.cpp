#include "preferencesdialog.h"

#include "csettingschangevalueevent.h"
#include "settingscontroller.h"
#include "settingskeys.h"
#include "settingsmodel.h"
#include "velkaapplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

PreferencesDialog::PreferencesDialog(SettingsController *settingsController, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                  | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_settingsController(settingsController)
{
    m_form.setupUi(this);

    QComboBox *templates = m_form.templateFileComboBox;
    templates->addItem(tr("None"), int(NoTemplateEntry));
    templates->insertSeparator(1);
    templates->addItem(tr("Choose..."), int(ChooseTemplateEntry));

    if (VelkaApplication *app = VelkaApplication::instance()) {
        connect(app, &VelkaApplication::midiInputPortsChanged, this,
                &PreferencesDialog::rescanInputPorts);
        connect(app, &VelkaApplication::midiOutputPortsChanged, this,
                &PreferencesDialog::rescanThruPorts);
    }
    rescanInputPorts();
    rescanThruPorts();

    if (m_settingsController) {
        m_settingsController->bind(m_form.inputCheckBox, "checked", SIGNAL(toggled(bool)),
                                   midiInputEnabledKey());
        m_settingsController->bind(m_form.inputPortsComboBox, "currentKey", SIGNAL(activated(int)),
                                   midiInputPortKey());
        m_settingsController->bind(m_form.thruCheckBox, "checked", SIGNAL(toggled(bool)),
                                   midiThruEnabledKey());
        m_settingsController->bind(m_form.thruPortsComboBox, "currentKey", SIGNAL(activated(int)),
                                   midiThruPortKey());
    }

    refreshTemplateFileComboBox();
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::on_templateFileComboBox_activated(int index)
{
    switch (m_form.templateFileComboBox->itemData(index).toInt()) {
    case NoTemplateEntry:
        onTemplateFileChosen(QString());
        break;
    case ChooseTemplateEntry: {
        // Start in the stored template's folder, even when the file is gone.
        const QString stored = storedString(templateFileKey());
        const QString folder = stored.isEmpty() ? QString() : QFileInfo(stored).absolutePath();
        auto *dialog = new QFileDialog(this, tr("Open"), folder, QStringLiteral("*.vlk"));
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        if (QFileInfo::exists(stored))
            dialog->selectFile(stored);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        connect(dialog, &QFileDialog::rejected, this,
                &PreferencesDialog::refreshTemplateFileComboBox);
        connect(dialog, &QFileDialog::fileSelected, this, &PreferencesDialog::onTemplateFileChosen);
        connect(dialog, &QFileDialog::finished, dialog, &QObject::deleteLater);
        dialog->open(); // window-modal
        break;
    }
    default: // the current file: nothing to change
        break;
    }
}

void PreferencesDialog::onTemplateFileChosen(const QString &path)
{
    if (m_settingsController) {
        CSettingsChangeValueEvent change(templateFileKey(), path);
        QCoreApplication::sendEvent(m_settingsController, &change);
        // The model stores the value when its posted event is handled.
        QCoreApplication::processEvents();
    }
    refreshTemplateFileComboBox();
}

void PreferencesDialog::refreshTemplateFileComboBox()
{
    QComboBox *box = m_form.templateFileComboBox;
    const QString path = storedString(templateFileKey());
    int entry = box->findData(int(TemplateFileEntry), Qt::UserRole,
                              Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (path.isEmpty()) {
        if (entry >= 0)
            box->removeItem(entry);
        entry = -1;
    } else {
        const QFileInfo file(path);
        const QString text = file.fileName() + tr(" \u2014 ") + QDir(file.path()).dirName();
        if (entry >= 0) {
            box->setItemText(entry, text);
        } else {
            entry = 1;
            box->insertItem(entry, text, int(TemplateFileEntry));
        }
    }
    box->setCurrentIndex(entry >= 0 ? entry : 0);
}

void PreferencesDialog::rescanInputPorts()
{
    const VelkaApplication *app = VelkaApplication::instance();
    refillPortBox(m_form.inputPortsComboBox, app ? app->sortedMidiInputPortNames() : QStringList(),
                  midiInputPortKey());
}

void PreferencesDialog::rescanThruPorts()
{
    const VelkaApplication *app = VelkaApplication::instance();
    refillPortBox(m_form.thruPortsComboBox, app ? app->sortedMidiOutputPortNames() : QStringList(),
                  midiThruPortKey());
}

QString PreferencesDialog::storedString(const QString &key) const
{
    const SettingsModel *model = m_settingsController ? m_settingsController->settingsModel() : nullptr;
    return model ? model->value(key).toString() : QString();
}

void PreferencesDialog::refillPortBox(QwpComboBox *box, const QStringList &portNames,
                                      const QString &key)
{
    // With no port selected (the stored one was gone) the stored name is
    // selected again once its port is back.
    const QString port = box->currentIndex() >= 0 ? box->currentText() : storedString(key);
    box->clear();
    box->addKeyItems(portNames);
    box->setCurrentKey(port);
}
