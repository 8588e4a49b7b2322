#ifndef FORMROWS_H
#define FORMROWS_H

#include <QVariant>

class QWidget;

// A table of what a form file sets: one row per object and property with the
// value expected, checked on the form as set up on a bare host widget (the
// host stands for the form's top-level object).

// The columns "object", "property" and "expected".
void addFormColumns();
// A row named "<object>.<property>".
void addFormRow(const char *object, const char *property, const QVariant &expected);
// Checks the current row on the host. An expected int compares the value
// converted to int, so enums and flags are given as numbers.
void checkFormRow(QWidget &host);

#endif // FORMROWS_H
