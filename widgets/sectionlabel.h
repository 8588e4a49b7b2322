#ifndef SECTIONLABEL_H
#define SECTIONLABEL_H

#include <QLabel>

// The heading of a section of an inspector page. It behaves as a plain label;
// its own class lets one style sheet rule ("SectionLabel { font-weight: bold; }")
// reach every heading.
class SectionLabel : public QLabel
{
    Q_OBJECT

public:
    explicit SectionLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
};

#endif // SECTIONLABEL_H
