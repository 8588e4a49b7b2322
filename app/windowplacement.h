#ifndef WINDOWPLACEMENT_H
#define WINDOWPLACEMENT_H

class QWidget;
class VelkaWindow;

// Size and place of a document window that opens while another is open (the
// first one opens maximised). Beside the window that was active it takes
// that window's size, a step down and to the right of it, less what would
// reach past the screen's available area (beside a maximised window); a
// step past the middle of the area starts again at its top left. With no
// active window it gets a size whose canvas shows at least 800 x 600 pixels,
// centred in the area. Either way the window stays within the area.
void placeLaterWindow(VelkaWindow *window, const QWidget *active);

#endif // WINDOWPLACEMENT_H
