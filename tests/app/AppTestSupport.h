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
    QString SaveFileName(const QString& filter, const QString& defaultSuffix) override {
        filters.append(filter + QStringLiteral("|") + defaultSuffix);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString OpenFileName(const QString& filter) override {
        filters.append(filter);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList answers;
    QStringList filters;
};

// Every test starts from empty settings.
inline void ClearSettings() {
    QSettings settings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"));
    settings.clear();
    settings.sync();
}

} // namespace tarsion::test
