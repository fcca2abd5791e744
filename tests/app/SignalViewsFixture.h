#pragma once

#include "MainWindowFixture.h"
#include "coefficient/CoefficientTestFiles.h"
#include "views/SignalViewMenu.h"

#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tarsion::test {

// The main window over a virtual board, at the size of a small screen, with both views open.
class SignalViewsTest : public MainWindowFixture {
protected:
    SignalViewsTest() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.path().toStdString());
        host_->Doc().startDirectory = dir_.path().toStdString();
        window_->resize(1280, 800);
    }
    ~SignalViewsTest() override { std::filesystem::current_path(previous_); }

    CSignalViewMenu& Views() { return window_->SignalViews(); }
    void Open(const char* action) { window_->Action(QString::fromLatin1(action)).trigger(); }
    void LoadFilter() {
        WriteText(dir_.filePath(QStringLiteral("rrc.coe")).toStdString(),
                  CoefficientText(RootRaisedCosine(96, 4, 0.35)));
        ASSERT_TRUE(host_->Ops().LoadCoefficientRam(0, "rrc.coe", true, 1.0, false, 0, false, false));
    }
    static void Settle(const std::function<bool()>& pending) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !pending(); }, 2000));
    }

    // The cells of the line of a figure table's text whose first cell is `name`; empty when none is.
    static QStringList RowOf(const QString& table, const QString& name) {
        for (const QString& line : table.split(QLatin1Char('\n'))) {
            const QStringList cells = line.split(QLatin1Char('\t'));
            if (cells.front() == name)
                return cells;
        }
        return {};
    }

    std::filesystem::path previous_;
};

} // namespace tarsion::test
