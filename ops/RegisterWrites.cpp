#include "ops/RegisterWrites.h"

#include <map>

namespace tarsion {

namespace {

struct WriteHooks {
    IRegisterWriteObserver* observer = nullptr;
    WriteSource source = WriteSource::Page;
};

// Kept beside the operation layer rather than in it, so that the layer's interface stays as it is;
// one thread reaches it.
std::map<const CBoardOperations*, WriteHooks>& Hooks() {
    static std::map<const CBoardOperations*, WriteHooks> hooks;
    return hooks;
}

// An entry that says nothing goes, so a later layer at the same address starts clean.
void Tidy(const CBoardOperations& ops) {
    const auto found = Hooks().find(&ops);
    if (found != Hooks().end() && !found->second.observer && found->second.source == WriteSource::Page)
        Hooks().erase(found);
}

} // namespace

void SetRegisterWriteObserver(const CBoardOperations& ops, IRegisterWriteObserver* observer) {
    Hooks()[&ops].observer = observer;
    Tidy(ops);
}

CWriteSourceScope::CWriteSourceScope(const CBoardOperations& ops, WriteSource source)
    : ops_(ops), saved_(Hooks()[&ops].source) {
    Hooks()[&ops].source = source;
}

CWriteSourceScope::~CWriteSourceScope() {
    Hooks()[&ops_].source = saved_;
    Tidy(ops_);
}

void NoteRegisterWrite(const CBoardOperations& ops, bool console, RegisterWrite write) {
    const auto found = Hooks().find(&ops);
    if (found == Hooks().end() || !found->second.observer)
        return;
    write.source = console ? WriteSource::Console : found->second.source;
    found->second.observer->OnRegisterWrite(write);
}

} // namespace tarsion
