#ifndef COMMONMIDIINPUTLISTEDIT_H
#define COMMONMIDIINPUTLISTEDIT_H

#include <QLineEdit>

class MidiEvent;

// A list field that also takes its entries from MIDI input: while it has the
// keyboard focus, a received message is written into the text at the cursor,
// with the separating commas added as needed. What a message becomes depends on
// the field's mode. The entry is an edit like typing, so it reaches a binding on
// editingFinished() at the next Return or focus-out.
class CommonMidiInputListEdit : public QLineEdit
{
    Q_OBJECT

public:
    enum MidiInputMode {
        PitchInput = 1,   // the note name of a note on
        VelocityInput = 2, // the velocity of a note on
        MessageInput = 3  // the whole message as bytes "0x.."; Shift replaces the text
    };

    explicit CommonMidiInputListEdit(QWidget *parent = nullptr);

protected:
    virtual int midiInputMode() const = 0;

    void customEvent(QEvent *event) override;
    void onMidiEvent(const MidiEvent &event);
};

#endif // COMMONMIDIINPUTLISTEDIT_H
