#ifndef FILESDOCUMENT_H
#define FILESDOCUMENT_H

#include "qmdindex.h"

#include <QString>

class QmdModel;
class QmdVelkaController;

namespace FilesDocument {

// The tree under parent as indented text, one line per entry with its value's
// type and value ("Tempo = uint 120"); keys and ids in listing order.
QString dump(QmdModel *model, const QmdIndex &parent = QmdIndex());

// Fills a fresh document through the controller's requests: two nodes (one
// hidden, one with other signalling and lists), an edge of each route, a
// voice group, a text box, two instruments, a sync input and output port and
// non-default root keys.
void buildSample(QmdVelkaController &controller);

} // namespace FilesDocument

#endif // FILESDOCUMENT_H
