#include "commonmidiinputlistedit.h"

#include "midievent.h"
#include "notenames.h"

namespace {

// A note on with a velocity above 0, on any channel: the field records no channel.
bool isNoteOn(const QVector<unsigned char> &message)
{
    return message.size() == 3 && (message.at(0) & 0xF0) == 0x90 && message.at(1) < 0x80
        && message.at(2) < 0x80 && message.at(2) > 0;
}

QString messageText(const QVector<unsigned char> &message)
{
    QStringList bytes;
    for (unsigned char byte : message)
        bytes << QStringLiteral("0x%1").arg(uint(byte), 0, 16);
    return bytes.join(QLatin1Char(' '));
}

} // namespace

CommonMidiInputListEdit::CommonMidiInputListEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

void CommonMidiInputListEdit::customEvent(QEvent *event)
{
    // The type number of MIDI input is shared with other custom events.
    if (auto *midiEvent = dynamic_cast<MidiEvent *>(event))
        onMidiEvent(*midiEvent);
}

void CommonMidiInputListEdit::onMidiEvent(const MidiEvent &event)
{
    const QVector<unsigned char> &message = event.message();
    const int mode = midiInputMode();
    QString entry;
    switch (mode) {
    case PitchInput:
        if (!isNoteOn(message))
            return;
        entry = noteNumberToName(message.at(1));
        break;
    case VelocityInput:
        if (!isNoteOn(message))
            return;
        entry = QString::number(message.at(2));
        break;
    case MessageInput:
        if (message.isEmpty())
            return;
        entry = messageText(message);
        break;
    default:
        return;
    }

    // Inserting rather than setting the text keeps this an edit of the user's,
    // undoable in the field and reported by editingFinished().
    if (mode == MessageInput && event.modifiers().testFlag(Qt::ShiftModifier)) {
        selectAll();
        insert(entry);
        return;
    }

    const int insertionPoint = hasSelectedText() ? selectionStart() : cursorPosition();
    QString rest = text();
    if (hasSelectedText())
        rest.remove(insertionPoint, selectedText().size());
    const QLatin1Char comma(',');
    const bool commaBefore = insertionPoint > 0 && rest.at(insertionPoint - 1) != comma;
    const bool commaAfter = insertionPoint < rest.size() && rest.at(insertionPoint) != comma;
    insert((commaBefore ? QString(comma) : QString()) + entry + (commaAfter ? QString(comma) : QString()));
}
