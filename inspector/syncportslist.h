#ifndef SYNCPORTSLIST_H
#define SYNCPORTSLIST_H

#include "qmdindex.h"

#include <QList>
#include <QString>
#include <QStringList>

class MidiPortsBoxGraphicsView;
class QmdVelkaController;
class SqueezedTextCheckBox;

// The MIDI ports of one direction that may carry the document's MIDI clock,
// as one check box per port in a ports box. Each check box is bound to
// "MidiSync" of the port's entry in a string-keyed container of the document
// ("SyncMidiInputs" or "SyncMidiOutputs"). A rescan lists the ports present
// and the absent ones whose entry still carries the clock (marked offline);
// it creates missing entries and drops those of absent ports that carry no
// clock, both outside the undo history.
class SyncPortsList
{
public:
    using ContainerIndex = QmdIndex (QmdVelkaController::*)() const;

    // removalText and creationText name the requests of a rescan;
    // offlineText follows the name of an absent port.
    SyncPortsList(MidiPortsBoxGraphicsView *box, ContainerIndex container, const QString &removalText,
                  const QString &creationText, const QString &offlineText, const QString &syncText);

    // Rebuilds the box from the document and the present ports; without a
    // controller the box stays empty.
    void rescan(QmdVelkaController *controller, const QStringList &presentNames);

    QList<SqueezedTextCheckBox *> checkBoxes() const;

private:
    void clear();
    QStringList dropOfflineEntries(QmdVelkaController *controller, const QmdIndex &container,
                                   const QStringList &presentNames) const;
    SqueezedTextCheckBox *addCheckBox(const QString &text);

    MidiPortsBoxGraphicsView *m_box;
    ContainerIndex m_container;
    QString m_removalText;
    QString m_creationText;
    QString m_offlineText;
    QString m_syncText;
};

#endif // SYNCPORTSLIST_H
