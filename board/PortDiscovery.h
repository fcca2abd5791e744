#pragma once

#include "board/BoardLock.h"
#include "board/PpdevBackend.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tarsion {

// One parallel port of the system as the port listing reports it.
struct ParallelPortReport {
    std::string device;
    std::uint16_t base = 0;
    // Why this user can't use the port; empty when its device was opened and claimed.
    std::string problem;
    // The status register as read after the claim.
    std::optional<std::uint8_t> status;
    // The program that holds the port; such a port is not opened.
    std::optional<BoardHolder> holder;
};

// What the status register says of the board behind an idle port: status bit 5 set means nothing
// is connected (or the CPLD is in its programming mode); bit 7 reads 0 while the board holds Busy.
enum class BoardAnswer { Answers, NotConnected, BusyHeld };
BoardAnswer ClassifyIdleStatus(std::uint8_t status);

// Probes every port the kernel lists: opens and claims its device, writes the idle control value
// and reads the status register once; nothing else is written. Every device is released again.
// A port whose lock in `lockFolder` is held is reported with its holder and left alone.
std::vector<ParallelPortReport> ProbeParallelPorts(std::unique_ptr<IPpdevSystem> system,
                                                   const std::string& lockFolder = {});
// One line per port (device, base, whether this user may use it, whether a board answers), or a
// text saying there is none.
void PrintParallelPorts(const std::vector<ParallelPortReport>& ports, std::ostream& out);
// `tarsion --list-ports` on this machine: the listing on `out`; returns the exit status.
int ListParallelPorts(std::ostream& out, const std::string& lockFolder);

} // namespace tarsion
