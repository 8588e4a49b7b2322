#include "chooser.h"

#include <QStyleOptionTab>
#include <QStylePainter>

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
    connect(this, &QTabBar::currentChanged, this, &Chooser::onCurrentChanged);
    connect(this, &QTabBar::tabBarClicked, this, &Chooser::onTabBarClicked);
}

int Chooser::addTab(const QIcon &icon)
{
    m_settingChoice = true;
    const int index = QTabBar::addTab(icon, QString());
    m_settingChoice = false;
    m_choice = currentIndex();
    return index;
}

void Chooser::setChoice(int index)
{
    m_choice = index >= 0 && index < count() ? index : -1;
    if (m_choice >= 0) {
        m_settingChoice = true;
        setCurrentIndex(m_choice);
        m_settingChoice = false;
    }
    update();
}

void Chooser::onCurrentChanged(int index)
{
    if (m_settingChoice || index < 0)
        return;
    m_choice = index;
    emit chosen(index);
}

// A click on the tab bar's current tab moves nothing, so no currentChanged
// follows: it still is a choice, the one that ends a mixed state.
void Chooser::onTabBarClicked(int index)
{
    if (index < 0 || index != currentIndex() || !isTabEnabled(index))
        return;
    m_choice = index;
    update();
    emit chosen(index);
}

QSize Chooser::tabSizeHint(int index) const
{
    QSize size = QTabBar::tabSizeHint(index);
    const int overlap = index == count() - 1 ? LastTabOverlap : Overlap;
    size.setWidth(qMax(0, size.width() - overlap));
    size.setHeight(size.height() + ExtraHeight);
    return size;
}

// With no choice every tab is drawn as not selected; otherwise the tab bar
// draws itself.
void Chooser::paintEvent(QPaintEvent *event)
{
    if (m_choice >= 0) {
        QTabBar::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab tab;
        initStyleOption(&tab, i);
        tab.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        tab.selectedPosition = QStyleOptionTab::NotAdjacent;
        painter.drawControl(QStyle::CE_TabBarTab, tab);
    }
}
