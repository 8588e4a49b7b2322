#include "textboxplacement.h"

#include "canvascoordinates.h"
#include "graphicstextboxitem.h"
#include "networkscene.h"
#include "qmdvelkacontroller.h"

const QString TextBoxPlacement::NewText = QStringLiteral("<html><body>Text</body></html>");

TextBoxPlacement::~TextBoxPlacement()
{
    clear();
}

void TextBoxPlacement::begin(NetworkScene *scene, const QPointF &scenePos)
{
    clear();
    if (!scene)
        return;
    m_scene = scene;
    m_preview = new GraphicsTextBoxItem(scene);
    m_preview->setOpacity(PreviewOpacity);
    // The press that made it goes on to the scene: it must not select the
    // preview, which would draw it framed.
    m_preview->setFlag(QGraphicsItem::ItemIsSelectable, false);
    m_preview->setAcceptedMouseButtons(Qt::NoButton);
    m_preview->setHtml(NewText);
    QPointF corner = scenePos - m_preview->boundingRect().center();
    snapScenePoint(corner, scene);
    m_preview->setPos(corner);
    m_pressOffset = sceneToTickPos(corner) - sceneToTickPos(scenePos);
}

void TextBoxPlacement::moveTo(const QPointF &scenePos)
{
    if (!m_preview)
        return;
    QmdVelka::TickPos t = sceneToTickPos(scenePos) + m_pressOffset;
    snapTickPos(t, m_scene);
    m_preview->setPos(tickPosToScene(t));
}

QmdRequestId TextBoxPlacement::commit(QmdVelkaController *controller)
{
    if (!m_preview)
        return 0;
    const QmdVelka::TickPos pos = sceneToTickPos(m_preview->pos());
    const QString html = m_preview->toHtml();
    clear();
    if (!controller)
        return 0;
    return controller->requestAddTextBox(pos, html);
}

void TextBoxPlacement::clear()
{
    delete m_preview;
    m_preview = nullptr;
    m_scene = nullptr;
    m_pressOffset = QmdVelka::TickPos();
}
