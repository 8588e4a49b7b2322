#include "sectionlabel.h"

SectionLabel::SectionLabel(QWidget *parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{
}
