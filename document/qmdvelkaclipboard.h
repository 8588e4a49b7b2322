#ifndef QMDVELKACLIPBOARD_H
#define QMDVELKACLIPBOARD_H

#include "qmddirectmodelinterface.h"
#include "qmdtypes.h"
#include "tickpos.h"

#include <QByteArray>
#include <QString>

class QmdVelkaController;

// Copy and paste of network elements through the system clipboard.
//
// The clipboard carries, under the MIME type "text/velka-elements", a
// property-list document whose top container holds the copied elements
// under their ids, each with all its keys. Nothing else travels: no
// instruments, no element states, no document settings.
//
// Paste adds the elements as new ones with fresh ids, their bounding box
// centred on a canvas position and the first node on the document's division
// grid, and points their edges, arc identifiers, usage lists and voice-group
// targets at the new copies. What would point outside the pasted set (an
// edge without both its nodes, a voice group without its node, arc entries of
// edges left behind) is dropped. Instrument references are kept as they are.
//
// Both run as requests of the controller: copy only reads and records
// nothing; paste is one undo step "Paste".
class QmdVelkaClipboard : public QmdDirectModelInterface
{
public:
    explicit QmdVelkaClipboard(QmdVelkaController *controller);

    static QString mimeType();

    QmdRequestId copy(const QmdItemIdSet &elements);
    QmdRequestId paste(const QmdVelka::TickPos &center);

    // The clipboard document of the elements (those that exist); ids are
    // written in ascending order.
    QByteArray payload(const QmdItemIdSet &elements);
    // Pastes a clipboard document as one request.
    QmdRequestId pastePayload(const QByteArray &payload, const QmdVelka::TickPos &center);

private:
    QmdVelkaController *m_controller;
};

#endif // QMDVELKACLIPBOARD_H
