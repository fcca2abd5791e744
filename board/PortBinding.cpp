#include "base/RegularFile.h"
#include "board/BoardLink.h"
#include "board/DirectIoBackend.h"
#include "board/PacedPort.h"
#include "board/PortBackend.h"
#include "board/PpdevBackend.h"
#include "board/VirtualBoard.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace tarsion {

namespace {
constexpr std::string_view kSimulated = "sim";
constexpr std::string_view kSimulatedWithState = "sim:";
constexpr std::string_view kPaced = "sim-paced";
constexpr std::string_view kPacedWithState = "sim-paced:";

PortBinding BindDirectIo(std::uint16_t base) {
    PortBinding binding;
    auto backend = std::make_unique<DirectIoBackend>(std::cerr);
    if (backend->OpenBase(base, binding.error))
        binding.backend = std::move(backend);
    return binding;
}

PortBinding BindVirtualBoard(const std::string& stateFile) {
    PortBinding binding;
    auto board = std::make_unique<VirtualBoard>();
    if (!stateFile.empty()) {
        std::string reason;
        if (!board->LoadState(stateFile, reason)) {
            binding.error = "can't load the virtual board's state from " + stateFile + ": " + reason;
            return binding;
        }
        board->SetStateFile(stateFile);
        std::error_code missing;
        if (const std::string target = FinalLinkTarget(stateFile);
            target != stateFile && !std::filesystem::exists(target, missing))
            std::cerr << "tarsion: the virtual board's state file " << stateFile << " is a link to " << target
                      << ", which does not exist: the board starts fresh, and its state is saved there"
                      << std::endl;
    }
    // A bad cable on demand, to see read-back verification fail.
    if (const char* fault = std::getenv("TARSION_SIM_DATA_FAULT");
        fault && *fault && !board->InjectDataLineFault(fault)) {
        binding.error = std::string("TARSION_SIM_DATA_FAULT=\"") + fault +
                        "\" names no fault; use LINE:low, LINE:high or LINE:invert with LINE 0 to 7";
        return binding;
    }
    if (!stateFile.empty())
        binding.keptState = board.get();
    binding.backend = std::move(board);
    return binding;
}

// The virtual board at the pace of a real port.
PortBinding BindPacedVirtualBoard(const std::string& stateFile) {
    static SystemSteadyClock clock;
    PortBinding binding = BindVirtualBoard(stateFile);
    if (binding.backend)
        binding.backend = std::make_unique<CPacedPort>(std::move(binding.backend), clock);
    return binding;
}
} // namespace

bool NamesPortBackend(const std::string& spec) {
    for (const std::string_view withState : {kSimulatedWithState, kPacedWithState})
        if (spec.starts_with(withState))
            return spec.size() > withState.size();
    return spec.empty() || spec == "auto" || spec == "direct" || spec.starts_with('/') ||
           spec == kSimulated || spec == kPaced;
}

std::string PortFromAnywhere(const std::string& spec, const std::string& folder) {
    for (const std::string_view withState : {kSimulatedWithState, kPacedWithState})
        if (spec.starts_with(withState) && spec.size() > withState.size() && spec[withState.size()] != '/')
            return std::string(withState) + folder + '/' + spec.substr(withState.size());
    return spec;
}

PortBinding BindPortIo(const std::string& spec, std::uint16_t base) {
    if (spec.empty() || spec == "auto")
        return BindPpdev(std::make_unique<LinuxPpdevSystem>(), "", base, std::cerr);
    if (spec == "direct")
        return BindDirectIo(base);
    if (spec.starts_with('/'))
        return BindPpdev(std::make_unique<LinuxPpdevSystem>(), spec, base, std::cerr);
    if (spec == kSimulated)
        return BindVirtualBoard("");
    if (spec.starts_with(kSimulatedWithState) && spec.size() > kSimulatedWithState.size())
        return BindVirtualBoard(spec.substr(kSimulatedWithState.size()));
    if (spec == kPaced)
        return BindPacedVirtualBoard("");
    if (spec.starts_with(kPacedWithState) && spec.size() > kPacedWithState.size())
        return BindPacedVirtualBoard(spec.substr(kPacedWithState.size()));
    return {nullptr, "TARSION_PORT=\"" + spec +
                         "\" names no port backend; use auto, direct, a device such as /dev/parport0, "
                         "sim, sim:FILE, sim-paced or sim-paced:FILE"};
}

} // namespace tarsion
