#ifndef SQUEEZEDTEXTLABEL_H
#define SQUEEZEDTEXTLABEL_H

#include <QLabel>

// A label that keeps its whole text but shows only what fits its width, the
// rest elided (in the middle unless told otherwise). It asks for the width of
// the whole text and can shrink to nothing, so a layout decides how much shows.
class SqueezedTextLabel : public QLabel
{
    Q_OBJECT
    // The meta-object's "text" is the whole text, so that a binding by property
    // name stores and reads what setText() and fullText() see.
    Q_PROPERTY(QString text READ fullText WRITE setText)
    Q_PROPERTY(Qt::TextElideMode textElideMode READ textElideMode WRITE setTextElideMode)

public:
    explicit SqueezedTextLabel(QWidget *parent = nullptr);
    explicit SqueezedTextLabel(const QString &text, QWidget *parent = nullptr);

    QString fullText() const { return m_fullText; }

    Qt::TextElideMode textElideMode() const { return m_elideMode; }
    void setTextElideMode(Qt::TextElideMode mode);

    virtual void setAlignment(Qt::Alignment alignment);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setText(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void squeeze();

    QString m_fullText;
    Qt::TextElideMode m_elideMode = Qt::ElideMiddle;
};

#endif // SQUEEZEDTEXTLABEL_H
