#include "graphicstextboxedit.h"

#include "graphicstextboxitem.h"
#include "shareddialogs.h"

#include <QAbstractTextDocumentLayout>
#include <QActionGroup>
#include <QFontDatabase>
#include <QGraphicsSceneContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTextDocument>
#include <QTextEdit>

GraphicsTextBoxEdit::GraphicsTextBoxEdit(GraphicsTextBoxItem *textBox, int cursorPosition)
    : QGraphicsProxyWidget(textBox)
{
    setCacheMode(textBox->cacheMode());

    m_textEdit = new QTextEdit;
    m_textEdit->setLineWrapMode(QTextEdit::NoWrap);
    m_textEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The text edit lies exactly over the box's text: no frame, no margin
    // around the document, and no size of its own below the text's.
    m_textEdit->setFrameStyle(QFrame::NoFrame);
    m_textEdit->setMinimumSize(1, 1);
    m_textEdit->setDocument(textBox->document());
    setWidget(m_textEdit);

    connect(m_textEdit, &QTextEdit::textChanged, this, &GraphicsTextBoxEdit::onTextChanged);
    connect(m_textEdit, &QTextEdit::currentCharFormatChanged, this,
            &GraphicsTextBoxEdit::onCurrentCharFormatChanged);

    onTextChanged();
    setFocus(Qt::OtherFocusReason);
    m_textEdit->setFocus(Qt::OtherFocusReason);
    QTextCursor cursor = m_textEdit->textCursor();
    cursor.setPosition(qBound(0, cursorPosition, textBox->document()->characterCount() - 1));
    m_textEdit->setTextCursor(cursor);
    onCurrentCharFormatChanged(m_textEdit->currentCharFormat());
}

void GraphicsTextBoxEdit::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    QAbstractTextDocumentLayout::PaintContext context;
    const QTextCursor cursor = m_textEdit->textCursor();
    context.cursorPosition = cursor.position();
    context.palette = option->palette;
    QAbstractTextDocumentLayout::Selection selection;
    selection.cursor = cursor;
    selection.format.setBackground(context.palette.brush(QPalette::Highlight));
    context.selections.append(selection);
    m_textEdit->document()->documentLayout()->draw(painter, context);
}

void GraphicsTextBoxEdit::onTextChanged()
{
    resize(m_textEdit->document()->size());
}

void GraphicsTextBoxEdit::onCurrentCharFormatChanged(const QTextCharFormat &format)
{
    SharedDialogs *dialogs = SharedDialogs::instance();
    dialogs->updateFontDialog(format.font());
    dialogs->updateColorDialog(format.foreground().color());
}

void GraphicsTextBoxEdit::removeSelectedText()
{
    m_textEdit->textCursor().removeSelectedText();
}

void GraphicsTextBoxEdit::setFontBold(bool bold)
{
    m_textEdit->setFontWeight(bold ? QFont::Bold : QFont::Normal);
}

void GraphicsTextBoxEdit::setFontBigger()
{
    m_textEdit->setFontPointSize(m_textEdit->currentFont().pointSizeF() + 1.0);
}

void GraphicsTextBoxEdit::setFontSmaller()
{
    m_textEdit->setFontPointSize(qMax(1.0, m_textEdit->currentFont().pointSizeF() - 1.0));
}

void GraphicsTextBoxEdit::onFontFamilyActionTriggered(QAction *action)
{
    m_textEdit->setFontFamily(action->text());
}

void GraphicsTextBoxEdit::onFontSizeActionTriggered(QAction *action)
{
    bool ok = false;
    const qreal size = action->text().toDouble(&ok);
    if (ok && size > 0)
        m_textEdit->setFontPointSize(size);
}

void GraphicsTextBoxEdit::keyPressEvent(QKeyEvent *event)
{
    // Escape ends the editing as a click elsewhere does: what was typed stays.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit editingFinished();
        return;
    }
    if (event->modifiers() == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_B:
            setFontBold(m_textEdit->fontWeight() <= QFont::Normal);
            event->accept();
            return;
        case Qt::Key_I:
            m_textEdit->setFontItalic(!m_textEdit->fontItalic());
            event->accept();
            return;
        case Qt::Key_U:
            m_textEdit->setFontUnderline(!m_textEdit->fontUnderline());
            event->accept();
            return;
        default:
            break;
        }
    }
    QGraphicsProxyWidget::keyPressEvent(event);
}

void GraphicsTextBoxEdit::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsProxyWidget::mousePressEvent(event);
    SharedDialogs *dialogs = SharedDialogs::instance();
    dialogs->connectFontDialog(m_textEdit, SLOT(setCurrentFont(QFont)));
    dialogs->connectColorDialog(m_textEdit, SLOT(setTextColor(QColor)));
}

