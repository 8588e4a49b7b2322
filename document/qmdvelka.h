#ifndef QMDVELKA_H
#define QMDVELKA_H

#include <QFlags>

// Shared enumerations of the network document.
namespace QmdVelka {

// The kind of an element, stored as its int key "Type".
enum ElementType {
    InvalidElement = 0, // never stored
    Edge = 1,
    Node = 2,
    TextBox = 3,
    VoiceGroup = 4
};

// The route of an edge, stored as its int key "Path".
enum EdgePath {
    CityBlock = 0,        // right-angled, horizontal leg first
    CityBlockFlipped = 1, // right-angled, vertical leg first
    Direct = 2            // straight line
};

// Flags of the element creation requests.
enum CreationFlag {
    NoCreationFlags = 0x0,
    CreateHidden = 0x1 // the new element carries "IsHidden" true
};
Q_DECLARE_FLAGS(CreationFlags, CreationFlag)

} // namespace QmdVelka

Q_DECLARE_OPERATORS_FOR_FLAGS(QmdVelka::CreationFlags)

#endif // QMDVELKA_H
