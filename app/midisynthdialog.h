#ifndef MIDISYNTHDIALOG_H
#define MIDISYNTHDIALOG_H

#include "ui_MidiSynthDialogForm.h"

#include <QDialog>
#include <QMetaObject>
#include <QPointer>

class SettingsController;
class SynthChannelsModel;
class SynthInstrumentsModel;
class SynthInstruments;

// Shows the synthesizer: its sound bank, the instrument of each of its 16
// MIDI channels, and editors that give the current channel an instrument from
// the list or by program and bank number. Everything is read from and written
// to the synthesizer; the dialog keeps no copy. A top-level tool window whose
// place is kept in the settings under "MidiSynthDialogGeometry".
class MidiSynthDialog : public QDialog, public Ui::MidiSynthDialogForm
{
    Q_OBJECT

public:
    // The settings controller gives the store of the dialog's geometry; the
    // parent is not used, the dialog is always a window of its own.
    explicit MidiSynthDialog(SettingsController *settingsController, QWidget *parent = nullptr);
    ~MidiSynthDialog() override;

    SynthInstruments *synth() const;
    void setSynth(SynthInstruments *synth);

    void updateUi();

private slots:
    void on_resetButton_clicked();
    void onChannelIndexOrDataChanged(const QModelIndex &index);
    void on_instrumentsComboBox_currentIndexChanged(int index);
    void onAnySpinBoxValueChanged();

private:
    void placeOnScreen();
    // The row of channelsView's current index, or -1.
    int currentChannel() const;

    SynthChannelsModel *m_channelsModel;
    SynthInstrumentsModel *m_instrumentsModel;
    QPointer<QObject> m_synthObject; // guards m_synth
    SynthInstruments *m_synth = nullptr;
    QMetaObject::Connection m_synthDestroyed;
    QPointer<SettingsController> m_settingsController;
};

#endif // MIDISYNTHDIALOG_H
