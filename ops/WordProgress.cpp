#include "ops/WordProgress.h"

#include "ops/BoardOperations.h"

namespace tarsion {

CWordProgress::CWordProgress(CBoardOperations& ops, std::string task, std::size_t total, std::string unit)
    : ops_(ops), task_(std::move(task)), total_(total), unit_(std::move(unit)) {}

CWordProgress::~CWordProgress() {
    ops_.Prompt().EndProgress();
}

bool CWordProgress::Advance(std::size_t done) {
    if (cancelled_)
        return false;
    if (ops_.Prompt().ReportProgress(task_, done, total_))
        return true;
    cancelled_ = true;
    ops_.Log("Cancelled after " + std::to_string(done) + " of " + std::to_string(total_) + " " + unit_, 1);
    return false;
}

} // namespace tarsion
