#include "squeezedtextlabel.h"

#include "squeezedtext.h"

SqueezedTextLabel::SqueezedTextLabel(QWidget *parent)
    : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

SqueezedTextLabel::SqueezedTextLabel(const QString &text, QWidget *parent)
    : SqueezedTextLabel(parent)
{
    setText(text);
}

void SqueezedTextLabel::setTextElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    squeeze();
}

void SqueezedTextLabel::setAlignment(Qt::Alignment alignment)
{
    QLabel::setAlignment(alignment);
    squeeze();
}

QSize SqueezedTextLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(m_fullText), QLabel::sizeHint().height());
}

QSize SqueezedTextLabel::minimumSizeHint() const
{
    QSize size = QLabel::minimumSizeHint();
    size.setWidth(-1);
    return size;
}

void SqueezedTextLabel::setText(const QString &text)
{
    m_fullText = text;
    squeeze();
}

void SqueezedTextLabel::resizeEvent(QResizeEvent *)
{
    squeeze();
}

void SqueezedTextLabel::squeeze()
{
    QLabel::setText(SqueezedText::fitted(m_fullText, fontMetrics(), width(), m_elideMode));
}
