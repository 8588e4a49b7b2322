#ifndef SCALELISTEDIT_H
#define SCALELISTEDIT_H

#include <QLineEdit>

// The edge's scale list: whole numbers of up to four digits, each optionally followed
// by "/" and a divisor that does not begin with 0.
class ScaleListEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit ScaleListEdit(QWidget *parent = nullptr);
};

#endif // SCALELISTEDIT_H
