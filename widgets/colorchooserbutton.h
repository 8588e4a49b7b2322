#ifndef COLORCHOOSERBUTTON_H
#define COLORCHOOSERBUTTON_H

#include <QColor>
#include <QPointer>
#include <QPushButton>

class SharedDialogs;

// A push button showing a colour as a swatch (over black and white halves, so
// that transparency shows). A click hands the shared colour dialog to the
// button, on the button's colour; the colours chosen there come back through
// setColor() until another receiver takes the dialog.
class ColorChooserButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(bool ignoreAlpha READ ignoreAlpha WRITE setIgnoreAlpha)

public:
    explicit ColorChooserButton(QWidget *parent = nullptr);
    ~ColorChooserButton() override;

    QColor color() const { return m_color; }
    bool ignoreAlpha() const { return m_ignoreAlpha; }

    // The size a button of the page forms has, whatever swatch it shows: the
    // swatch follows the button's size, never the other way round.
    QSize sizeHint() const override;

public slots:
    // Stores color (made opaque with ignoreAlpha), repaints the swatch and
    // announces the stored colour, also when nothing changed.
    void setColor(const QColor &color);
    // Takes effect at the next setColor().
    void setIgnoreAlpha(bool ignoreAlpha);

signals:
    void colorChanged(const QColor &color);
    // A click gave this button the shared colour dialog.
    void colorDialogConnected();
    // The shared colour dialog went to another receiver or was disconnected.
    void colorDialogReleased();

protected:
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onClicked();

private:
    void updateSwatch();

    QColor m_color;
    bool m_ignoreAlpha = false;
    QPointer<SharedDialogs> m_dialogs;
};

#endif // COLORCHOOSERBUTTON_H
