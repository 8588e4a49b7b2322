#ifndef PREFERENCESDIALOG_H
#define PREFERENCESDIALOG_H

#include "ui_PreferencesDialogForm.h"

#include <QDialog>
#include <QPointer>

class QwpComboBox;
class SettingsController;

// Edits the settings that belong to no document: the custom template every
// new document starts from, and the MIDI input and thru ports with their
// switches. It keeps no copy of them: each widget is bound to its settings
// key, so the dialog shows what is stored and a user's change is stored at
// once; the application follows the MIDI keys, new windows read the template.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    // Kinds of the template box's entries, kept under Qt::UserRole.
    enum TemplateEntry { NoTemplateEntry = 101, TemplateFileEntry = 102, ChooseTemplateEntry = 103 };

    explicit PreferencesDialog(SettingsController *settingsController, QWidget *parent = nullptr);
    ~PreferencesDialog() override;

    Ui::PreferencesDialogForm &form() { return m_form; }

public slots:
    void on_templateFileComboBox_activated(int index);
    void onTemplateFileChosen(const QString &path);
    void refreshTemplateFileComboBox();
    void rescanInputPorts();
    void rescanThruPorts();

private:
    QString storedString(const QString &key) const;
    // Refills a port box, keeping its port selected while the port is present.
    void refillPortBox(QwpComboBox *box, const QStringList &portNames, const QString &key);

    Ui::PreferencesDialogForm m_form;
    QPointer<SettingsController> m_settingsController;
};

#endif // PREFERENCESDIALOG_H
