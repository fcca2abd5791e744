#pragma once

#include "AppTestSupport.h"
#include "app/AppSettings.h"
#include "app/DocumentHost.h"
#include "app/MainFrame.h"
#include "support/ScriptedPrompt.h"

#include <QAction>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace tarsion::test {

// The main window over a fresh virtual board, shown, on empty settings, with a folder for files.
class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture() {
        ClearSettings();
        auto board = std::make_unique<VirtualBoard>();
        board_ = board.get();
        host_ = std::make_unique<CDocumentHost>(std::move(board), prompt_);
        window_ = std::make_unique<CMainFrame>(host_->Doc(), host_->Ops(), prompt_, files_, settings_);
        window_->show();
    }

    QAction& Action(const char* name) { return window_->Action(QString::fromLatin1(name)); }
    void Trigger(const char* action) { Action(action).trigger(); }
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir_;
    ScriptedPrompt prompt_;
    ScriptedFileChooser files_;
    CAppSettings settings_;
    VirtualBoard* board_ = nullptr;
    std::unique_ptr<CDocumentHost> host_;
    std::unique_ptr<CMainFrame> window_;
};

} // namespace tarsion::test
