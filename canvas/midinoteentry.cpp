#include "midinoteentry.h"

#include "elementindexes.h"
#include "midievent.h"
#include "notenames.h"
#include "qmdvelka.h"
#include "qmdvelkacontroller.h"
#include "qmdvelkakeys.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>

namespace {

constexpr unsigned char NoteOffStatus = 0x80;
constexpr unsigned char NoteOnStatus = 0x90;
constexpr unsigned char StatusKindMask = 0xf0;

QString listWith(const QString &old, const QString &entry, bool append)
{
    if (!append || old.isEmpty())
        return entry;
    return old + QLatin1Char(',') + entry;
}

} // namespace

void MidiNoteEntry::enter(QmdVelkaController *controller, const QmdItemIdSet &selected, const MidiEvent &event)
{
    const QVector<unsigned char> &bytes = event.message();
    if (bytes.size() != 3)
        return;
    const unsigned char kind = bytes.at(0) & StatusKindMask;
    if (kind == NoteOffStatus || (kind == NoteOnStatus && bytes.at(2) == 0)) {
        m_noteHeld = false;
        return;
    }
    if (kind != NoteOnStatus)
        return;
    const bool append = m_noteHeld || event.modifiers().testFlag(Qt::ShiftModifier);
    enterNote(controller, selected, bytes.at(1), bytes.at(2), append);
    m_noteHeld = true;
}

void MidiNoteEntry::enterNote(QmdVelkaController *controller, const QmdItemIdSet &selected, int pitch,
                              int velocity, bool append)
{
    if (!controller)
        return;
    const QString pitchText = noteNumberToName(pitch);
    const QString velocityText = QString::number(velocity);
    const QString undoText = QCoreApplication::translate("NetworkView", "MIDI Entry");

    QmdItemIdList ids(selected.cbegin(), selected.cend());
    std::sort(ids.begin(), ids.end());
    QmdRequestId rid = 0;
    for (QmdItemId id : std::as_const(ids)) {
        QHash<QString, QVariant> values;
        switch (controller->elementType(id)) {
        case QmdVelka::Node:
            values.insert(QmdVelkaKeys::PitchList,
                          listWith(controller->elementData(id, QmdVelkaKeys::PitchList).toString(), pitchText, append));
            values.insert(QmdVelkaKeys::VelocityList,
                          listWith(controller->elementData(id, QmdVelkaKeys::VelocityList).toString(), velocityText, append));
            break;
        case QmdVelka::VoiceGroup:
            values.insert(QmdVelkaKeys::InitialPitch, pitchText);
            values.insert(QmdVelkaKeys::InitialVelocity, velocityText);
            break;
        default:
            break;
        }
        if (values.isEmpty())
            continue;
        if (const std::optional<QmdIndex> record = existingElementIndex(controller, id))
            rid = controller->requestSetData(values, *record, QmdRequestOptions({}, undoText, rid));
    }
}
