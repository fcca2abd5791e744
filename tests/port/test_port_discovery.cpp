#include "board/PortDiscovery.h"
#include "support/FakePpdev.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

namespace tarsion {
namespace {

using test::FakeMachine;
using test::FakePpdev;
using test::Journal;

std::string Listing(FakeMachine& machine) {
    std::ostringstream out;
    PrintParallelPorts(ProbeParallelPorts(std::make_unique<FakePpdev>(machine)), out);
    return out.str();
}

TEST(PortDiscovery, NoPortGivesAClearText) {
    FakeMachine machine;
    EXPECT_EQ(Listing(machine), "No parallel port found: the kernel lists none (the machine has none, or the "
                                "parport_pc module is not loaded).\n"
                                "TARSION_PORT=sim runs the program on the virtual board.\n");
    EXPECT_TRUE(machine.journal.empty());
}

// Status bit 5 set: nothing connected; bit 7 clear: Busy held; otherwise the board answers.
TEST(PortDiscovery, EachPortWithWhetherTheUserMayOpenItAndWhetherABoardAnswers) {
    FakeMachine machine;
    machine.AddPort("parport0", "888\t1912\n");
    machine.AddPort("parport1", "632\t0\n");
    machine.AddPort("parport2", "956\t0\n");
    machine.AddPort("parport3", "53248\t54272\n");
    machine.statusOf["parport0"] = 0x87;
    machine.statusOf["parport1"] = 0x7F;
    machine.statusOf["parport3"] = 0x07;
    machine.openErrors["/dev/parport2"] = EACCES;
    const std::string check = "check the cable, JP1 in 'norm' position and RefClk";
    EXPECT_EQ(Listing(machine),
              "/dev/parport1  base 0x278  usable by this user; no board answers (status 0x7f: not connected, "
              "or the CPLD is in its programming mode); " +
                  check +
                  "\n"
                  "/dev/parport0  base 0x378  usable by this user; a board answers (status 0x87)\n"
                  "/dev/parport2  base 0x3bc  not usable by this user: can't open /dev/parport2: Permission "
                  "denied (the user needs to be in the lp group: sudo adduser $USER lp, then log in again)\n"
                  "/dev/parport3  base 0xd000  usable by this user; a board is connected but holds Busy "
                  "(status 0x07); " +
                  check + "\n");
}

// Reading the status register is all the probe does after the claim's idle control value.
TEST(PortDiscovery, ProbeWritesOnlyTheIdleControlValueAndReleasesEveryPort) {
    FakeMachine machine;
    machine.AddPort("parport0", "888\t1912\n");
    machine.AddPort("parport1", "632\t0\n");
    machine.ioctlErrors.clear();
    const auto reports = ProbeParallelPorts(std::make_unique<FakePpdev>(machine));
    ASSERT_EQ(reports.size(), 2u);
    Journal expected;
    for (const char* port : {"parport1", "parport0"}) {
        const std::string name(port);
        expected.insert(expected.end(), {"open /dev/" + name, name + ": PPCLAIM", name + ": PPWCONTROL 05",
                                         name + ": PPDATADIR 0", name + ": PPRSTATUS"});
    }
    for (const char* port : {"parport1", "parport0"})
        expected.insert(expected.end(), {std::string(port) + ": PPRELEASE", std::string(port) + ": close"});
    EXPECT_EQ(machine.journal, expected);
}

TEST(PortDiscovery, ClaimedByAnotherDriverOrFailingStatusReadIsNotUsable) {
    FakeMachine machine;
    machine.AddPort("parport0", "888\t1912\n");
    machine.ioctlErrors[PPCLAIM] = EBUSY;
    auto reports = ProbeParallelPorts(std::make_unique<FakePpdev>(machine));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].status);
    EXPECT_NE(reports[0].problem.find("another driver"), std::string::npos) << reports[0].problem;

    machine.ioctlErrors = {{PPRSTATUS, EIO}};
    reports = ProbeParallelPorts(std::make_unique<FakePpdev>(machine));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].status);
    EXPECT_NE(reports[0].problem.find("PPRSTATUS"), std::string::npos) << reports[0].problem;
}

} // namespace
} // namespace tarsion
