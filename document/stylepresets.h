#ifndef STYLEPRESETS_H
#define STYLEPRESETS_H

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// The named colour presets of a document's eight canvas colour keys
// ("StyleBackgroundColor" ... "StyleEdgesColor"), shared by every document of the
// process. Presets are named by their untranslated names "Dark" and "Light"; only
// texts shown to the user are translated.
namespace StylePresets {

// Key -> colour (a QVariant holding a QColor) of every colour key.
typedef QHash<QString, QVariant> Preset;

// The preset names, sorted: "Dark", "Light".
QStringList names();
// The preset of that (untranslated) name; empty when there is none.
Preset preset(const QString &name);
// The preset that new documents take for the colour keys they lack.
QString defaultName();

} // namespace StylePresets

#endif // STYLEPRESETS_H
