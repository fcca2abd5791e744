#include "app/StreamUserPrompt.h"

#include <QCoreApplication>

#include <ostream>

namespace tarsion {

namespace {
// As often as the window's progress dialog lets events through.
constexpr int kEventsEveryMs = 20;
} // namespace

void CStreamUserPrompt::ShowMessage(std::string_view text) {
    out_ << "tarsion: " << text << std::endl;
}

bool CStreamUserPrompt::AskYesNo(std::string_view title, std::string_view text) {
    out_ << "tarsion: " << title;
    if (text != title)
        out_ << ": " << text;
    out_ << " NO" << std::endl;
    return false;
}

bool CStreamUserPrompt::ReportProgress(std::string_view, std::size_t, std::size_t) {
    if (!sinceEvents_.isValid()) {
        sinceEvents_.start();
    } else if (sinceEvents_.elapsed() >= kEventsEveryMs) {
        // Between two words: calls that arrive now wait in line for the load to end.
        QCoreApplication::processEvents();
        sinceEvents_.start();
    }
    return !cancelled_;
}

void CStreamUserPrompt::EndProgress() {
    sinceEvents_.invalidate();
}

} // namespace tarsion
