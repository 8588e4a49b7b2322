#ifndef MVCFAMILY_H
#define MVCFAMILY_H

// Process-wide ids of event families. An id is handed out once and never
// given back, so independent families may reuse the same event type numbers.

// The smallest id from 1 up that has not been returned before; 0 once every
// id below 4294967295 is taken (4294967295 itself is never returned).
// Not locked: first used on the GUI thread.
unsigned int allocateUniqueId();

// The id of the generic family (attach, detach, change of model or controller),
// taken from allocateUniqueId() on the first call and kept.
unsigned int abstractFamilyId();

#endif // MVCFAMILY_H
