#include "board/PortDiagnosis.h"

#include <cerrno>
#include <charconv>
#include <system_error>

namespace tarsion {

std::string HexAddress(std::uint16_t value) {
    char digits[4];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
    return "0x" + std::string(digits, result.ptr);
}

std::string NoBoardText(std::uint16_t base, std::string_view cause) {
    std::string text = "no board at " + HexAddress(base) + ": ";
    return text.append(cause).append("; ").append(kVirtualBoardRemedy);
}

bool IsMissingDevice(int error) {
    return error == ENOENT || error == ENXIO || error == ENODEV;
}

std::string PortErrorText(int error) {
    std::string text = std::generic_category().message(error);
    if (error == EACCES || error == EPERM)
        text += " (the user needs to be in the lp group: sudo adduser $USER lp, then log in again)";
    else if (error == EBUSY)
        text += " (another driver holds the port)";
    else if (IsMissingDevice(error))
        text += " (the ppdev module is not loaded: sudo modprobe ppdev)";
    return text;
}

} // namespace tarsion
