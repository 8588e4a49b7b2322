#ifndef GRAPHICSTEXTBOXITEM_H
#define GRAPHICSTEXTBOXITEM_H

#include "graphicselementitem.h"
#include "graphicstextboxedit.h"

#include <QGraphicsTextItem>
#include <QPointer>

// A free rich-text annotation on the canvas. It shows the element's "Text"
// (HTML). The first click selects the box, a second click on the selected box
// opens an editor over the text; the editor works on this item's own text
// document, and closing it writes the text back as one undoable step "Text".
class GraphicsTextBoxItem : public GraphicsElementItem<QGraphicsTextItem>
{
    Q_OBJECT

public:
    enum { Type = TextBoxItemType };

    // The style every text box starts from; the element's HTML overrides it.
    static const QString DefaultStyleSheet;

    GraphicsTextBoxItem(QmdItemId id, QmdVelkaController *controller, NetworkScene *scene,
                        QGraphicsItem *parent = nullptr);
    // The preview form: id 0, no controller; its text is never written.
    explicit GraphicsTextBoxItem(NetworkScene *scene, QGraphicsItem *parent = nullptr);
    ~GraphicsTextBoxItem() override;

    // The open editor; null when none.
    GraphicsTextBoxEdit *editor() const { return m_editor.data(); }

    void onElementDataChangedOrRemoved(QmdItemId id, const QStringList &keys, QmdRequestId rid) override;
    void openNewElementEditor() override;

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
    int type() const override { return Type; }

    // html as this item's document would write it back: Qt rewrites HTML on
    // the way in, so stored text and toHtml() are only comparable after both
    // went through a document with the same style.
    QString normalizedHtml(const QString &html) const;
    // Whether the item shows html, compared that way.
    bool hasHtml(const QString &html) const;

public slots:
    // Opens the editor with the text cursor nearest to cursorPos (item
    // coordinates); does nothing while one is open.
    void openEditor(QPointF cursorPos);
    void closeEditor();
    void selectAll();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    void setUpDocument();

    QPointer<GraphicsTextBoxEdit> m_editor;
    bool m_wasSelectedOnPress = false;
    // The element's "Text" this item shows: last read, or last written.
    QString m_shownText;
    // toHtml() when that text was read or written: an editor closed without a
    // change since writes nothing.
    QString m_shownHtml;
};

#endif // GRAPHICSTEXTBOXITEM_H
