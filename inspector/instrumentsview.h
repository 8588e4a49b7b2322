#ifndef INSTRUMENTSVIEW_H
#define INSTRUMENTSVIEW_H

#include "qmdobserver.h"
// Complete, for the observer's inherited setController().
#include "qmdvelkacontroller.h"

#include <QListView>

// The list of a document's instruments on the inspector's instrument page.
// Besides what a list view does, Delete and Backspace remove the selected
// instruments from the document, as one undoable step. While the list has the
// focus those keys are its own: a window-wide Delete shortcut does not get
// them.
class InstrumentsView : public QListView, public QmdObserver<QmdVelkaController>
{
    Q_OBJECT

public:
    explicit InstrumentsView(QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

#endif // INSTRUMENTSVIEW_H
