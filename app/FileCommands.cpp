#include "app/FileCommands.h"

#include "app/FileChooser.h"
#include "ops/BoardOperations.h"
#include "ops/UserPrompt.h"

#include <QFile>
#include <QFileInfo>

namespace tarsion {

namespace {
const QString kRamSuffix = QStringLiteral("ram");

struct DumpTexts {
    const char* done;
    const char* failed;
};
constexpr DumpTexts kCoefficientDumpTexts[] = {
    {"I Coeffient Ram Dumped", "Couldn't Dump I Coeff RAM\nPlease see LogWindow for Details"},
    {"Q Coeffient Ram Dumped", "Couldn't Dump Coef Ram\nPlease see LogWindow for Details"},
};
} // namespace

CFileCommands::CFileCommands(CBoardOperations& ops, IUserPrompt& prompt, IFileChooser& files)
    : ops_(ops), prompt_(prompt), files_(files) {}

void CFileCommands::DumpCoefficientRam(int which) {
    const QString path = files_.SaveFileName(
        QStringLiteral("Ram Image Coefficient Files (*.ram);; All Files (*)"), kRamSuffix, "dumps");
    if (path.isEmpty())
        return;
    const DumpTexts& texts = kCoefficientDumpTexts[which == 0 ? 0 : 1];
    const bool dumped =
        ops_.DumpCoefficientRam(static_cast<std::int16_t>(which), QFile::encodeName(path).toStdString());
    prompt_.ShowMessage(dumped ? texts.done : texts.failed);
}

void CFileCommands::DumpConstellationRam() {
    const QString path = files_.SaveFileName(QStringLiteral("Constellation Files (*.hex);; All Files (*)"),
                                             kRamSuffix, "dumps");
    if (path.isEmpty())
        return;
    const bool dumped = ops_.DumpConstellationRam(QFile::encodeName(path).toStdString());
    prompt_.ShowMessage(dumped ? "Constellation RAM Saved"
                               : "Couldn't Dump Constellation RAM\nSee LogWindow for Details");
}

std::optional<QString> CFileCommands::SaveConfiguration() {
    const QString chosen = files_.SaveFileName(QStringLiteral("Java Script Files (*.js);; All Files (*)"),
                                               QStringLiteral("js"), "configurations");
    if (chosen.isEmpty())
        return std::nullopt;
    const QString path = WithScriptExtension(chosen);
    if (!ops_.SaveSettings(QFile::encodeName(path).toStdString()))
        prompt_.ShowMessage("Couldn't Save Settings ");
    return path;
}

std::optional<QString> CFileCommands::ChooseDocument() {
    const QString path = files_.OpenFileName(QStringLiteral("All Files (*)"), "");
    if (path.isEmpty())
        return std::nullopt;
    if (!IsDocumentFile(path)) {
        prompt_.ShowMessage(MissingDocumentMessage(path).toStdString());
        return std::nullopt;
    }
    return path;
}

bool CFileCommands::IsDocumentFile(const QString& path) {
    return QFileInfo(path).isFile();
}

QString CFileCommands::MissingDocumentMessage(const QString& path) {
    return QStringLiteral("%1\nCannot find this file.\nPlease verify that the correct path and file name are "
                          "given.")
        .arg(path);
}

QString CFileCommands::WithScriptExtension(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const bool hasJsExtension = dot > slash && path.mid(dot + 1) == QLatin1String("js");
    return hasJsExtension ? path : path + QStringLiteral(".js");
}

} // namespace tarsion
