#ifndef MIDIPORTSBOXGRAPHICSVIEW_H
#define MIDIPORTSBOXGRAPHICSVIEW_H

#include <QGraphicsView>

class QGraphicsLinearLayout;
class QGraphicsWidget;

// A vertically scrolling box of entries (one check box per MIDI port, each in
// a proxy widget). Whoever adds or removes entries in boxLayout() calls
// adjustBox() afterwards; the box then spans the view's width, less the
// vertical scroll bar while it shows.
class MidiPortsBoxGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit MidiPortsBoxGraphicsView(QWidget *parent = nullptr);

    QGraphicsWidget *box() const { return m_box; }
    QGraphicsLinearLayout *boxLayout() const { return m_boxLayout; }

    void adjustBox();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QGraphicsWidget *m_box;
    QGraphicsLinearLayout *m_boxLayout;
};

#endif // MIDIPORTSBOXGRAPHICSVIEW_H