bool GraphicsTextBoxEdit::sharedDialogsServeThis() const
{
    const SharedDialogs *dialogs = SharedDialogs::instance();
    return (dialogs->isFontDialogVisible() && dialogs->fontDialogReceiver() == m_textEdit)
        || (dialogs->isColorDialogVisible() && dialogs->colorDialogReceiver() == m_textEdit);
}

void GraphicsTextBoxEdit::focusOutEvent(QFocusEvent *event)
{
    QGraphicsProxyWidget::focusOutEvent(event);
    // Focus leaving the window for a shared dialog that works for this editor
    // keeps it open; a click elsewhere in the scene ends the editing even
    // while such a dialog is still showing.
    if (m_contextMenu)
        return;
    if (event->reason() == Qt::ActiveWindowFocusReason && sharedDialogsServeThis())
        return;
    emit editingFinished();
}

void GraphicsTextBoxEdit::contextMenuEvent(QGraphicsSceneContextMenuEvent *event)
{
    const bool hasSelection = m_textEdit->textCursor().hasSelection();
    QMenu *menu = new QMenu;
    m_contextMenu = menu;

    QAction *cut = menu->addAction(tr("Cu&t"), m_textEdit, &QTextEdit::cut);
    cut->setShortcut(QKeySequence::Cut);
    cut->setEnabled(hasSelection);
    QAction *copy = menu->addAction(tr("&Copy"), m_textEdit, &QTextEdit::copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(hasSelection);
    QAction *paste = menu->addAction(tr("&Paste"), m_textEdit, &QTextEdit::paste);
    paste->setShortcut(QKeySequence::Paste);
    paste->setEnabled(m_textEdit->canPaste());
    QAction *remove = menu->addAction(tr("&Delete"), this, &GraphicsTextBoxEdit::removeSelectedText);
    remove->setShortcut(QKeySequence::Delete);
    remove->setEnabled(hasSelection);
    QAction *selectAll = menu->addAction(tr("Select A&ll"), m_textEdit, &QTextEdit::selectAll);
    selectAll->setShortcut(QKeySequence::SelectAll);
    menu->addSeparator();
    menu->addMenu(createFontMenu(menu));

    // The editor may go while its menu is open (the box removed meanwhile).
    const QPointer<GraphicsTextBoxEdit> alive(this);
    menu->exec(event->screenPos());
    delete menu;
    if (alive)
        event->accept();
}

QMenu *GraphicsTextBoxEdit::createFontMenu(QMenu *parent)
{
    const QTextCharFormat format = m_textEdit->currentCharFormat();
    const QFont font = format.font();
    QMenu *fontMenu = new QMenu(tr("&Font"), parent);

    QMenu *familyMenu = fontMenu->addMenu(tr("&Family"));
    QActionGroup *families = new QActionGroup(familyMenu);
    families->setExclusive(true);
    const QStringList familyNames = QFontDatabase::families();
    for (const QString &family : familyNames) {
        QAction *action = familyMenu->addAction(family);
        action->setCheckable(true);
        action->setChecked(family == font.family());
        families->addAction(action);
    }
    connect(families, &QActionGroup::triggered, this, &GraphicsTextBoxEdit::onFontFamilyActionTriggered);

    QMenu *sizeMenu = fontMenu->addMenu(tr("&Size"));
    QActionGroup *sizes = new QActionGroup(sizeMenu);
    sizes->setExclusive(true);
    const QList<int> standardSizes = QFontDatabase::standardSizes();
    for (int size : standardSizes) {
        QAction *action = sizeMenu->addAction(QString::number(size));
        action->setCheckable(true);
        action->setChecked(qFuzzyCompare(qreal(size), font.pointSizeF()));
        sizes->addAction(action);
    }
    connect(sizes, &QActionGroup::triggered, this, &GraphicsTextBoxEdit::onFontSizeActionTriggered);

    QAction *bold = fontMenu->addAction(tr("&Bold"), this, &GraphicsTextBoxEdit::setFontBold);
    bold->setCheckable(true);
    bold->setChecked(font.weight() > QFont::Normal);
    QAction *italic = fontMenu->addAction(tr("&Italic"), m_textEdit, &QTextEdit::setFontItalic);
    italic->setCheckable(true);
    italic->setChecked(font.italic());
    QAction *underline = fontMenu->addAction(tr("&Underline"), m_textEdit, &QTextEdit::setFontUnderline);
    underline->setCheckable(true);
    underline->setChecked(font.underline());
    fontMenu->addSeparator();
    fontMenu->addAction(tr("Show &Colors"), SharedDialogs::instance(), &SharedDialogs::showColorDialog);
    return fontMenu;
}
