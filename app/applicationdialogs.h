#ifndef APPLICATIONDIALOGS_H
#define APPLICATIONDIALOGS_H

#include <QObject>
#include <QPointer>

class MidiSynthDialog;
class PreferencesDialog;
class SettingsController;
class SynthInstruments;

// The dialogs that belong to no document window: the preferences and the
// synthesizer dialog, at most one of each. Each exists only while it is
// shown: closing it destroys it and the next request makes a new one.
class ApplicationDialogs : public QObject
{
    Q_OBJECT

public:
    ApplicationDialogs(SettingsController *settingsController, SynthInstruments *synth,
                       QObject *parent = nullptr);
    // Deletes the dialogs that are still open.
    ~ApplicationDialogs() override;

    PreferencesDialog *preferencesDialog() const;
    // Null from the moment the dialog is closed, even before it is deleted.
    MidiSynthDialog *synthDialog() const;
    bool isSynthDialogOpen() const;

public slots:
    void showPreferences();
    void setSynthDialogOpen(bool open);
    void toggleSynthDialog();

signals:
    // Once when the synthesizer dialog opens, once when it is gone.
    void synthDialogToggled();

private:
    QPointer<SettingsController> m_settingsController;
    QPointer<QObject> m_synthObject; // guards m_synth
    SynthInstruments *m_synth;
    QPointer<PreferencesDialog> m_preferencesDialog;
    QPointer<MidiSynthDialog> m_synthDialog;
};

#endif // APPLICATIONDIALOGS_H
