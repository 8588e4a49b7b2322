#ifndef WINDOWPLACEMENT_H
#define WINDOWPLACEMENT_H

class QWidget;
class VelkaWindow;

// Size and place of a document window that opens while another is open (the
// first one opens maximised). Beside the window that was active it takes
// that window's size, a step down and to the right of it, and starts again
// at the top left of the screen's available area where the step would leave
// it. With no active window it gets a size whose canvas shows at least
// 800 x 600 pixels. Either way the window stays within the available area.
void placeLaterWindow(VelkaWindow *window, const QWidget *active);

#endif // WINDOWPLACEMENT_H
