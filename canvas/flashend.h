#ifndef FLASHEND_H
#define FLASHEND_H

#include "qmdtypes.h"

class ElementItem;

// When a node's flash for one voice ends; the scene keeps these by end tick.
// The node is an item of the scene's registry (a node item); the scene drops
// its entries before the item goes.
struct FlashEnd
{
    ElementItem *node = nullptr;
    QmdItemId voiceGroup = 0;
    quint32 voiceNumber = 0;
};

#endif // FLASHEND_H
