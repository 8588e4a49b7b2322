#include "channelsbox.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QPushButton>

namespace {

constexpr int ButtonsPerRow = 8;
constexpr int ButtonSide = 22;

} // namespace

ChannelsBox::ChannelsBox(QWidget *parent)
    : QWidget(parent)
    , m_buttonGroup(new QButtonGroup(this))
{
    m_buttonGroup->setExclusive(false);
    connect(m_buttonGroup, &QButtonGroup::buttonClicked, this, &ChannelsBox::onButtonClicked);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    for (int id = 0; id < ChannelCount; ++id) {
        auto *button = new QPushButton(QString::number(id + 1), this);
        button->setCheckable(true);
        button->setFixedSize(ButtonSide, ButtonSide);
        button->setFont(font());
        m_buttonGroup->addButton(button, id);
        layout->addWidget(button, id / ButtonsPerRow, id % ButtonsPerRow);
    }

    auto *allButton = new QPushButton(tr("All"), this);
    auto *noneButton = new QPushButton(tr("None"), this);
    layout->addWidget(allButton, 2, 4, 1, 2);
    layout->addWidget(noneButton, 2, 6, 1, 2);
    connect(allButton, &QPushButton::clicked, this, &ChannelsBox::onAllButtonClicked);
    connect(noneButton, &QPushButton::clicked, this, &ChannelsBox::onNoneButtonClicked);

    setFixedSize(200, 78);
    setChannels(QBitArray());
}

void ChannelsBox::setChannels(const QBitArray &channels)
{
    m_channels = channels;
    m_channels.resize(ChannelCount);
    for (int id = 0; id < ChannelCount; ++id)
        m_buttonGroup->button(id)->setChecked(m_channels.testBit(id));
    emit channelsChanged(m_channels);
}

void ChannelsBox::onButtonClicked(QAbstractButton *button)
{
    const int id = m_buttonGroup->id(button);
    if (id < 0)
        return;
    m_channels.setBit(id, button->isChecked());
    emit channelsChanged(m_channels);
}

void ChannelsBox::onAllButtonClicked()
{
    setChannels(QBitArray(ChannelCount, true));
}

void ChannelsBox::onNoneButtonClicked()
{
    setChannels(QBitArray(ChannelCount, false));
}
