#pragma once

#include <cstddef>
#include <string>

namespace tarsion {

class CBoardOperations;

// The progress of one load or dump, reported to the user word by word; the user may cancel it. A
// cancelled operation stops after the word in hand and fails as it would have failed at that word,
// with one log line saying how far it got.
class CWordProgress {
public:
    // `unit` names what is counted in the log line ("words", "registers").
    CWordProgress(CBoardOperations& ops, std::string task, std::size_t total, std::string unit = "words");
    ~CWordProgress();
    CWordProgress(const CWordProgress&) = delete;
    CWordProgress& operator=(const CWordProgress&) = delete;

    // After `done` of the total: false when the user cancelled, once the line
    // "Cancelled after <done> of <total> <unit>" has been logged at indent 1.
    bool Advance(std::size_t done);
    bool Cancelled() const { return cancelled_; }

private:
    CBoardOperations& ops_;
    std::string task_;
    std::size_t total_;
    std::string unit_;
    bool cancelled_ = false;
};

} // namespace tarsion
