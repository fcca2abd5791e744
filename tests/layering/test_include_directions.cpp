// Reads every #include of the sources, tests and benchmarks and holds them to the layering: each
// folder includes only the folders below it, below the widgets nothing but the standard library
// and the system, automation no widgets, and every project header is spelled "folder/File.h".

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The folders each library folder may include, itself among them.
const std::map<std::string, std::set<std::string>> kAllowed = {
    {"base", {"base"}},
    {"board", {"base", "board"}},
    {"ops", {"base", "board", "ops"}},
    {"registers", {"base", "board", "ops", "registers"}},
    {"signal", {"base", "board", "ops", "signal"}},
    {"pages", {"base", "board", "ops", "registers", "signal", "pages"}},
    {"views", {"base", "board", "ops", "registers", "signal", "views"}},
    {"automation", {"base", "board", "ops", "registers", "signal", "automation"}},
    {"app", {"base", "board", "ops", "registers", "signal", "pages", "views", "automation", "app"}},
    {"script", {"base", "board", "script"}},
};

// Below the widgets: the C++ standard library, these system headers and the named libraries.
const std::set<std::string> kSystemHeaders = {"unistd.h", "fcntl.h", "pwd.h",    "signal.h", "stdint.h",
                                              "errno.h",  "poll.h",  "dirent.h", "time.h"};
const std::map<std::string, std::set<std::string>> kLibraryHeaders = {{"signal", {"fftw3.h"}},
                                                                      {"ops", {"zlib.h"}}};
const std::set<std::string> kStandardLibraryOnly = {"base", "board", "ops", "registers", "signal"};

struct Include {
    std::string file; // relative to the source root
    int line = 0;
    bool quoted = false;
    std::string path;
};

std::vector<Include> ReadIncludes(const fs::path& root, const fs::path& file) {
    static const std::regex directive(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> found;
    std::ifstream in(file);
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        std::smatch m;
        if (std::regex_search(text, m, directive))
            found.push_back({fs::relative(file, root).generic_string(), number, m[1] == "\"", m[2]});
    }
    return found;
}

