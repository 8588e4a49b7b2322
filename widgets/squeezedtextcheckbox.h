#ifndef SQUEEZEDTEXTCHECKBOX_H
#define SQUEEZEDTEXTCHECKBOX_H

#include <QCheckBox>

// A check box that keeps its whole text but shows only what fits beside its
// indicator, the rest elided (in the middle unless told otherwise). It asks
// for the width of the whole text and can shrink to nothing.
class SqueezedTextCheckBox : public QCheckBox
{
    Q_OBJECT
    // The meta-object's "text" is the whole text, as for SqueezedTextLabel.
    Q_PROPERTY(QString text READ fullText WRITE setText)
    Q_PROPERTY(Qt::TextElideMode textElideMode READ textElideMode WRITE setTextElideMode)

public:
    explicit SqueezedTextCheckBox(QWidget *parent = nullptr);
    explicit SqueezedTextCheckBox(const QString &text, QWidget *parent = nullptr);

    QString fullText() const { return m_fullText; }

    Qt::TextElideMode textElideMode() const { return m_elideMode; }
    void setTextElideMode(Qt::TextElideMode mode);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setText(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The pixels of the widget's width that the indicator and its gap take.
    void measureDecoration();
    void squeeze();

    QString m_fullText;
    Qt::TextElideMode m_elideMode = Qt::ElideMiddle;
    int m_decorationWidth = 0;
};

#endif // SQUEEZEDTEXTCHECKBOX_H
