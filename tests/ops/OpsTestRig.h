#pragma once

#include "board/VirtualBoard.h"
#include "ops/BoardStack.h"
#include "support/FakeClock.h"
#include "support/LogView.h"
#include "support/ScriptedPrompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tarsion::test {

inline constexpr const char* kRecordingHeader = "var WshShell = WScript.CreateObject(\"WScript.Shell\");\n"
                                                "var Tarsion = WScript.CreateObject(\"Trm90627\");\n"
                                                "\n"
                                                "var Data;";

// Forwards to the virtual board and notes every strobe with the byte on the data lines.
class StrobeSpy final : public IPortBackend {
public:
    static constexpr std::uint8_t kDataStrobe = 0x07;
    static constexpr std::uint8_t kAddressStrobe = 0x0D;

    explicit StrobeSpy(VirtualBoard& board) : board_(board) {}
    void WritePort(std::uint16_t port, std::uint8_t value) override {
        if (port == board_.Base())
            data_ = value;
        else if (port == board_.Base() + 2 && (value == kDataStrobe || value == kAddressStrobe))
            strobes.emplace_back(value, data_);
        board_.WritePort(port, value);
    }
    std::uint8_t ReadPort(std::uint16_t port) override { return board_.ReadPort(port); }
    void Unbind() override { board_.Unbind(); }

    // Bytes written to one bridge register, in order: a data cycle followed by its address cycle.
    std::vector<std::uint8_t> BridgeWrites(std::uint8_t reg) const {
        std::vector<std::uint8_t> values;
        for (std::size_t i = 1; i < strobes.size(); ++i) {
            if (strobes[i] == std::pair{kAddressStrobe, reg} && strobes[i - 1].first == kDataStrobe)
                values.push_back(strobes[i - 1].second);
        }
        return values;
    }

    std::vector<std::pair<std::uint8_t, std::uint8_t>> strobes;

private:
    VirtualBoard& board_;
    std::uint8_t data_ = 0;
};

// A view that counts its notifications and runs a callback on each.
class CallbackView final : public IDocumentObserver {
public:
    void OnDocumentUpdate() override {
        ++updates;
        if (onUpdate)
            onUpdate();
    }
    int updates = 0;
    std::function<void()> onUpdate;
};

// The operation layer over a virtual board, with a document, a log view and a fake clock.
struct OpsRig {
    VirtualBoard board;
    FakeClock clock;
    ScriptedPrompt prompt;
    StrobeSpy* spy = nullptr;
    CBoardStack stack{MakeSpy(), clock, prompt};
    CTarsionDoc& doc = stack.Doc();
    CBoardLink& link = stack.Link();
    CBoardOperations& ops = stack.Ops();
    LogView log{doc};

    std::unique_ptr<IPortBackend> MakeSpy() {
        auto port = std::make_unique<StrobeSpy>(board);
        spy = port.get();
        return port;
    }
    // Board and shadow agree on a bridge register, as after a read-out.
    void SetBridge(std::uint8_t reg, std::uint8_t value) {
        board.SetBridgeRegister(reg, value);
        doc.Shadow().StoreBridgeReg(reg, value);
    }
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// A file in the temporary folder, removed at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                (name + "_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".js")) {}
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string Content() const { return ReadWholeFile(path_); }

private:
    std::filesystem::path path_;
};

} // namespace tarsion::test