std::vector<fs::path> Sources(const fs::path& root) {
    std::vector<fs::path> files;
    std::vector<std::string> tops;
    for (const auto& [folder, allowed] : kAllowed)
        tops.push_back(folder);
    tops.insert(tops.end(), {"tests", "bench"});
    for (const std::string& top : tops) {
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp"))
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string FirstComponent(const std::string& path) {
    return path.substr(0, path.find('/'));
}

bool IsStandardLibraryHeader(const std::string& path) {
    return !path.empty() &&
           std::all_of(path.begin(), path.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '_'; });
}

bool IsSystemHeader(const std::string& path) {
    return kSystemHeaders.count(path) > 0 || path.rfind("sys/", 0) == 0 || path.rfind("linux/", 0) == 0;
}

// What is wrong with one include, or empty.
std::string Fault(const fs::path& root, const Include& inc) {
    const std::string folder = FirstComponent(inc.file);
    const bool library = kAllowed.count(folder) > 0;
    if (inc.path.find("..") != std::string::npos)
        return "climbs out of its folder";
    if (inc.quoted) {
        if (inc.path.size() > 4 && inc.path.compare(inc.path.size() - 4, 4, ".moc") == 0)
            return {};
        const std::string target = FirstComponent(inc.path);
        // A header the build writes from the interface descriptions lies in the build tree.
        const bool projectHeader = kAllowed.count(target) > 0 &&
                                   (fs::is_regular_file(root / inc.path) ||
                                    fs::is_regular_file(fs::path(TARSION_GENERATED_DIR) / target / inc.path));
        if (library) {
            if (!projectHeader)
                return "a project header is spelled \"folder/File.h\"";
            if (kAllowed.at(folder).count(target) == 0)
                return folder + "/ may not include " + target + "/";
            return {};
        }
        // Tests and benchmarks may include any library, and their own helpers by their own path.
        const fs::path own = root / fs::path(inc.file).parent_path() / inc.path;
        if (!projectHeader && !fs::is_regular_file(own) && !fs::is_regular_file(root / "tests" / inc.path))
            return "no such header";
        if (projectHeader && target == "tests")
            return "test helpers are not reached through the source root";
        return {};
    }
    if (!library)
        return {};
    if (kStandardLibraryOnly.count(folder)) {
        const auto extra = kLibraryHeaders.find(folder);
        if (IsStandardLibraryHeader(inc.path) || IsSystemHeader(inc.path) ||
            (extra != kLibraryHeaders.end() && extra->second.count(inc.path)))
            return {};
        return folder + "/ uses the standard library and the system only";
    }
    if (folder == "automation" && inc.path[0] == 'Q') {
        const fs::path qt = TARSION_QT_HEADERS;
        for (const char* module : {"QtWidgets", "QtGui"}) {
            if (inc.path.rfind(std::string(module) + "/", 0) == 0 || fs::exists(qt / module / inc.path))
                return "automation/ uses no widgets";
        }
    }
    return {};
}

TEST(IncludeDirections, EveryIncludePointsDownAndIsSpelledFromTheRoot) {
    const fs::path root = TARSION_SOURCE_DIR;
    std::vector<std::string> faults;
    std::size_t count = 0;
    for (const fs::path& file : Sources(root)) {
        for (const Include& inc : ReadIncludes(root, file)) {
            ++count;
            const std::string fault = Fault(root, inc);
            if (!fault.empty())
                faults.push_back(inc.file + ":" + std::to_string(inc.line) + ": " + inc.path + ": " + fault);
        }
    }
    EXPECT_GT(count, 1000u) << "the sources were not found under " << root;
    std::string report;
    for (const std::string& fault : faults)
        report += fault + "\n";
    EXPECT_TRUE(faults.empty()) << report;
}

// The rules themselves, on includes planted in each direction.
TEST(IncludeDirections, PlantedForbiddenIncludesAreFound) {
    const fs::path root = TARSION_SOURCE_DIR;
    const std::vector<Include> forbidden = {
        {"ops/BoardOperations.cpp", 1, true, "app/MainFrame.h"},
        {"ops/BoardOperations.cpp", 1, true, "registers/RegisterJournal.h"},
        {"board/BoardLink.cpp", 1, true, "ops/TarsionDoc.h"},
        {"pages/RegisterPage.cpp", 1, true, "views/PatternView.h"},
        {"views/PatternView.cpp", 1, true, "automation/AutomationServer.h"},
        {"automation/AutomationServer.cpp", 1, true, "pages/RegisterPage.h"},
        {"registers/RegisterSnapshot.cpp", 1, true, "signal/SignalAnalysis.h"},
        {"script/main.cpp", 1, true, "ops/BoardOperations.h"},
        {"board/BoardLink.cpp", 1, true, "BoardLink.h"},
        {"ops/Console.cpp", 1, true, "../board/BoardLink.h"},
        {"ops/Console.cpp", 1, false, "QString"},
        {"registers/RegisterSnapshot.cpp", 1, false, "QtCore/QString"},
        {"board/BoardLink.cpp", 1, false, "fftw3.h"},
        {"signal/FftwTransform.cpp", 1, false, "dbus/dbus.h"},
        {"automation/AutomationServer.cpp", 1, false, "QWidget"},
        {"automation/AutomationServer.cpp", 1, false, "QtWidgets/QMessageBox"},
        {"tests/ops/test_console.cpp", 1, true, "NoSuchHelper.h"},
    };
    for (const Include& inc : forbidden)
        EXPECT_FALSE(Fault(root, inc).empty()) << inc.file << " including " << inc.path;

    const std::vector<Include> allowed = {
        {"app/MainFrame.cpp", 1, true, "views/SignalViewMenu.h"},
        {"signal/FftwTransform.cpp", 1, false, "fftw3.h"},
        {"board/PpdevBackend.cpp", 1, false, "linux/ppdev.h"},
        {"automation/BusConnection.cpp", 1, false, "QSocketNotifier"},
        {"tests/app/test_main_window.cpp", 1, true, "AppTestSupport.h"},
        {"tests/app/test_main_window.cpp", 1, true, "support/LogView.h"},
    };
    for (const Include& inc : allowed)
        EXPECT_EQ(Fault(root, inc), "") << inc.file << " including " << inc.path;
}

} // namespace
