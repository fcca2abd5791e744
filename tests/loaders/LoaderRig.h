#pragma once

#include "ops/OpsTestRig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tarsion::test {

// The operation layer over a virtual board, with its own start directory for the loaders' files;
// it is the current folder too while the rig lives (a coefficient load writes its bit listing there).
struct LoaderRig : OpsRig {
    std::filesystem::path dir;
    std::filesystem::path previous = std::filesystem::current_path();

    LoaderRig()
        : dir(std::filesystem::temp_directory_path() /
              ("tarsion_loaders_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        doc.startDirectory = dir.string();
        std::filesystem::current_path(dir);
    }
    ~LoaderRig() {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(dir, ignored);
    }

    // Writes a file in the start directory and returns its full path.
    std::string WriteFile(const std::string& name, const std::string& content) const {
        const std::filesystem::path path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < log.text.size();) {
            const std::size_t end = log.text.find("\r\n", at);
            lines.push_back(log.text.substr(at, end - at));
            at = end == std::string::npos ? log.text.size() : end + 2;
        }
        return lines;
    }
    std::string LastLogLine() const {
        const auto lines = LogLines();
        return lines.empty() ? std::string() : lines.back();
    }
    // Names in the start directory, to see that nothing was left behind.
    std::vector<std::string> DirectoryNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

} // namespace tarsion::test
