#include "chooser.h"

namespace {

// How much narrower than the style asks a tab is drawn, so that neighbouring
// icon tabs overlap; the last tab has no right-hand neighbour to slip under.
constexpr int Overlap = 14;
constexpr int LastTabOverlap = 12;
constexpr int ExtraHeight = 2;

} // namespace

Chooser::Chooser(QWidget *parent)
    : QTabBar(parent)
{
}

int Chooser::addTab(const QIcon &icon)
{
    return QTabBar::addTab(icon, QString());
}

QSize Chooser::tabSizeHint(int index) const
{
    QSize size = QTabBar::tabSizeHint(index);
    const int overlap = index == count() - 1 ? LastTabOverlap : Overlap;
    size.setWidth(qMax(0, size.width() - overlap));
    size.setHeight(size.height() + ExtraHeight);
    return size;
}
