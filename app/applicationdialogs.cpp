#include "applicationdialogs.h"

#include "dialogplacement.h"
#include "midisynthdialog.h"
#include "preferencesdialog.h"
#include "settingscontroller.h"
#include "synthinstruments.h"

#include <QLayout>

ApplicationDialogs::ApplicationDialogs(SettingsController *settingsController,
                                       SynthInstruments *synth, QObject *parent)
    : QObject(parent)
    , m_settingsController(settingsController)
    , m_synthObject(synth ? synth->synthObject() : nullptr)
    , m_synth(synth)
{
}

ApplicationDialogs::~ApplicationDialogs()
{
    delete m_preferencesDialog;
    if (m_synthDialog) {
        disconnect(m_synthDialog, nullptr, this, nullptr);
        delete m_synthDialog;
    }
}

PreferencesDialog *ApplicationDialogs::preferencesDialog() const
{
    return m_preferencesDialog;
}

MidiSynthDialog *ApplicationDialogs::synthDialog() const
{
    return m_synthDialog;
}

bool ApplicationDialogs::isSynthDialogOpen() const
{
    return m_synthDialog;
}

void ApplicationDialogs::showPreferences()
{
    if (!m_preferencesDialog) {
        m_preferencesDialog = new PreferencesDialog(m_settingsController);
        // The layout fixes the dialog's size; place it by that size.
        m_preferencesDialog->layout()->activate();
        moveToUpperMiddle(m_preferencesDialog);
        m_preferencesDialog->setAttribute(Qt::WA_DeleteOnClose);
        m_preferencesDialog->show();
    }
    m_preferencesDialog->activateWindow();
    m_preferencesDialog->raise();
}

void ApplicationDialogs::setSynthDialogOpen(bool open)
{
    if (!open) {
        // Forget the dialog at once: a request to open that follows before
        // the event loop has deleted it gets a new dialog, not this one.
        MidiSynthDialog *dialog = m_synthDialog;
        m_synthDialog = nullptr;
        if (dialog) {
            dialog->hide();
            dialog->deleteLater();
        }
        return;
    }
    if (!m_synthDialog) {
        auto *dialog = new MidiSynthDialog(m_settingsController);
        m_synthDialog = dialog;
        dialog->setSynth(m_synthObject ? m_synth : nullptr);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        // Closed by the user: forgotten at once, gone when deleted.
        connect(dialog, &QDialog::finished, this, [this, dialog] {
            if (m_synthDialog == dialog)
                m_synthDialog = nullptr;
        });
        connect(dialog, &QObject::destroyed, this, &ApplicationDialogs::synthDialogToggled);
        dialog->show();
        emit synthDialogToggled();
    }
    m_synthDialog->activateWindow();
    m_synthDialog->raise();
}

void ApplicationDialogs::toggleSynthDialog()
{
    setSynthDialogOpen(!isSynthDialogOpen());
}
