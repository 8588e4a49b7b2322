#ifndef DEBUGINSTRUMENT_H
#define DEBUGINSTRUMENT_H

#include "abstractinstrument.h"

// An instrument that prints its events to standard output, for following what
// a document plays without a MIDI port.
class DebugInstrument : public AbstractInstrument
{
    Q_OBJECT

public:
    static QString staticType() { return QStringLiteral("debug"); }
    static QString staticDescription() { return tr("Debug (Console Printer)"); }

    explicit DebugInstrument(QmdItemId instrument);
    ~DebugInstrument() override;

    QString type() const override { return staticType(); }
    QString description() const override { return staticDescription(); }

protected:
    void outputEvents(const std::vector<InstrumentEvent> &events) override;
};

#endif // DEBUGINSTRUMENT_H
