#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarsion {

// Texts the port backends and the port listing give the user when a port or a board can't be
// reached: what to check and how to go on without hardware.
inline constexpr const char* kCheckTheBoard = "check the cable, JP1 in 'norm' position and RefClk";
inline constexpr const char* kVirtualBoardRemedy = "TARSION_PORT=sim runs the program on the virtual board";

// "0x378".
std::string HexAddress(std::uint16_t value);
// The line a backend gives when no board answers at `base`: the address, `cause` and the way on
// without hardware.
std::string NoBoardText(std::uint16_t base, std::string_view cause);
// The system's text for a failed open or ioctl of a port device, with the remedy where there is a
// usual one: the lp group, the ppdev module, another driver holding the port.
std::string PortErrorText(int error);
// A device open that failed because the device has no node or no driver: ppdev is not loaded.
bool IsMissingDevice(int error);

} // namespace tarsion
