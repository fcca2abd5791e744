#pragma once

#include "ops/DocumentSettings.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tarsion {

// The per-user settings of section "Settings": window position, port base address, the ten step
// sizes and the clock-pin frequency, what the signal views were given; and the recent-file list of
// section "Recent File List".
class CAppSettings {
public:
    static constexpr int kDefaultBaseAddress = 888;
    static constexpr int kRecentFiles = 4;

    CAppSettings();

    // Integers ("x", "y", "BaseAddress"); a missing or non-numeric value gives `fallback`.
    int ReadInt(const QString& key, int fallback);
    void WriteInt(const QString& key, int value);
    // Binary values (the window layout); anything but bytes gives an empty array.
    QByteArray ReadBytes(const QString& key);
    void WriteBytes(const QString& key, const QByteArray& value);
    // Text values ("FilterRolloff"); anything but text gives an empty string.
    QString ReadText(const QString& key);
    void WriteText(const QString& key, const QString& value);
    // The parallel port's base address ("BaseAddress").
    std::uint16_t BaseAddress();
    // The board ("Port"), as --port and TARSION_PORT name it; empty when never set.
    QString Port();
    void SetPort(const QString& port);

    // The eleven step values in their stored order; "EMPTY", missing or unparsable text gives
    // the default of each. So does a value that is not finite ("nan", "inf"), and a clock pin
    // whose SysClk would not be: such values are returned as "key=text is ..." for the log.
    QStringList LoadSteps(StepSettings& steps, double& clockPin);
    void SaveSteps(const StepSettings& steps, double clockPin);

    QStringList RecentFiles();
    void SaveRecentFiles(const QStringList& files);
    // The last folder of each kind of file dialog (section "Folders").
    std::map<std::string, std::string> LastFolders();
    void SaveLastFolders(const std::map<std::string, std::string>& folders);

    // Writes the settings to disk; a failure is said on standard error (false).
    bool Sync();
    // The settings file; empty when the settings live in memory only.
    QString FileName() const { return settings_.fileName(); }

    // A step as text: as "%lf" reads it, but with enough digits to give back the same double.
    static QString FormatStep(double value);
    // Leading blanks, then a number as "%lf" would take it; empty when the text starts otherwise.
    static std::optional<double> ParseStep(const QString& text);

private:
    std::unique_ptr<QSettings> store_;
    QSettings& settings_;
};

} // namespace tarsion
