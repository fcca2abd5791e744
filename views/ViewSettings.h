#pragma once

#include <QString>

namespace tarsion {

// Where the signal views keep what the user typed into them, across runs: text values by key, a
// key never written reading as empty.
class IViewSettings {
public:
    virtual ~IViewSettings() = default;
    virtual QString ViewSetting(const QString& key) = 0;
    virtual void SetViewSetting(const QString& key, const QString& value) = 0;
};

} // namespace tarsion
