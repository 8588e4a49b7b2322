#ifndef CHOOSER_H
#define CHOOSER_H

#include <QTabBar>

// A tab bar of icon tabs that overlap their neighbours, used as a row of
// picture choices (the path shapes of an edge).
//
// Besides the tab bar's current tab it has a choice, which may be none (-1):
// several things chosen differently are shown with no tab as the chosen one.
// A user's click on any tab, the chosen one included, makes that tab the
// choice and emits chosen(); the program's setChoice() emits nothing.
class Chooser : public QTabBar
{
    Q_OBJECT
    Q_PROPERTY(int choice READ choice WRITE setChoice)

public:
    explicit Chooser(QWidget *parent = nullptr);

    // A tab showing icon and no text; returns its index.
    int addTab(const QIcon &icon);

    // The chosen tab, or -1 for no choice.
    int choice() const { return m_choice; }
    // Any index that names no tab is no choice.
    void setChoice(int index);

signals:
    // The user chose index (a click or a key on the tab bar).
    void chosen(int index);

protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent *event) override;

private:
    void onCurrentChanged(int index);
    void onTabBarClicked(int index);

    int m_choice = -1;
    // Set while the program moves the current tab.
    bool m_settingChoice = false;
};

#endif // CHOOSER_H
