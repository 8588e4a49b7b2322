#include "midisynthdialog.h"

#include "dialogplacement.h"
#include "settingscontroller.h"
#include "settingskeys.h"
#include "settingsmodel.h"
#include "synthchannelsmodel.h"
#include "synthinstruments.h"
#include "synthinstrumentsmodel.h"

#include <QAbstractItemView>
#include <QSettings>
#include <QSignalBlocker>

namespace {

QSettings *settingsOf(const SettingsController *controller)
{
    SettingsModel *model = controller ? controller->settingsModel() : nullptr;
    return model ? model->settings() : nullptr;
}

} // namespace

MidiSynthDialog::MidiSynthDialog(SettingsController *settingsController, QWidget *)
    : QDialog(nullptr,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , m_settingsController(settingsController)
{
    setupUi(this);
    openButton->hide();

    m_channelsModel = new SynthChannelsModel(this);
    channelsView->setModel(m_channelsModel);
    channelsView->setUniformRowHeights(true);
    connect(channelsView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MidiSynthDialog::onChannelIndexOrDataChanged);
    connect(m_channelsModel, &QAbstractItemModel::dataChanged, this,
            &MidiSynthDialog::onChannelIndexOrDataChanged);

    m_instrumentsModel = new SynthInstrumentsModel(this);
    instrumentsComboBox->setModel(m_instrumentsModel);

    for (QSpinBox *box : {programSpinBox, bankMSBSpinBox, bankLSBSpinBox})
        connect(box, &QSpinBox::valueChanged, this, &MidiSynthDialog::onAnySpinBoxValueChanged);

    const QSettings *settings = settingsOf(m_settingsController);
    const QByteArray geometry = settings ? settings->value(midiSynthDialogGeometryKey()).toByteArray() : QByteArray();
    if (geometry.isNull() || !restoreGeometry(geometry))
        moveToUpperMiddle(this);

    updateUi();
}

MidiSynthDialog::~MidiSynthDialog()
{
    if (QSettings *settings = settingsOf(m_settingsController))
        settings->setValue(midiSynthDialogGeometryKey(), saveGeometry());
}

SynthInstruments *MidiSynthDialog::synth() const
{
    return m_synthObject ? m_synth : nullptr;
}

void MidiSynthDialog::setSynth(SynthInstruments *synth)
{
    disconnect(m_synthDestroyed);
    m_synth = synth;
    m_synthObject = synth ? synth->synthObject() : nullptr;
    m_channelsModel->setSynth(synth);
    m_instrumentsModel->setSynth(synth);
    // The models empty themselves first; then the dialog shows that the
    // synthesizer is gone.
    if (m_synthObject)
        m_synthDestroyed = connect(m_synthObject, &QObject::destroyed, this,
                                   [this] { setSynth(nullptr); });
    updateUi();
}

void MidiSynthDialog::updateUi()
{
    channelsView->reset();
    instrumentsComboBox->view()->reset();
    channelsView->selectionModel()->setCurrentIndex(m_channelsModel->index(0, 0),
                                                    QItemSelectionModel::ClearAndSelect
                                                        | QItemSelectionModel::Current
                                                        | QItemSelectionModel::Rows);
    SynthInstruments *s = synth();
    soundBankLabel->setText(s ? s->soundBankName() : tr("(no sound bank)"));
}

void MidiSynthDialog::on_resetButton_clicked()
{
    if (SynthInstruments *s = synth())
        s->resetSoundBank();
}

void MidiSynthDialog::onChannelIndexOrDataChanged(const QModelIndex &index)
{
    const int channel = currentChannel();
    if (!index.isValid() || index.row() != channel)
        return;
    SynthInstruments *s = synth();
    const MidiInstrumentId instrument = s ? s->channelInstrument(channel) : 0;
    const int position = s ? s->indexOfInstrument(instrument) : -1;
    const MidiProgram program = s ? s->programOfInstrument(instrument) : MidiProgram();

    channelsView->viewport()->update();

    // Loading shows the synthesizer's state; it must not write it back.
    {
        const QSignalBlocker blocker(instrumentsComboBox);
        instrumentsComboBox->setCurrentIndex(position);
    }
    {
        const QSignalBlocker blocker(programSpinBox);
        programSpinBox->setValue(program.program + 1);
    }
    {
        const QSignalBlocker blocker(bankMSBSpinBox);
        bankMSBSpinBox->setValue(program.bankMsb);
    }
    {
        const QSignalBlocker blocker(bankLSBSpinBox);
        bankLSBSpinBox->setValue(program.bankLsb);
    }
}

void MidiSynthDialog::on_instrumentsComboBox_currentIndexChanged(int index)
{
    SynthInstruments *s = synth();
    const int channel = currentChannel();
    // Only emptying the list gives no entry; nothing was picked then.
    if (!s || channel < 0 || index < 0)
        return;
    s->setChannelInstrument(channel, s->instrumentAt(index));
}

void MidiSynthDialog::onAnySpinBoxValueChanged()
{
    SynthInstruments *s = synth();
    const int channel = currentChannel();
    if (!s || channel < 0)
        return;
    MidiProgram program;
    program.program = quint8(programSpinBox->value() - 1);
    program.bankMsb = quint8(bankMSBSpinBox->value());
    program.bankLsb = quint8(bankLSBSpinBox->value());
    s->setChannelInstrument(channel, s->instrumentOfProgram(program));
}

int MidiSynthDialog::currentChannel() const
{
    const QModelIndex current = channelsView->currentIndex();
    return current.isValid() ? current.row() : -1;
}
