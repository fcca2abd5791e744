#include "board/PpdevBackend.h"

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

using Journal = std::vector<std::string>;

// What the fake system shows, and the calls made to it.
struct FakeMachine {
    Journal journal;
    std::map<std::string, std::string> files;
    std::vector<std::string> dirs;
    std::map<std::string, int> openErrors;
    std::map<unsigned long, int> ioctlErrors;
    unsigned char status = 0x87;
    unsigned char data = 0x5A;
};

// Records every call as "<device>: <call> [value]" and answers from the machine.
class FakePpdev final : public IPpdevSystem {
public:
    explicit FakePpdev(FakeMachine& machine) : m_(machine) {}

    std::optional<std::string> ReadTextFile(const std::string& path) override {
        const auto it = m_.files.find(path);
        return it == m_.files.end() ? std::nullopt : std::optional(it->second);
    }
    std::vector<std::string> ListParportDirs() override { return m_.dirs; }
    int Open(const std::string& path) override {
        m_.journal.push_back("open " + path);
        if (const auto it = m_.openErrors.find(path); it != m_.openErrors.end())
            return -it->second;
        names_[nextFd_] = path.substr(path.rfind('/') + 1);
        return nextFd_++;
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for " " + std::string.
        std::string entry = names_.at(fd) + ": " + Name(request);
        if (request == PPWDATA || request == PPWCONTROL)
            entry.append(" ").append(Hex(*static_cast<unsigned char*>(arg)));
        else if (request == PPDATADIR)
            entry.append(" ").append(std::to_string(*static_cast<int*>(arg)));
        m_.journal.push_back(entry);
        if (const auto it = m_.ioctlErrors.find(request); it != m_.ioctlErrors.end())
            return it->second;
        if (request == PPRSTATUS)
            *static_cast<unsigned char*>(arg) = m_.status;
        else if (request == PPRDATA)
            *static_cast<unsigned char*>(arg) = m_.data;
        return 0;
    }
    void Close(int fd) override { m_.journal.push_back(names_.at(fd) + ": close"); }

private:
    static std::string Hex(unsigned value) {
        char text[3];
        std::snprintf(text, sizeof text, "%02x", value);
        return text;
    }
    static std::string Name(unsigned long request) {
        static const std::map<unsigned long, std::string> names{
            {PPCLAIM, "PPCLAIM"},       {PPRELEASE, "PPRELEASE"}, {PPWDATA, "PPWDATA"},
            {PPRDATA, "PPRDATA"},       {PPRSTATUS, "PPRSTATUS"}, {PPWCONTROL, "PPWCONTROL"},
            {PPRCONTROL, "PPRCONTROL"}, {PPDATADIR, "PPDATADIR"}, {PPSETMODE, "PPSETMODE"},
            {PPNEGOT, "PPNEGOT"}};
        const auto it = names.find(request);
        return it == names.end() ? std::string("ioctl ").append(std::to_string(request)) : it->second;
    }

    FakeMachine& m_;
    std::map<int, std::string> names_;
    int nextFd_ = 3;
};

class PpdevTest : public ::testing::Test {
protected:
    void AddPort(const std::string& dir, const std::string& baseAddr) {
        machine.dirs.push_back(dir);
        machine.files["/proc/sys/dev/parport/" + dir + "/base-addr"] = baseAddr;
    }
    PortBinding Bind(const std::string& device = "") {
        return BindPpdev(std::make_unique<FakePpdev>(machine), device, diagnostics);
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

TEST_F(PpdevTest, BindingClaimsTheDefaultBaseAndSetsItIdleAtOnce) {
    AddPort("parport0", "888\t1912\n");
    AddPort("parport1", "632\t0\n");
    PortBinding binding = Bind();
    ASSERT_TRUE(binding.backend) << binding.error;
    // Only the default base's device; the claim's restored control byte is overwritten first.
    EXPECT_EQ(journal, (Journal{"open /dev/parport0", "parport0: PPCLAIM", "parport0: PPWCONTROL 05",
                                "parport0: PPDATADIR 0"}));
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
