#pragma once

#include <QString>

#include <optional>

namespace tarsion {

class CBoardOperations;
class IFileChooser;
class IUserPrompt;

// The main window's file commands: the three RAM dumps and Save Configuration, each a save-file
// dialog, the operation and its message box.
class CFileCommands {
public:
    CFileCommands(CBoardOperations& ops, IUserPrompt& prompt, IFileChooser& files);

    // which: 0 = I, 1 = Q.
    void DumpCoefficientRam(int which);
    void DumpConstellationRam();
    // The path written to (".js" added unless the name ends exactly in ".js"); empty when the
    // dialog was cancelled.
    std::optional<QString> SaveConfiguration();

    // Appends ".js" unless the file's extension is exactly "js".
    static QString WithScriptExtension(const QString& path);

private:
    CBoardOperations& ops_;
    IUserPrompt& prompt_;
    IFileChooser& files_;
};

} // namespace tarsion
