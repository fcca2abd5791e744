#pragma once

#include <cstdint>

namespace tarsion::test {

// Every test in every test program runs under a check that no virtual board saw a breach of the
// byte-cycle protocol. A test that breaches it on purpose declares how many breaches it makes.
void ExpectProtocolViolations(std::uint64_t count);

} // namespace tarsion::test
