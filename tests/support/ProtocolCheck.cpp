// Compiled into every test program: checks after each test that the virtual boards it used saw
// exactly the protocol violations the test declared (none, unless it breaches on purpose).
#include "support/ProtocolCheck.h"

#include "board/CpldProtocol.h"

#include <gtest/gtest.h>

namespace tarsion::test {

namespace {
std::uint64_t expectedViolations = 0;

class ProtocolViolationCheck final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        expectedViolations = 0;
        CpldProtocolMonitor::ResetProcessTally();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        EXPECT_EQ(CpldProtocolMonitor::ProcessViolations(), expectedViolations)
            << "byte-cycle protocol violations on the virtual board; the first: "
            << CpldProtocolMonitor::ProcessFirstViolation();
    }
};

// Appended once the default printer is in place, so a failure here belongs to the test just run.
class InstallCheck final : public ::testing::Environment {
    void SetUp() override {
        ::testing::UnitTest::GetInstance()->listeners().Append(new ProtocolViolationCheck);
    }
};

[[maybe_unused]] const auto* const installed = ::testing::AddGlobalTestEnvironment(new InstallCheck);
} // namespace

void ExpectProtocolViolations(std::uint64_t count) {
    expectedViolations = count;
}

} // namespace tarsion::test
