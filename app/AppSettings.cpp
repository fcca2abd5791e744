#include "app/AppSettings.h"

#include "board/RegisterShadow.h"

#include <QFile>
#include <QStandardPaths>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace tarsion {

namespace {
const QString kSection = QStringLiteral("Settings/");
const QString kRecentSection = QStringLiteral("Recent File List/");
const QString kFoldersSection = QStringLiteral("Folders");
const QString kEmpty = QStringLiteral("EMPTY");

struct StepEntry {
    const char* key;
    double& value;
    double fallback;
};

// Stored order of the step values; the clock pin sits among them.
std::array<StepEntry, 11> StepEntries(StepSettings& steps, double& clockPin) {
    static const StepSettings defaults;
    return {{
        {"LoopFilterStepLead", steps.loopFilterStepLead, defaults.loopFilterStepLead},
        {"LoopFilterStepFreq", steps.loopFilterStepFreq, defaults.loopFilterStepFreq},
        {"LoopFilterStepLag", steps.loopFilterStepLag, defaults.loopFilterStepLag},
        {"CarrierFrequencyStep", steps.carrierFrequencyStep, defaults.carrierFrequencyStep},
        {"SymbolFrequencyStep", steps.symbolFrequencyStep, defaults.symbolFrequencyStep},
        {"ClockPin", clockPin, RegisterShadow::kDefaultClockPin},
        {"QDcOffsetStep", steps.qDcOffsetStep, defaults.qDcOffsetStep},
        {"QScaleFactorStep", steps.qScaleFactorStep, defaults.qScaleFactorStep},
        {"IDcOffsetStep", steps.iDcOffsetStep, defaults.iDcOffsetStep},
        {"IScaleFactorStep", steps.iScaleFactorStep, defaults.iScaleFactorStep},
        {"PostShappingFilterStep", steps.postShappingFilterStep, defaults.postShappingFilterStep},
    }};
}
} // namespace

namespace {
const QString kOrganization = QStringLiteral("Tessaric");
const QString kApplication = QStringLiteral("Tarsion");

// A settings file that is there but no regular file (a FIFO would block start-up for good): the
// program's own and the organisation's, in every configuration folder the settings are read from.
QString IrregularSettingsFile() {
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        for (const QString& name : {kOrganization + QLatin1Char('/') + kApplication, kOrganization}) {
            const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".conf");
            struct stat info {};
            if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
                return path;
        }
    }
    return {};
}

std::unique_ptr<QSettings> OpenSettings() {
    const QString irregular = IrregularSettingsFile();
    if (irregular.isEmpty())
        return std::make_unique<QSettings>(kOrganization, kApplication);
    static bool told = false;
    if (!std::exchange(told, true))
        std::fprintf(stderr, "tarsion: %s is not a regular file; the settings are neither read nor saved\n",
                     QFile::encodeName(irregular).constData());
    // No file name: the settings live in memory only.
    return std::make_unique<QSettings>(QString(), QSettings::IniFormat);
}
} // namespace

CAppSettings::CAppSettings() : store_(OpenSettings()), settings_(*store_) {}

bool CAppSettings::Sync() {
    settings_.sync();
    if (settings_.fileName().isEmpty())
        return false;
    if (settings_.status() == QSettings::AccessError) {
        std::fprintf(stderr, "tarsion: couldn't save the settings to %s\n",
                     QFile::encodeName(settings_.fileName()).constData());
        return false;
    }
    return true;
}

int CAppSettings::ReadInt(const QString& key, int fallback) {
    bool ok = false;
    const int value = settings_.value(kSection + key).toInt(&ok);
    return ok ? value : fallback;
}

QByteArray CAppSettings::ReadBytes(const QString& key) {
    const QVariant value = settings_.value(kSection + key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void CAppSettings::WriteBytes(const QString& key, const QByteArray& value) {
    settings_.setValue(kSection + key, value);
}

QString CAppSettings::ReadText(const QString& key) {
    const QVariant value = settings_.value(kSection + key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void CAppSettings::WriteText(const QString& key, const QString& value) {
    settings_.setValue(kSection + key, value);
}

std::uint16_t CAppSettings::BaseAddress() {
    return static_cast<std::uint16_t>(ReadInt(QStringLiteral("BaseAddress"), kDefaultBaseAddress));
}

QString CAppSettings::Port() {
    return settings_.value(kSection + QStringLiteral("Port")).toString();
}

void CAppSettings::SetPort(const QString& port) {
    settings_.setValue(kSection + QStringLiteral("Port"), port);
}

void CAppSettings::WriteInt(const QString& key, int value) {
    settings_.setValue(kSection + key, value);
}

QStringList CAppSettings::LoadSteps(StepSettings& steps, double& clockPin) {
    QStringList refused;
    for (const StepEntry& entry : StepEntries(steps, clockPin)) {
        const QString text = settings_.value(kSection + entry.key, kEmpty).toString();
        std::optional<double> parsed = text == kEmpty ? std::nullopt : ParseStep(text);
        // Every frequency and step computed from it would be nonsense ("nanHz", "infGHz").
        const bool isClockPin = &entry.value == &clockPin;
        if (parsed && !std::isfinite(*parsed)) {
            refused.append(QString::fromLatin1(entry.key) + u'=' + text +
                           QStringLiteral(" is not a finite number"));
            parsed.reset();
        } else if (parsed && isClockPin && !RegisterShadow::UsableClockPin(*parsed)) {
            refused.append(QString::fromLatin1(entry.key) + u'=' + text +
                           QStringLiteral(" is too large a frequency"));
            parsed.reset();
        }
        entry.value = parsed.value_or(entry.fallback);
    }
    return refused;
}

void CAppSettings::SaveSteps(const StepSettings& steps, double clockPin) {
    StepSettings copy = steps;
    for (const StepEntry& entry : StepEntries(copy, clockPin))
        settings_.setValue(kSection + entry.key, FormatStep(entry.value));
}

QStringList CAppSettings::RecentFiles() {
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString file = settings_.value(kRecentSection + QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty())
            files.append(file);
    }
    return files;
}

void CAppSettings::SaveRecentFiles(const QStringList& files) {
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString key = kRecentSection + QStringLiteral("File%1").arg(i);
        if (i <= files.size())
            settings_.setValue(key, files[i - 1]);
        else
            settings_.remove(key);
    }
}

std::map<std::string, std::string> CAppSettings::LastFolders() {
    std::map<std::string, std::string> folders;
    settings_.beginGroup(kFoldersSection);
    for (const QString& kind : settings_.childKeys()) {
        const QString folder = settings_.value(kind).toString();
        if (!folder.isEmpty())
            folders[kind.toStdString()] = folder.toStdString();
    }
    settings_.endGroup();
    return folders;
}

void CAppSettings::SaveLastFolders(const std::map<std::string, std::string>& folders) {
    for (const auto& [kind, folder] : folders)
        settings_.setValue(kFoldersSection + QStringLiteral("/") + QString::fromStdString(kind),
                           QString::fromStdString(folder));
}

QString CAppSettings::FormatStep(double value) {
    // Shortest text that reads back as the same double; independent of the C locale.
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), static_cast<int>(result.ptr - buffer.data()));
}

std::optional<double> CAppSettings::ParseStep(const QString& text) {
    const std::string latin = text.trimmed().toStdString();
    const char* first = latin.data();
    const char* last = first + latin.size();
    if (first != last && *first == '+')
        ++first;
    double value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr == first)
        return std::nullopt;
    return value;
}

} // namespace tarsion
