#ifndef TEXTBOXPLACEMENT_H
#define TEXTBOXPLACEMENT_H

#include "graphicstextboxitem.h"
#include "networkscene.h"
#include "qmdtypes.h"
#include "tickpos.h"

#include <QPointF>
#include <QPointer>

class QmdVelkaController;

// The text-box tool's gesture on empty canvas (or on a node or edge: notes
// may sit on them). The press shows a translucent box "Text" centred on the
// pressed point, moving the mouse carries it along the grid, and the release
// adds the text box where the box stands, as one step "Text Box". The scene
// may go first (a window torn down mid-gesture): it deletes the preview with
// its items, and the gesture then holds nothing.
class TextBoxPlacement
{
public:
    static constexpr double PreviewOpacity = 0.6;
    static const QString NewText;

    TextBoxPlacement() = default;
    TextBoxPlacement(const TextBoxPlacement &) = delete;
    TextBoxPlacement &operator=(const TextBoxPlacement &) = delete;
    ~TextBoxPlacement();

    bool isActive() const { return m_preview != nullptr; }
    GraphicsTextBoxItem *preview() const { return m_preview; }

    // Shows the box centred on scenePos, its corner on the scene's grid.
    void begin(NetworkScene *scene, const QPointF &scenePos);
    // Keeps the box where the press put it relative to the mouse, on the grid.
    void moveTo(const QPointF &scenePos);
    // Adds the text box where the preview stands and removes the preview;
    // 0 when no gesture was under way.
    QmdRequestId commit(QmdVelkaController *controller);
    // Removes the preview without adding anything.
    void clear();

private:
    QPointer<GraphicsTextBoxItem> m_preview;
    QPointer<NetworkScene> m_scene;
    QmdVelka::TickPos m_pressOffset;
};

#endif // TEXTBOXPLACEMENT_H
