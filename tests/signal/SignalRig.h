#pragma once

#include "coefficient/CoefficientTestFiles.h"
#include "ops/OpsTestRig.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace tarsion::test {

// `value` in lower-case hexadecimal, zero-padded to `digits`, as the log and the load files write it.
inline std::string FormatHex(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// The operation layer over a virtual board; a fresh folder is both start and current directory
// (the loader writes its bit listing into the current one).
class SignalRig : public ::testing::Test {
protected:
    SignalRig() : previous_(std::filesystem::current_path()) {
        rig.doc.startDirectory = folder.Path();
        std::filesystem::current_path(folder.Path());
    }
    ~SignalRig() override { std::filesystem::current_path(previous_); }

    TempFolder folder;
    OpsRig rig;

private:
    std::filesystem::path previous_;
};

} // namespace tarsion::test
