#pragma once

#include "coefficient/CoefficientTestFiles.h"
#include "ops/OpsTestRig.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarsion::test {

// The operation layer over a virtual board; a fresh folder is both start and current directory
// (the loader writes its bit listing into the current one).
inline std::string FormatHex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", value);
    return text;
}
inline std::string FormatHex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

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
