#pragma once

#include <cstddef>
#include <string>

namespace tarsion {

// What a process needs before anything else runs, for tarsion and tarsion-script alike.

// Descriptors 0 to 2 that were closed are opened on /dev/null, so that no pipe or socket opened
// later takes their place and receives what is meant for standard output or error.
void OpenStandardDescriptors();

// With HOME unset or empty, HOME becomes the home folder of the user database's entry for this
// user, so that settings never land in "/.config". False, with the reason, when there is none.
bool EnsureHomeFolder(std::string& error);

// Tarsion's folder in the user's state folder: $XDG_STATE_HOME/tarsion (an absolute one), else
// ~/.local/state/tarsion.
std::string UserStateFolder();

// A program started by D-Bus activation starts in the bus daemon's folder, often `/`, where the
// files it writes beside relative names (dumps, the bit listing) have no place: from `/` it moves
// to `folder` (made, private, when missing). False, with the reason, when it can't; a program
// started anywhere else stays where it is.
bool LeaveRootFolder(const std::string& folder, std::string& error);

// Standard output and error go to the file `path`, appended, its folder made (private) when
// missing. A file that reached `limit` bytes is first renamed to path + ".1", so two runs' worth
// is kept; a planted link in its place is not followed. False, with the reason, when the file
// can't be opened; the descriptors then stay as they were.
bool RedirectOutputToFile(const std::string& path, std::size_t limit, std::string& error);

// Where parallel-port locks live: /run/lock, shared by every user, when it can be written; else
// the user's runtime folder; else /tmp.
std::string PortLockFolder();

// Whether Qt can open a window here: an X server or Wayland compositor that accepts a connection,
// or a platform that needs neither (offscreen). Checked before Qt is asked, which would abort.
// Qt's -platform and -display options, when given, stand for QT_QPA_PLATFORM and DISPLAY.
bool DisplayUsable(const std::string& platformOption = {}, const std::string& displayOption = {});

} // namespace tarsion
