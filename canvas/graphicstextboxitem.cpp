#include "graphicstextboxitem.h"

#include "elementindexes.h"
#include "graphicstextboxedit.h"
#include "qmdvelka.h"
#include "qmdvelkakeys.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QGraphicsSceneMouseEvent>
#include <QTextDocument>
#include <QTextEdit>

const QString GraphicsTextBoxItem::DefaultStyleSheet = QStringLiteral(
    "body { font-family:'Arial'; font-size:12pt; font-style:normal; color:#FFFFFF; }");

GraphicsTextBoxItem::GraphicsTextBoxItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                                         QGraphicsItem *parent)
    : GraphicsElementItem<QGraphicsTextItem>(id, controller, scene, parent)
{
    setUpDocument();
}

GraphicsTextBoxItem::GraphicsTextBoxItem(NetworkScene *scene, QGraphicsItem *parent)
    : GraphicsTextBoxItem(0, nullptr, scene, parent)
{
}

GraphicsTextBoxItem::~GraphicsTextBoxItem()
{
    // The editor shows this item's document: it goes first, and its leaving
    // focus on the way out writes nothing.
    if (GraphicsTextBoxEdit *editor = m_editor.data()) {
        editor->disconnect(this);
        delete editor;
    }
}

void GraphicsTextBoxItem::setUpDocument()
{
    QTextDocument *doc = document();
    doc->setDefaultStyleSheet(DefaultStyleSheet);
    doc->setUseDesignMetrics(true);
    setCacheMode(QGraphicsItem::NoCache);
}

QString GraphicsTextBoxItem::normalizedHtml(const QString &html) const
{
    // A scratch text item set up as this one takes the same way in.
    QGraphicsTextItem scratch;
    QTextDocument *doc = scratch.document();
    doc->setDefaultFont(document()->defaultFont());
    doc->setDefaultStyleSheet(document()->defaultStyleSheet());
    doc->setUseDesignMetrics(document()->useDesignMetrics());
    scratch.setHtml(html);
    return scratch.toHtml();
}

bool GraphicsTextBoxItem::hasHtml(const QString &html) const
{
    return toHtml() == normalizedHtml(html);
}

void GraphicsTextBoxItem::onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid)
{
    GraphicsElementItem<QGraphicsTextItem>::onElementDataChangedOrRemoved(id, keys, rid);
    const QmdVelkaController *c = controller();
    if (!c || id != ElementItem::id() || !keys.contains(QmdVelkaKeys::Text))
        return;
    setSynced(false);
    const QString text = c->elementData(id, QmdVelkaKeys::Text).toString();
    // HTML written back from here gains explicit formats from the style
    // sheet when read again: the text this item wrote itself is not read back.
    if (text != m_shownText && !hasHtml(text))
        setHtml(text);
    m_shownText = text;
    m_shownHtml = toHtml();
    setSynced(true);
}

void GraphicsTextBoxItem::openNewElementEditor()
{
    openEditor(boundingRect().center());
    selectAll();
}

void GraphicsTextBoxItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    // While editing, the editor shows the text.
    if (m_editor)
        return;
    QGraphicsTextItem::paint(painter, option, widget);
}

void GraphicsTextBoxItem::openEditor(QPointF cursorPos)
{
    if (m_editor)
        return;
    const int position = document()->documentLayout()->hitTest(cursorPos, Qt::FuzzyHit);
    m_editor = new GraphicsTextBoxEdit(this, qMax(0, position));
    connect(m_editor.data(), &GraphicsTextBoxEdit::editingFinished, this, &GraphicsTextBoxItem::closeEditor);
    update();
}

void GraphicsTextBoxItem::closeEditor()
{
    GraphicsTextBoxEdit *editor = m_editor.data();
    if (!editor)
        return;
    m_editor.clear();
    editor->disconnect(this);
    QmdVelkaController *c = controller();
    // Only an element that still exists is written: the lookup of a removed
    // one names the document root.
    if (c && isSynced() && c->elementType(id()) == QmdVelka::TextBox) {
        const QString html = toHtml();
        if (html != m_shownHtml && !hasHtml(c->elementData(id(), QmdVelkaKeys::Text).toString())) {
            if (const std::optional<QmdIndex> record = existingElementIndex(c, id())) {
                m_shownText = html;
                m_shownHtml = html;
                c->requestSetData(QmdVelkaKeys::Text, html, *record, QmdRequestOptions(tr("Text")));
            }
        }
    }
    editor->hide();
    editor->deleteLater();
    update();
}

void GraphicsTextBoxItem::selectAll()
{
    if (m_editor)
        m_editor->textEdit()->selectAll();
}

void GraphicsTextBoxItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    m_wasSelectedOnPress = isSelected();
    GraphicsElementItem<QGraphicsTextItem>::mousePressEvent(event);
}

void GraphicsTextBoxItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    GraphicsElementItem<QGraphicsTextItem>::mouseReleaseEvent(event);
    // A drag of the selected box moves it and opens nothing.
    const bool clicked = event->button() == Qt::LeftButton
        && (event->screenPos() - event->buttonDownScreenPos(Qt::LeftButton)).manhattanLength()
            < QApplication::startDragDistance();
    if (m_wasSelectedOnPress && clicked && !m_editor)
        openEditor(event->pos());
    m_wasSelectedOnPress = false;
}
