#ifndef ELEMENTTYPENAME_H
#define ELEMENTTYPENAME_H

#include <QString>

// The translated display name of an element "Type": 0 "Invalid", 1 "Edge", 2 "Node",
// 3 "Text Box", 4 "Voice Group"; an empty text for any other value.
QString elementTypeName(int type);

#endif // ELEMENTTYPENAME_H
