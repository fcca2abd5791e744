// A virtual board state file's text. A refused file says why and leaves the board as it was; an
// accepted one is written back as a file that reads the same again.
#include "board/VirtualBoard.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarsion::VirtualBoard;
    static VirtualBoard board;
    board.SetChipRegister(0x0B, 0x5A5A5A5A);
    std::string error;
    if (!board.LoadStateText(std::string(reinterpret_cast<const char*>(data), size), error)) {
        if (error.empty() || board.ChipRegister(0x0B) != 0x5A5A5A5A)
            __builtin_trap();
        return 0;
    }
    const std::string saved = board.StateText();
    static VirtualBoard again;
    if (!again.LoadStateText(saved, error) || again.StateText() != saved)
        __builtin_trap();
    return 0;
}
