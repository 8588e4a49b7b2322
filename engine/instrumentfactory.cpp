#include "instrumentfactory.h"

#include "debuginstrument.h"
#include "midiinstrument.h"

AbstractInstrument *createInstrument(const QString &type, QmdItemId instrument)
{
    const QString kind = type.toLower();
    if (kind == MidiInstrument::staticType())
        return new MidiInstrument(instrument);
    if (kind == DebugInstrument::staticType())
        return new DebugInstrument(instrument);
    return nullptr;
}

QStringList instrumentTypes()
{
    return {MidiInstrument::staticType(), DebugInstrument::staticType()};
}

QString instrumentTypeDescription(const QString &type)
{
    const QString kind = type.toLower();
    if (kind == MidiInstrument::staticType())
        return MidiInstrument::staticDescription();
    if (kind == DebugInstrument::staticType())
        return DebugInstrument::staticDescription();
    return QString();
}
