#ifndef CONTROLLERTEST_H
#define CONTROLLERTEST_H

#include "qmdindex.h"
#include "qmdtypes.h"

#include <QString>

class QmdController;

// Helpers for tests that build a document through a controller's requests.
namespace ControllerTest {

// The id that after has and before lacks; 0 when none.
QmdItemId newId(const QmdItemIdList &before, const QmdItemIdList &after);

// Lets the controller answer every change queued so far, follow-ups included.
void settle();

// The tree under parent as indented text, keys and ids in listing order, for
// before/after comparisons.
QString dump(const QmdController &controller, const QmdIndex &parent = QmdIndex(), int depth = 0);

} // namespace ControllerTest

#endif // CONTROLLERTEST_H
