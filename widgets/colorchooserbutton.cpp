#include "colorchooserbutton.h"

#include "shareddialogs.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace {

// Pixels between the button's edge and the swatch, on every side.
constexpr int Margin = 3;
// The swatch of a button as the page forms size it.
constexpr QSize NaturalSwatch(24, 16);

QPixmap swatch(const QSize &size, const QColor &color)
{
    QPixmap pixmap(size);
    pixmap.fill(QColor(90, 90, 90, 255));
    const int w = size.width();
    const int h = size.height();
    const QRect inner(1, 1, w - 2, h - 2);
    QPainter painter(&pixmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(inner);
    painter.setBrush(Qt::black);
    painter.drawPolygon(QPolygon({QPoint(1, 1), QPoint(w - 2, 1), QPoint(1, h - 2)}));
    painter.setBrush(color);
    painter.drawRect(inner);
    return pixmap;
}

} // namespace

ColorChooserButton::ColorChooserButton(QWidget *parent)
    : QPushButton(parent)
    , m_dialogs(SharedDialogs::instance())
{
    connect(this, &QPushButton::clicked, this, &ColorChooserButton::onClicked);
    connect(m_dialogs, &SharedDialogs::colorDialogReleased, this, [this](QObject *previous) {
        if (previous == this)
            emit colorDialogReleased();
    });
}

// Give the dialog back while this is still a whole button, so that the
// release is announced by a living object.
ColorChooserButton::~ColorChooserButton()
{
    if (m_dialogs && m_dialogs->colorDialogReceiver() == this)
        m_dialogs->disconnectColorDialog();
}

QSize ColorChooserButton::sizeHint() const
{
    return NaturalSwatch + QSize(2 * Margin, 2 * Margin);
}

void ColorChooserButton::setColor(const QColor &color)
{
    m_color = color;
    if (m_ignoreAlpha && m_color.isValid())
        m_color.setAlpha(255);
    updateSwatch();
    emit colorChanged(m_color);
}

void ColorChooserButton::setIgnoreAlpha(bool ignoreAlpha)
{
    m_ignoreAlpha = ignoreAlpha;
}

// A colour set before the layout placed the button would otherwise keep a
// swatch of the old size.
void ColorChooserButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    updateSwatch();
}

void ColorChooserButton::onClicked()
{
    if (!m_dialogs)
        return;
    if (m_dialogs->connectColorDialog(this, SLOT(setColor(QColor))))
        emit colorDialogConnected();
    m_dialogs->updateColorDialog(m_color);
    m_dialogs->showColorDialog();
}

void ColorChooserButton::updateSwatch()
{
    const QSize size(width() - 2 * Margin, height() - 2 * Margin);
    // Below three pixels a side there is no inner rectangle to paint.
    if (!m_color.isValid() || size.width() < 3 || size.height() < 3) {
        setIcon(QIcon());
        return;
    }
    setIcon(QIcon(swatch(size, m_color)));
    setIconSize(size);
}
