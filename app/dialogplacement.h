#ifndef DIALOGPLACEMENT_H
#define DIALOGPLACEMENT_H

class QWidget;

// Moves a window without a stored place to the primary screen's available
// area: centred across, and halfway between the top of the area and the
// centred position. The area's origin counts, so a screen that does not
// start at 0,0 still gets the window on it.
void moveToUpperMiddle(QWidget *window);

#endif // DIALOGPLACEMENT_H
