#ifndef DURATIONLISTEDIT_H
#define DURATIONLISTEDIT_H

#include <QLineEdit>

// The node's duration list: numbers of up to four digits with an optional decimal
// part, with a prefix "*", "/", "+" or "-", or with an optional sign and a trailing
// "%".
class DurationListEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit DurationListEdit(QWidget *parent = nullptr);
};

#endif // DURATIONLISTEDIT_H
