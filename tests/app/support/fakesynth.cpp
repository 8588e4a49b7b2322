#include "fakesynth.h"

FakeSynth::FakeSynth(QObject *parent) : QObject(parent)
{
}

FakeSynth::FakeSynth(const QString &bankName, const QList<Instrument> &instruments,
                     QObject *parent)
    : QObject(parent)
    , m_bankName(bankName)
    , m_instruments(instruments)
{
}

QStringList FakeSynth::callsOf(const QString &name) const
{
    QStringList lines;
    for (const QString &line : calls) {
        if (line.section(QLatin1Char(' '), 0, 0) == name)
            lines.append(line);
    }
    return lines;
}

void FakeSynth::assign(int channel, MidiInstrumentId instrument)
{
    m_channels.at(size_t(channel)) = instrument;
    emit instrumentChanged(channel, instrument);
}

void FakeSynth::record(const QString &line) const
{
    calls.append(line);
}

QObject *FakeSynth::synthObject()
{
    return this;
}

QMetaObject::Connection
FakeSynth::connectInstrumentChanged(QObject *context,
                                    const std::function<void(int channel, MidiInstrumentId)> &slot)
{
    return connect(this, &FakeSynth::instrumentChanged, context, slot);
}

QString FakeSynth::soundBankName() const
{
    record(QStringLiteral("soundBankName"));
    return m_bankName;
}

void FakeSynth::resetSoundBank()
{
    record(QStringLiteral("resetSoundBank"));
}

int FakeSynth::instrumentCount() const
{
    record(QStringLiteral("instrumentCount"));
    return int(m_instruments.size());
}

MidiInstrumentId FakeSynth::instrumentAt(int row) const
{
    record(QStringLiteral("instrumentAt %1").arg(row));
    return row >= 0 && row < m_instruments.size() ? m_instruments.at(row).id : 0;
}

int FakeSynth::indexOfInstrument(MidiInstrumentId instrument) const
{
    record(QStringLiteral("indexOfInstrument %1").arg(instrument));
    for (int row = 0; row < m_instruments.size(); ++row) {
        if (m_instruments.at(row).id == instrument)
            return row;
    }
    return -1;
}

QString FakeSynth::instrumentName(MidiInstrumentId instrument) const
{
    record(QStringLiteral("instrumentName %1").arg(instrument));
    for (const Instrument &i : m_instruments) {
        if (i.id == instrument)
            return i.name;
    }
    return QString();
}

MidiInstrumentId FakeSynth::channelInstrument(int channel) const
{
    record(QStringLiteral("channelInstrument %1").arg(channel));
    return channel >= 0 && channel < 16 ? m_channels.at(size_t(channel)) : 0;
}

void FakeSynth::setChannelInstrument(int channel, MidiInstrumentId instrument)
{
    record(QStringLiteral("setChannelInstrument %1 %2").arg(channel).arg(instrument));
    if (channel < 0 || channel >= 16 || instrument == 0)
        return;
    assign(channel, instrument);
}

MidiProgram FakeSynth::programOfInstrument(MidiInstrumentId instrument) const
{
    record(QStringLiteral("programOfInstrument %1").arg(instrument));
    for (const Instrument &i : m_instruments) {
        if (i.id == instrument)
            return i.program;
    }
    return MidiProgram();
}

MidiInstrumentId FakeSynth::instrumentOfProgram(const MidiProgram &program) const
{
    record(QStringLiteral("instrumentOfProgram %1 %2 %3")
               .arg(program.bankMsb)
               .arg(program.bankLsb)
               .arg(program.program));
    for (const Instrument &i : m_instruments) {
        if (i.program.bankMsb == program.bankMsb && i.program.bankLsb == program.bankLsb
            && i.program.program == program.program)
            return i.id;
    }
    return 0;
}
