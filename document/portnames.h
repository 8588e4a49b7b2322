#ifndef PORTNAMES_H
#define PORTNAMES_H

#include <QString>

// The order of MIDI port names: by the name without its trailing decimal
// number (locale-aware), then by that number, so "Out 2" sorts before "Out 10".
bool portNameLessThan(const QString &a, const QString &b);

#endif // PORTNAMES_H
