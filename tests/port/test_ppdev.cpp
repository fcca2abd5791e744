#include "board/PpdevBackend.h"
#include "support/FakePpdev.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <linux/ppdev.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <vector>

namespace tarsion {
namespace {

using test::FakeMachine;
using test::FakePpdev;
using test::Journal;

class PpdevTest : public ::testing::Test {
protected:
    void AddPort(const std::string& dir, const std::string& baseAddr) { machine.AddPort(dir, baseAddr); }
    PortBinding Bind(const std::string& device = "", std::uint16_t base = 0x378) {
        return BindPpdev(std::make_unique<FakePpdev>(machine), device, base, diagnostics);
    }
    // Binds, which must succeed, and forgets the calls the binding made.
    std::unique_ptr<IPortBackend> BindAndClear(const std::string& device = "") {
        PortBinding binding = Bind(device);
        EXPECT_TRUE(binding.backend) << binding.error;
        journal.clear();
        return std::move(binding.backend);
    }
    int LinesReported() const {
        const std::string text = diagnostics.str();
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    FakeMachine machine;
    Journal& journal = machine.journal;
    std::ostringstream diagnostics;
};

TEST_F(PpdevTest, FindsEachDeviceByTheBaseItsBaseAddrFileStartsWith) {
    AddPort("parport0", "888\t1912\n");
    AddPort("parport1", "632\t0\n");
    AddPort("parport2", "8880\t9904\n"); // starts with the digits of 888 but is another base
    AddPort("parport3", "garbled\n");
    machine.dirs.push_back("parport4"); // no base-addr file
    FakePpdev fake(machine);
    const PpdevRoutes expected{{0x378, "/dev/parport0"}, {0x278, "/dev/parport1"}, {8880, "/dev/parport2"}};
    EXPECT_EQ(FindParportDevices(fake), expected);
}

TEST_F(PpdevTest, BindingClaimsTheBaseInUseAndSetsItIdleAtOnce) {
    AddPort("parport0", "888\t1912\n");
    AddPort("parport1", "632\t0\n");
    PortBinding binding = Bind("", 0x278);
    ASSERT_TRUE(binding.backend) << binding.error;
    // Only the device of the base in use; the claim's restored control byte is overwritten first.
    EXPECT_EQ(journal, (Journal{"open /dev/parport1", "parport1: PPCLAIM", "parport1: PPWCONTROL 05",
                                "parport1: PPDATADIR 0"}));
}

TEST_F(PpdevTest, TranslatesPortRegistersIntoIoctls) {
    AddPort("parport0", "888\t1912\n");
    auto port = BindAndClear();

    port->WritePort(0x778, 0x20); // ECR: the kernel already runs the port in PS/2 mode
    port->WritePort(0x378, 0xA5);
    EXPECT_EQ(port->ReadPort(0x379), 0x87) << "status is passed on raw, Busy still inverted";
    EXPECT_EQ(journal, (Journal{"parport0: PPWDATA a5", "parport0: PPRSTATUS"}));

    // A data read cycle: lines to input before the control value, back to output after it.
    journal.clear();
    port->WritePort(0x37A, 0x25);
    port->WritePort(0x37A, 0x24);
    port->WritePort(0x37A, 0x26);
    EXPECT_EQ(port->ReadPort(0x378), 0x5A);
    port->WritePort(0x37A, 0x05);
    EXPECT_EQ(journal, (Journal{"parport0: PPDATADIR 1", "parport0: PPWCONTROL 05", "parport0: PPWCONTROL 04",
                                "parport0: PPWCONTROL 06", "parport0: PPRDATA", "parport0: PPWCONTROL 05",
                                "parport0: PPDATADIR 0"}));

    // Bit 4 (interrupt enable) and bits 6, 7 never reach the kernel; bit 5 only as the direction.
    journal.clear();
    port->WritePort(0x37A, 0x31);
    port->WritePort(0x37A, 0x35);
    port->WritePort(0x37A, 0xC4);
    EXPECT_EQ(journal, (Journal{"parport0: PPDATADIR 1", "parport0: PPWCONTROL 01", "parport0: PPWCONTROL 05",
                                "parport0: PPWCONTROL 04", "parport0: PPDATADIR 0"}));
}

TEST_F(PpdevTest, NeverChangesTheModeNorUsesReadOrWrite) {
    AddPort("parport0", "888\t1912\n");
    PortBinding binding = Bind();
    ASSERT_TRUE(binding.backend);
    for (int value = 0; value < 256; ++value) {
        for (const std::uint16_t port : {0x378, 0x379, 0x37A, 0x778}) {
            binding.backend->WritePort(port, static_cast<std::uint8_t>(value));
            binding.backend->ReadPort(port);
        }
    }
    binding.backend->Unbind();
    const std::vector<std::string> allowed{"PPCLAIM",    "PPRELEASE",  "PPWDATA",   "PPRDATA", "PPRSTATUS",
                                           "PPWCONTROL", "PPRCONTROL", "PPDATADIR", "close"};
    for (const std::string& entry : journal) {
        if (entry.starts_with("open "))
            continue;
        const std::string call = entry.substr(entry.find(": ") + 2);
        EXPECT_TRUE(std::ranges::any_of(allowed, [&](const std::string& name) {
            return call.starts_with(name);
        })) << entry;
    }
}

TEST_F(PpdevTest, BaseWithoutDeviceReadsAsEmptyBus) {
    AddPort("parport1", "632\t0\n");
    auto port = BindAndClear();
    port->WritePort(0x37A, 0x05);
    port->WritePort(0x378, 0x12);
    EXPECT_EQ(port->ReadPort(0x379), 0xFF);
    EXPECT_EQ(port->ReadPort(0x378), 0xFF);
    EXPECT_TRUE(journal.empty()) << journal.front();
}

// A 0x378 port the user may not open stops only a program whose base in use is 0x378; a port at
// another base in use that can't be opened stops the program.
TEST_F(PpdevTest, OnlyTheDeviceOfTheBaseInUseDecidesTheBinding) {
    AddPort("parport0", "888\t1912\n");
    AddPort("parport1", "632\t0\n");
    AddPort("parport2", "956\t0\n");
    machine.openErrors["/dev/parport0"] = EACCES;
    machine.openErrors["/dev/parport2"] = EACCES;
    for (const std::uint16_t base : {0x378, 0x3BC}) {
        PortBinding refused = Bind("", base);
        EXPECT_FALSE(refused.backend) << base;
        EXPECT_NE(refused.error.find("lp group"), std::string::npos) << refused.error;
    }
    PortBinding other = Bind("", 0x278);
    EXPECT_TRUE(other.backend) << other.error;
    EXPECT_EQ(other.backend->ReadPort(0x279), 0x87);
}

// The kernel lists the port but ppdev gives it no device: an empty bus, and the read-out's cause.
TEST_F(PpdevTest, PortWithoutPpdevBindsAsAnEmptyBus) {
    AddPort("parport0", "888\t1912\n");
    machine.openErrors["/dev/parport0"] = ENOENT;
    PortBinding binding = Bind();
    ASSERT_TRUE(binding.backend) << binding.error;
    EXPECT_EQ(binding.backend->ReadPort(0x379), 0xFF);
    binding.backend->WritePort(0x37A, 0x05);
    EXPECT_EQ(journal, Journal{"open /dev/parport0"});
    EXPECT_EQ(LinesReported(), 0) << diagnostics.str();
    const std::string cause = binding.backend->DiagnoseNoBoard(0x378);
    EXPECT_NE(cause.find("modprobe ppdev"), std::string::npos) << cause;
}

TEST_F(PpdevTest, NoBoardCauseNamesTheRemedy) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> ports;
        int openError;
        std::uint16_t base;
        const char* cause;
    } cases[] = {
        {"no port", {}, 0, 0x378, "no parallel port found"},
        {"other base",
         {{"parport1", "632\t0\n"}, {"parport2", "956\t0\n"}},
         0,
         0x378,
         "no parallel port at this base; ports were found at 0x278 0x3bc"},
        {"lp group", {{"parport0", "888\t1912\n"}}, EACCES, 0x378, "lp group"},
        {"no ppdev", {{"parport0", "888\t1912\n"}}, ENXIO, 0x378, "modprobe ppdev"},
        {"silent board",
         {{"parport0", "888\t1912\n"}},
         0,
         0x378,
         "/dev/parport0 is open but no board answers"},
    };
    for (const auto& c : cases) {
        machine = FakeMachine{};
        for (const auto& [dir, baseAddr] : c.ports)
            AddPort(dir, baseAddr);
        if (c.openError)
            machine.openErrors["/dev/parport0"] = c.openError;
        FakePpdev lister(machine);
        PpdevBackend backend(std::make_unique<FakePpdev>(machine), FindParportDevices(lister), diagnostics);
        std::string error;
        backend.OpenBase(c.base, error);
        const std::string cause = backend.DiagnoseNoBoard(c.base);
        EXPECT_TRUE(cause.starts_with("no board at 0x378: ")) << c.name << ": " << cause;
        EXPECT_NE(cause.find(c.cause), std::string::npos) << c.name << ": " << cause;
        EXPECT_TRUE(cause.ends_with("; TARSION_PORT=sim runs the program on the virtual board")) << cause;
        EXPECT_EQ(cause.find('\n'), std::string::npos) << c.name;
    }
}

TEST_F(PpdevTest, BindingFailsWithTheReasonWhenTheDefaultDeviceCannotBeOpenedOrClaimed) {
    AddPort("parport0", "888\t1912\n");
    machine.openErrors["/dev/parport0"] = EACCES;
    PortBinding refused = Bind();
    EXPECT_FALSE(refused.backend);
    EXPECT_NE(refused.error.find("open /dev/parport0"), std::string::npos) << refused.error;
    EXPECT_NE(refused.error.find("lp group"), std::string::npos) << refused.error;

    machine.openErrors.clear();
    machine.ioctlErrors[PPCLAIM] = EBUSY;
    PortBinding busy = Bind();
    EXPECT_FALSE(busy.backend);
    EXPECT_NE(busy.error.find("claim /dev/parport0"), std::string::npos) << busy.error;
    EXPECT_NE(busy.error.find("another driver"), std::string::npos) << busy.error;
    EXPECT_EQ(journal.back(), "parport0: close");

    machine.openErrors["/dev/parport7"] = ENOENT;
    PortBinding missing = Bind("/dev/parport7");
    EXPECT_FALSE(missing.backend);
    EXPECT_NE(missing.error.find("/dev/parport7"), std::string::npos) << missing.error;
}

TEST_F(PpdevTest, OpensAnotherBaseOnItsFirstUse) {
    AddPort("parport0", "888\t1912\n");
    AddPort("parport1", "956\t0\n");
    auto port = BindAndClear();
    port->WritePort(0x3BE, 0x05);
    EXPECT_EQ(port->ReadPort(0x3BD), 0x87);
    EXPECT_EQ(journal, (Journal{"open /dev/parport1", "parport1: PPCLAIM", "parport1: PPWCONTROL 05",
                                "parport1: PPDATADIR 0", "parport1: PPWCONTROL 05", "parport1: PPRSTATUS"}));
}

TEST_F(PpdevTest, LaterOpenFailureIsReportedOnceAndTheBaseStaysEmpty) {
    AddPort("parport0", "888\t1912\n");
    AddPort("parport1", "632\t0\n");
    machine.openErrors["/dev/parport1"] = EACCES;
    auto port = BindAndClear();
    EXPECT_EQ(port->ReadPort(0x279), 0xFF);
    port->WritePort(0x27A, 0x05);
    EXPECT_EQ(port->ReadPort(0x279), 0xFF);
    EXPECT_EQ(journal, Journal{"open /dev/parport1"});
    EXPECT_NE(diagnostics.str().find("/dev/parport1"), std::string::npos) << diagnostics.str();
    EXPECT_EQ(LinesReported(), 1) << diagnostics.str();
    // The default base is unaffected.
    EXPECT_EQ(port->ReadPort(0x379), 0x87);
}

TEST_F(PpdevTest, FailedIoctlGivesUpTheDeviceOnce) {
    AddPort("parport0", "888\t1912\n");
    auto port = BindAndClear();
    machine.ioctlErrors[PPRSTATUS] = ENODEV;
    EXPECT_EQ(port->ReadPort(0x379), 0xFF);
    EXPECT_EQ(port->ReadPort(0x379), 0xFF);
    port->WritePort(0x378, 0x00);
    EXPECT_EQ(journal, (Journal{"parport0: PPRSTATUS", "parport0: PPRELEASE", "parport0: close"}));
    EXPECT_EQ(LinesReported(), 1) << diagnostics.str();
}

TEST_F(PpdevTest, UnbindOrDestructionReleasesAndClosesEveryClaimedDeviceOnce) {
    AddPort("parport0", "888\t1912\n");
    AddPort("parport1", "632\t0\n");
    AddPort("parport2", "956\t0\n");
    auto port = BindAndClear();
    port->ReadPort(0x279);
    journal.clear();
    port->Unbind();
    port.reset();
    EXPECT_EQ(journal,
              (Journal{"parport1: PPRELEASE", "parport1: close", "parport0: PPRELEASE", "parport0: close"}));

    port = BindAndClear();
    port.reset();
    EXPECT_EQ(journal, (Journal{"parport0: PPRELEASE", "parport0: close"}));
}

TEST_F(PpdevTest, NamedDeviceServesEveryOfferedBaseAndItsOwnThroughOneHandle) {
    AddPort("parport3", "53248\t54272\n"); // a PCI card at 0xD000
    auto port = BindAndClear("/dev/parport3");
    for (const std::uint16_t status : {0x379, 0x3BD, 0x279, 0xD001})
        EXPECT_EQ(port->ReadPort(status), 0x87) << status;
    EXPECT_EQ(port->ReadPort(0x2F9), 0xFF);
    EXPECT_EQ(journal, Journal(4, "parport3: PPRSTATUS"));
}

} // namespace
} // namespace tarsion
