#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

namespace tarsion::test {

// Points HOME and the XDG user folders at a scratch folder of this process, so that what runs the
// program's standard start-up (settings, the D-Bus activation file) never touches the user's own
// files. Call once, before the application object exists; the folder goes when the process ends.
inline void UsePrivateUserFolders() {
    struct ScratchHome {
        ScratchHome() {
            std::string pattern = (std::filesystem::temp_directory_path() / "tarsion-home-XXXXXX").string();
            if (!::mkdtemp(pattern.data()))
                std::abort();
            path = pattern;
        }
        ~ScratchHome() {
            std::error_code error;
            std::filesystem::remove_all(path, error);
        }
        std::filesystem::path path;
    };
    static const ScratchHome scratch;
    const std::filesystem::path& home = scratch.path;
    ::setenv("HOME", home.c_str(), 1);
    for (const auto& [variable, folder] :
         {std::pair{"XDG_CONFIG_HOME", ".config"}, std::pair{"XDG_DATA_HOME", ".local/share"},
          std::pair{"XDG_CACHE_HOME", ".cache"}, std::pair{"XDG_STATE_HOME", ".local/state"}})
        ::setenv(variable, (home / folder).c_str(), 1);
}

} // namespace tarsion::test
