#ifndef CHOOSER_H
#define CHOOSER_H

#include <QTabBar>

// A tab bar of icon tabs that overlap their neighbours, used as a row of
// picture choices (the path shapes of an edge).
class Chooser : public QTabBar
{
    Q_OBJECT

public:
    explicit Chooser(QWidget *parent = nullptr);

    // A tab showing icon and no text; returns its index.
    int addTab(const QIcon &icon);

protected:
    QSize tabSizeHint(int index) const override;
};

#endif // CHOOSER_H
