#include "board/PortDiscovery.h"

#include "board/BoardLink.h"
#include "board/PortDiagnosis.h"

#include <cstdio>
#include <sstream>

namespace tarsion {

namespace {
std::string StatusText(std::uint8_t status) {
    char text[16];
    std::snprintf(text, sizeof text, "status 0x%02x", status);
    return text;
}

std::string AnswerText(std::uint8_t status) {
    switch (ClassifyIdleStatus(status)) {
    case BoardAnswer::Answers:
        return "a board answers (" + StatusText(status) + ")";
    case BoardAnswer::BusyHeld:
        return "a board is connected but holds Busy (" + StatusText(status) + "); " + kCheckTheBoard;
    case BoardAnswer::NotConnected:
        break;
    }
    return "no board answers (" + StatusText(status) +
           ": not connected, or the CPLD is in its programming mode); " + kCheckTheBoard;
}
} // namespace

BoardAnswer ClassifyIdleStatus(std::uint8_t status) {
    if (status & CBoardLink::kStatusPaperEnd)
        return BoardAnswer::NotConnected;
    return (status & CBoardLink::kStatusBusy) ? BoardAnswer::Answers : BoardAnswer::BusyHeld;
}

std::vector<ParallelPortReport> ProbeParallelPorts(std::unique_ptr<IPpdevSystem> system,
                                                   const std::string& lockFolder) {
    const PpdevRoutes routes = FindParportDevices(*system);
    // Every problem is part of the report.
    std::ostringstream diagnostics;
    PpdevBackend backend(std::move(system), routes, diagnostics);
    std::vector<ParallelPortReport> reports;
    for (const auto& [base, device] : routes) {
        ParallelPortReport report{device, base, {}, {}, {}};
        // Claiming a port another program holds would wait until it lets go.
        if (!lockFolder.empty())
            report.holder = CBoardLock::Holder(IdentifyBoard(device, base, lockFolder, {}).lockPath);
        if (!report.holder && backend.OpenBase(base, report.problem)) {
            const std::uint8_t status =
                backend.ReadPort(static_cast<std::uint16_t>(base + CBoardLink::kStatusOffset));
            // A failed status read gives the device up and says why.
            report.problem = backend.DeviceProblem(base);
            if (report.problem.empty())
                report.status = status;
        }
        reports.push_back(std::move(report));
    }
    backend.Unbind();
    return reports;
}

void PrintParallelPorts(const std::vector<ParallelPortReport>& ports, std::ostream& out) {
    if (ports.empty()) {
        out << "No parallel port found: the kernel lists none (the machine has none, or the parport_pc "
               "module is not loaded).\n"
            << kVirtualBoardRemedy << ".\n";
        return;
    }
    for (const ParallelPortReport& port : ports) {
        out << port.device << "  base " << HexAddress(port.base) << "  ";
        if (port.holder)
            out << "in use by " << DescribeHolder(*port.holder) << '\n';
        else if (port.status)
            out << "usable by this user; " << AnswerText(*port.status) << '\n';
        else
            out << "not usable by this user: " << port.problem << '\n';
    }
}

int ListParallelPorts(std::ostream& out, const std::string& lockFolder) {
    PrintParallelPorts(ProbeParallelPorts(std::make_unique<LinuxPpdevSystem>(), lockFolder), out);
    return 0;
}

} // namespace tarsion
