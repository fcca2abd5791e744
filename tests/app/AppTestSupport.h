#pragma once

#include "app/FileChooser.h"
#include "board/VirtualBoard.h"

#include <QSettings>
#include <QStringList>

#include <memory>

namespace tarsion::test {

// Answers file dialogs from a list; an empty answer is a cancel.
class ScriptedFileChooser final : public IFileChooser {
public:
    QString SaveFileName(const QString& filter, const QString& defaultSuffix, const char* kind) override {
        filters.append(filter + QStringLiteral("|") + defaultSuffix);
        kinds.append(QString::fromLatin1(kind));
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString OpenFileName(const QString& filter, const char* kind) override {
        filters.append(filter);
        kinds.append(QString::fromLatin1(kind));
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList answers;
    QStringList filters;
    QStringList kinds;
};

// Every test starts from empty settings.
inline void ClearSettings() {
    QSettings settings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"));
    settings.clear();
    settings.sync();
}

} // namespace tarsion::test
