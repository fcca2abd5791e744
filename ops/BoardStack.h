#pragma once

#include "board/BoardLink.h"
#include "board/PortBackend.h"
#include "board/SteadyClock.h"
#include "ops/BoardOperations.h"
#include "ops/TarsionDoc.h"
#include "ops/UserPrompt.h"

#include <memory>

namespace tarsion {

// One board as the program works it: the document, the board link over a port backend, and the
// operation layer that reaches the user through `prompt`. Made in this one place for the program,
// the private board, the tests and the benchmarks. The clock and the prompt belong to the caller
// and outlive the stack.
class CBoardStack {
public:
    CBoardStack(std::unique_ptr<IPortBackend> port, ISteadyClock& clock, IUserPrompt& prompt);
    CBoardStack(const CBoardStack&) = delete;
    CBoardStack& operator=(const CBoardStack&) = delete;

    CTarsionDoc& Doc() { return doc_; }
    const CTarsionDoc& Doc() const { return doc_; }
    CBoardLink& Link() { return link_; }
    CBoardOperations& Ops() { return ops_; }
    IUserPrompt& Prompt() { return ops_.Prompt(); }

private:
    CTarsionDoc doc_;
    CBoardLink link_;
    CBoardOperations ops_;
};

} // namespace tarsion
