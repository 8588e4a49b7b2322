#include "midiportsboxgraphicsview.h"

#include <QGraphicsLinearLayout>
#include <QGraphicsScene>
#include <QGraphicsWidget>
#include <QScrollBar>

namespace {

// Room kept free right of the box, inside the viewport.
constexpr int RightGap = 4;

} // namespace

MidiPortsBoxGraphicsView::MidiPortsBoxGraphicsView(QWidget *parent)
    : QGraphicsView(parent)
    , m_box(new QGraphicsWidget)
    , m_boxLayout(new QGraphicsLinearLayout(Qt::Vertical))
{
    auto *scene = new QGraphicsScene(this);
    m_boxLayout->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    m_boxLayout->setContentsMargins(0, 0, 0, 0);
    m_boxLayout->setSpacing(0);
    m_box->setContentsMargins(2, 2, 0, 2);
    m_box->setLayout(m_boxLayout);
    scene->addItem(m_box);
    setScene(scene);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void MidiPortsBoxGraphicsView::adjustBox()
{
    m_box->adjustSize();
    int width = maximumViewportSize().width();
    // Visible to the view, not on screen: the bar appears while the view is
    // being shown, before the window counts as visible.
    const QScrollBar *bar = verticalScrollBar();
    if (bar && bar->isVisibleTo(this))
        width -= bar->width();
    width = qMax(0, width - RightGap);
    m_box->setMinimumWidth(width);
    m_box->setMaximumWidth(width);
    setSceneRect(m_box->geometry());
}

void MidiPortsBoxGraphicsView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    adjustBox();
}
