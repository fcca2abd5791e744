#include "ops/BoardStack.h"

#include <utility>

namespace tarsion {

CBoardStack::CBoardStack(std::unique_ptr<IPortBackend> port, ISteadyClock& clock, IUserPrompt& prompt)
    : link_(doc_.Shadow(), doc_, std::move(port), clock), ops_(link_, doc_, prompt) {}

} // namespace tarsion
