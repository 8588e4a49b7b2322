#ifndef VOICERULES_H
#define VOICERULES_H

#include "qmdtypes.h"
#include "qmdvelkakeys.h"

#include <QString>

#include <functional>
#include <vector>

// The rules by which a node turns the text of its lists into what an arriving
// voice plays and where it goes next. They read only the texts and values they
// are given, so the voice step (VoiceGroup::stepVoice) is the one place that
// reads and writes the document. None of them throws.
namespace VoiceRules {

// Ticks of one principal, the unit of plain duration fields.
constexpr quint64 TicksPerPrincipal = QmdVelka::TicksPerPrincipal;
// Longest note a node can give a voice: 10000 principals.
constexpr quint64 MaxDuration = 10000 * TicksPerPrincipal;

// The field at *cursor of a comma-separated list, counting only non-empty
// fields (nothing is trimmed). When there is no such field the cursor becomes 0
// and field 0 is taken; false when the list has no non-empty field at all.
bool listField(const QString &list, quint32 *cursor, QString *field);

// "+n" and "-n" move the pitch by n; any other field is a note name.
// The result is kept to 0..127.
quint8 applyPitchField(quint8 pitch, const QString &field);
// "+n" and "-n" move the velocity by n; any other field is the velocity.
// The result is kept to 0..127.
quint8 applyVelocityField(quint8 velocity, const QString &field);

// A duration field applied to the duration a voice brought with it:
//   "0.25"       a quarter principal;
//   "50%"        half the travel time along the first chosen edge (or of a
//                principal when no edge's travel time is known);
//   "+1", "-50%" that much longer or shorter;
//   "*2", "/2"   that many times longer or shorter, unless the field ends with
//                "%" and a travel time is known (then unchanged).
// The result is kept to 0..MaxDuration; a "/" field whose divisor is 0 or not a
// number, or a field that computes to no number at all, leaves it unchanged.
quint64 applyDurationField(quint64 duration, const QString &field, bool travelTimeFound,
                           quint64 travelTime);

// A user MIDI message: bytes separated by white space, each one or two
// hexadecimal digits with an optional "0x" ("b0 07 64", "0xb0 0x7 0x64").
// False, and *bytes untouched, when any part is not such a byte or there is
// none: a message that could not be read is never sent.
bool userMidiMessageBytes(QStringView field, std::vector<unsigned char> *bytes);

// The message at *cursor of a comma-separated message list, by the list rule
// of listField, with messages that cannot be read skipped as empty fields are.
bool userMidiMessage(const QString &list, quint32 *cursor, std::vector<unsigned char> *bytes);

// A uniformly chosen integer in lo..hi (the bounds swapped when lo > hi), from a
// generator of the calling thread.
qint64 randomInt(qint64 lo, qint64 hi);

// Sequential choice: *index is the entry in use (empty fields count) and *uses
// how often it has been used. Sets *edge to the entry's edge and advances the
// two; false (nothing changed) when the list leads nowhere.
bool chooseSequential(const QString &arcUsageList, quint32 *index, qint32 *uses, QmdItemId *edge);

// Random choice, weighted by the entries' uses counts; an entry whose count is
// 0 is always taken. 0 when the list leads nowhere.
QmdItemId chooseRandom(const QString &arcUsageList);
// The same choice made with the random number `draw`, so a seeded generator
// chooses the same edges in every run.
QmdItemId chooseRandom(const QString &arcUsageList, quint64 draw);

// Travel time of an edge in ticks; false when the edge cannot be travelled.
typedef std::function<bool(QmdItemId edge, quint64 *ticks)> TravelTimeFunction;

// Parallel choice: every travellable edge of the list. *first is the one with
// the longest travel time (the earliest in the list among equals), *further the
// others in list order, *first removed from them.
void chooseParallel(const QString &arcUsageList, const TravelTimeFunction &travelTime,
                    QmdItemId *first, QmdItemIdList *further);

} // namespace VoiceRules

#endif // VOICERULES_H
