#ifndef SETTINGSFIXTURE_H
#define SETTINGSFIXTURE_H

#include "settingscontroller.h"
#include "settingsmodel.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// Application settings of their own for a dialog test: an INI file in a
// temporary folder, its model and the settings controller the dialogs are
// given. The controller takes the model through a queued signal: spin the
// event loop until controller()->settingsModel() is set before using it.
class SettingsFixture
{
public:
    SettingsFixture();
    ~SettingsFixture();

    bool isValid() const { return m_dir.isValid(); }
    // The temporary folder, and a path in it.
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    SettingsModel *model() const { return m_model.get(); }
    SettingsController *controller() const { return m_controller.get(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsModel> m_model;
    std::unique_ptr<SettingsController> m_controller;
};

#endif // SETTINGSFIXTURE_H
