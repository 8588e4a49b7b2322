#include "squeezedtextcheckbox.h"

#include "squeezedtext.h"

#include <QStyle>
#include <QStyleOptionButton>

SqueezedTextCheckBox::SqueezedTextCheckBox(QWidget *parent)
    : QCheckBox(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    measureDecoration();
}

SqueezedTextCheckBox::SqueezedTextCheckBox(const QString &text, QWidget *parent)
    : SqueezedTextCheckBox(parent)
{
    setText(text);
}

void SqueezedTextCheckBox::setTextElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    squeeze();
}

QSize SqueezedTextCheckBox::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(m_fullText) + m_decorationWidth,
                 QCheckBox::sizeHint().height());
}

QSize SqueezedTextCheckBox::minimumSizeHint() const
{
    QSize size = QCheckBox::minimumSizeHint();
    size.setWidth(-1);
    return size;
}

void SqueezedTextCheckBox::setText(const QString &text)
{
    m_fullText = text;
    squeeze();
}

void SqueezedTextCheckBox::resizeEvent(QResizeEvent *)
{
    measureDecoration();
    squeeze();
}

void SqueezedTextCheckBox::measureDecoration()
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    m_decorationWidth = width() - contents.width();
}

void SqueezedTextCheckBox::squeeze()
{
    QCheckBox::setText(SqueezedText::fitted(m_fullText, fontMetrics(), width() - m_decorationWidth, m_elideMode));
}
