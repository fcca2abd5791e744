#include "ops/BoardStack.h"

#include <utility>

namespace tarsion {

CBoardStack::CBoardStack(std::unique_ptr<IPortBackend> port, ISteadyClock& clock, IUserPrompt& prompt,
                         InspectionFiles files)
    : link_(doc_.Shadow(), log_, std::move(port), clock), ops_(link_, doc_, log_, prompt) {
    ops_.SetInspectionFiles(files);
}

} // namespace tarsion
