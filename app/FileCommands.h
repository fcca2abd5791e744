#pragma once

#include <QString>

#include <optional>

namespace tarsion {

class CBoardOperations;
class IFileChooser;
class IUserPrompt;

// The main window's file commands: the three RAM dumps and Save Configuration, each a save-file
// dialog, the operation and its message box; and Open, which only names the document.
class CFileCommands {
public:
    CFileCommands(CBoardOperations& ops, IUserPrompt& prompt, IFileChooser& files);
    IFileChooser& Files() { return files_; }

    // which: 0 = I, 1 = Q.
    void DumpCoefficientRam(int which);
    void DumpConstellationRam();
    // The path written to (".js" added unless the name ends exactly in ".js"); empty when the
    // dialog was cancelled.
    std::optional<QString> SaveConfiguration();

    // Open: the file the user chose; nothing is read from it. Empty when the dialog was cancelled
    // or the file does not exist (after the framework's message).
    std::optional<QString> ChooseDocument();

    // Appends ".js" unless the file's extension is exactly "js".
    static QString WithScriptExtension(const QString& path);
    // The framework's open of a document (Open, or a file named on the command line): the file
    // must exist; otherwise this message.
    static bool IsDocumentFile(const QString& path);
    static QString MissingDocumentMessage(const QString& path);

private:
    CBoardOperations& ops_;
    IUserPrompt& prompt_;
    IFileChooser& files_;
};

} // namespace tarsion
