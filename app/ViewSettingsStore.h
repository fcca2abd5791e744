#pragma once

#include "app/AppSettings.h"
#include "views/ViewSettings.h"

namespace tarsion {

// The signal views' settings, kept in section "Settings" beside the program's own.
class CViewSettingsStore final : public IViewSettings {
public:
    explicit CViewSettingsStore(CAppSettings& settings) : settings_(settings) {}
    QString ViewSetting(const QString& key) override { return settings_.ReadText(key); }
    void SetViewSetting(const QString& key, const QString& value) override {
        settings_.WriteText(key, value);
    }

private:
    CAppSettings& settings_;
};

} // namespace tarsion
