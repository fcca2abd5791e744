#include "app/ProgramOptions.h"

#include "board/BoardLock.h"
#include "board/PortBackend.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tarsion {

namespace {
// The switches of Qt's application objects, with and without a value.
constexpr std::array<std::string_view, 15> kQtOptionsWithValue{"platform",      "platformpluginpath",
                                                               "platformtheme", "plugin",
                                                               "qmljsdebugger", "qwindowgeometry",
                                                               "qwindowicon",   "qwindowtitle",
                                                               "session",       "display",
                                                               "geometry",      "style",
                                                               "stylesheet",    "title",
                                                               "name"};
constexpr std::array<std::string_view, 5> kQtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}
} // namespace

ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments) {
    ProgramOptions options;
    auto refuse = [&options](std::string error) {
        options.action = ProgramOptions::Action::Refuse;
        options.error = std::move(error);
        return options;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.size() < 2 || argument.front() != '-') {
            options.files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            options.files.insert(options.files.end(), arguments.begin() + static_cast<long>(i) + 1,
                                 arguments.end());
            break;
        }
        std::string name = argument.substr(argument.starts_with("--") ? 2 : 1);
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const bool takesValue = name == "port" || name == "save-port" || name == "board-id" ||
                                Contains(kQtOptionsWithValue, name);
        if (takesValue && !value) {
            if (i + 1 == arguments.size())
                return refuse("option " + argument + " needs a value");
            value = arguments[++i];
        } else if (!takesValue && value) {
            return refuse("option --" + name + " takes no value");
        }
        if (name == "help" || name == "h") {
            options.action = ProgramOptions::Action::Help;
            return options;
        }
        if (name == "version" || name == "v") {
            options.action = ProgramOptions::Action::Version;
            return options;
        }
        if (name == "list-ports")
            options.action = ProgramOptions::Action::ListPorts;
        else if (name == "automation")
            options.automation = true;
        else if (name == "headless")
            options.headless = true;
        else if (name == "demo")
            options.demo = true;
        else if (name == "port" && !value->empty())
            options.port = *value;
        else if (name == "save-port" && !value->empty() && NamesPortBackend(*value)) {
            options.action = ProgramOptions::Action::SavePort;
            options.port = *value;
        } else if (name == "save-port")
            return refuse("--save-port \"" + *value +
                          "\" names no port: use auto, direct, /dev/parportN, sim, sim:FILE, sim-paced or "
                          "sim-paced:FILE");
        else if (name == "board-id" && IsValidBoardId(*value))
            options.boardId = *value;
        else if (name == "port")
            return refuse("--port needs a port, such as /dev/parport0 or sim:FILE");
        else if (name == "board-id")
            return refuse("--board-id " + QuotedBoardId(*value) +
                          " is no board id: use letters, digits, _ and - (no digit or - first), at most " +
                          std::to_string(kBoardIdLimit) + " characters");
        else if (name == "platform")
            options.qtPlatform = *value;
        else if (name == "display")
            options.qtDisplay = *value;
        else if (!Contains(kQtOptionsWithValue, name) && !Contains(kQtFlags, name))
            return refuse("unknown option " + argument);
    }
    return options;
}

std::string ProgramUsage() {
    return "Usage: tarsion [OPTIONS] [FILE]\n"
           "The bench program for the TRM90627 evaluation board.\n"
           "\n"
           "  --port PORT       the board: auto, direct, /dev/parportN, a base address's device,\n"
           "                    sim, sim:FILE, sim-paced or sim-paced:FILE (default: TARSION_PORT,\n"
           "                    else the Port setting, else auto); for this run only\n"
           "  --save-port PORT  store PORT as the Port setting, which D-Bus activation and a start\n"
           "                    without --port or TARSION_PORT use, and end\n"
           "  --board-id NAME   the board's name on the bus (com.tessaric.Tarsion.Board.NAME);\n"
           "                    default: from the port (parport0, sim-board for sim:board.txt)\n"
           "  --headless        serve automation without a window; the log goes to standard output\n"
           "  --demo            headless: demo mode when the board does not answer\n"
           "  --automation      started by D-Bus activation\n"
           "  --list-ports      list the parallel ports, whether they are usable and who holds them\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "Qt's own options (-platform NAME, -style NAME, ...) are taken as well.\n";
}

std::string UsageError(const std::string& error) {
    return "tarsion: " + error + "\nTry 'tarsion --help' for more information.\n";
}

std::string ProgramVersion() {
    return std::string("tarsion ") + TARSION_VERSION;
}

std::string ProgramVersionText() {
    return ProgramVersion() +
           "\nCopyright (C) 2026 Tessaric\n"
           "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

} // namespace tarsion
