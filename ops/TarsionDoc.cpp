#include "ops/TarsionDoc.h"

#include "base/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tarsion {

namespace {
constexpr const char* kRecordingHeader = "var WshShell = WScript.CreateObject(\"WScript.Shell\");\n"
                                         "var Tarsion = WScript.CreateObject(\"Trm90627\");\n"
                                         "\nvar Data;";
} // namespace

CTarsionDoc::CTarsionDoc() {
    shadow_.SetChangeHandler([this] { UpdateAllViews(); });
}

CTarsionDoc::~CTarsionDoc() {
    StopRecording();
}

void CTarsionDoc::AddObserver(IDocumentObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void CTarsionDoc::RemoveObserver(IDocumentObserver* observer) {
    // While views are told, a removed view's place is emptied rather than closed, for the loop's sake.
    if (telling_ > 0)
        std::replace(observers_.begin(), observers_.end(), observer,
                     static_cast<IDocumentObserver*>(nullptr));
    else
        std::erase(observers_, observer);
}

// A view may add or remove views (a tab switch destroys the page) while it is told: a removed view
// is not told, an added one is told from the next change on. Nothing is copied: the document
// changes thousands of times a second under a script.
template <typename Tell>
void CTarsionDoc::TellViews(Tell tell) {
    ++telling_;
    const std::size_t count = observers_.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (IDocumentObserver* view = observers_[i])
            tell(*view);
    }
    if (--telling_ == 0)
        std::erase(observers_, nullptr);
}

void CTarsionDoc::UpdateAllViews() {
    TellViews([](IDocumentObserver& view) { view.OnDocumentUpdate(); });
    if (holds_ > 0)
        changedWhileHeld_ = true;
    else
        SettleViews(false);
}

void CTarsionDoc::ReleaseViews() {
    if (--holds_ > 0 || !changedWhileHeld_)
        return;
    changedWhileHeld_ = false;
    SettleViews(true);
}

void CTarsionDoc::SettleViews(bool operationEnded) {
    TellViews([operationEnded](IDocumentObserver& view) { view.OnDocumentSettled(operationEnded); });
}

void CTarsionDoc::LogLine(std::string_view text, int indent) {
    pendingLog_.clear();
    if (indent > 0)
        pendingLog_.append(static_cast<std::size_t>(indent), '\t');
    pendingLog_.append(text);
    pendingLog_.append("\r\n");
    UpdateAllViews();
    pendingLog_.clear();
}

void CTarsionDoc::RecordLine(std::string_view text) {
    if (recording_ < 0)
        return;
    std::string record = "\n";
    record.append(text);
    // Unbuffered, so that a crash keeps every line recorded so far.
    if (WriteAll(recording_, record))
        return;
    const std::string message =
        "Recording stopped: couldn't write " + recordingPath_ + " (" + std::strerror(errno) + ")";
    StopRecording();
    LogLine(message, 0);
    if (recordingFailed_)
        recordingFailed_(message);
}

bool CTarsionDoc::StartRecording(const std::string& path) {
    // Only a regular file: a FIFO would block the program in open().
    std::string error;
    const int fd = OpenRegularFileForWriting(path, error);
    if (fd < 0)
        return false;
    if (!WriteAll(fd, kRecordingHeader)) {
        ::close(fd);
        return false;
    }
    StopRecording();
    recording_ = fd;
    recordingPath_ = path;
    companionFiles_ = 0;
    return true;
}

void CTarsionDoc::StopRecording() {
    if (recording_ < 0)
        return;
    ::close(recording_);
    recording_ = -1;
    recordingPath_.clear();
}

std::string CTarsionDoc::CompanionFileName(const std::string& suffix) {
    std::string base = recordingPath_;
    if (base.size() > 3 && base.ends_with(".js"))
        base.resize(base.size() - 3);
    return base + "_" + std::to_string(++companionFiles_) + suffix;
}

std::string CTarsionDoc::LoadedFileName(ChipMemory memory) const {
    std::string name;
    switch (memory) {
    case ChipMemory::CoefficientI:
        name = loaded.Coefficients(0) ? coefficientI.fileName : "";
        break;
    case ChipMemory::CoefficientQ:
        name = loaded.Coefficients(1) ? coefficientQ.fileName : "";
        break;
    case ChipMemory::Constellation:
        name = loaded.Constellation() ? constellationFile : "";
        break;
    case ChipMemory::Pattern:
        if (loaded.Pattern() && loaded.Pattern()->generated)
            return "the generated pattern";
        name = loaded.Pattern() ? pattern.fileName : "";
        break;
    }
    if (name == kUnknownFile)
        return {};
    const std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

void CTarsionDoc::ResetLoadSettings() {
    coefficientI = CoefficientSettings{};
    coefficientQ = CoefficientSettings{};
    constellationFile = kUnknownFile;
    pattern = PatternSettings{};
}

} // namespace tarsion
