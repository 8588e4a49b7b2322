#ifndef CHANNELSBOX_H
#define CHANNELSBOX_H

#include <QBitArray>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

// The MIDI channels an instrument plays on, as sixteen toggle buttons with
// "All" and "None" below them. Bit i of channels() is channel i + 1.
class ChannelsBox : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QBitArray channels READ channels WRITE setChannels NOTIFY channelsChanged)

public:
    static constexpr int ChannelCount = 16;

    explicit ChannelsBox(QWidget *parent = nullptr);

    QBitArray channels() const { return m_channels; }

public slots:
    // Takes the first sixteen bits (missing ones off) and announces them, also
    // when nothing changed.
    void setChannels(const QBitArray &channels);

signals:
    void channelsChanged(const QBitArray &channels);

private slots:
    void onButtonClicked(QAbstractButton *button);
    void onAllButtonClicked();
    void onNoneButtonClicked();

private:
    QBitArray m_channels;
    QButtonGroup *m_buttonGroup;
};

#endif // CHANNELSBOX_H
