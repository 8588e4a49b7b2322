#ifndef OUTPUTPORTNAMES_H
#define OUTPUTPORTNAMES_H

#include <QSet>
#include <QString>

#include <functional>

// Where the document learns which MIDI output ports exist. The document layer cannot
// ask the MIDI library itself: the playback engine installs a source at start-up
// (MidiOutput::availablePortNames), tests install a fixed list. Without a source
// there are no ports.
namespace OutputPortNames {

typedef std::function<QSet<QString>()> Source;

// Installs the source; an empty function removes it.
void setSource(Source source);
// The names the source reports now (each once, in no particular order).
QSet<QString> available();

// The port a new instrument gets among the given names: in portNameLessThan order,
// the first whose name contains "synth" in any letter case, else the first name;
// an empty string when there are none.
QString chooseDefault(const QSet<QString> &portNames);

} // namespace OutputPortNames

#endif // OUTPUTPORTNAMES_H
