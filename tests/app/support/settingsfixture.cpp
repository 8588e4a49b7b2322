#include "settingsfixture.h"

SettingsFixture::SettingsFixture()
    : m_model(std::make_unique<SettingsModel>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat))
    , m_controller(std::make_unique<SettingsController>(m_model.get()))
{
}

// The controller goes before the model it watches.
SettingsFixture::~SettingsFixture() = default;
