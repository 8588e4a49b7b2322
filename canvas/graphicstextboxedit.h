#ifndef GRAPHICSTEXTBOXEDIT_H
#define GRAPHICSTEXTBOXEDIT_H

#include <QGraphicsProxyWidget>
#include <QPointer>
#include <QTextCharFormat>

class GraphicsTextBoxItem;
class QAction;
class QMenu;
class QTextEdit;

// The in-place editor of a text box: a text edit on the box's own document,
// placed exactly over the text. It draws the document itself (no frame, no
// background), grows and shrinks with the text, and lends itself to the
// shared font and colour dialogs once the user clicks into it. Losing focus
// ends the editing, unless the focus went to its own menu or to a shared
// dialog working for it. Escape ends the editing too, keeping the text.
class GraphicsTextBoxEdit : public QGraphicsProxyWidget
{
    Q_OBJECT

public:
    GraphicsTextBoxEdit(GraphicsTextBoxItem *textBox, int cursorPosition);

    QTextEdit *textEdit() const { return m_textEdit; }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

signals:
    void editingFinished();

public slots:
    void removeSelectedText();
    void setFontBold(bool bold);
    void setFontBigger();
    void setFontSmaller();
    void onCurrentCharFormatChanged(const QTextCharFormat &format);
    void onFontFamilyActionTriggered(QAction *action);
    void onFontSizeActionTriggered(QAction *action);
    void onTextChanged();

protected:
    void contextMenuEvent(QGraphicsSceneContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QMenu *createFontMenu(QMenu *parent);
    // Whether a shared dialog is open and working for this editor.
    bool sharedDialogsServeThis() const;

    QTextEdit *m_textEdit = nullptr;
    QPointer<QMenu> m_contextMenu;
};

#endif // GRAPHICSTEXTBOXEDIT_H
