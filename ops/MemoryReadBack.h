#pragma once

#include "LoadedMemories.h"

namespace tarsion {

class CBoardLink;
class CBoardOperations;

// How far reading a chip memory back got: whether MemoryControl took the read selection, and how
// many words were read (all of them when complete).
struct MemoryReadBack {
    bool selected = false;
    int read = 0;
};

// Read a RAM back the way the dumps do: MemoryControl selects it for reading (0x24 I, 0x28 Q,
// 0x30 constellation), every address is read in order, and MemoryControl is cleared once all were.
MemoryReadBack ReadCoefficientRam(CBoardLink& link, int which, CoefficientRamImage& words);
MemoryReadBack ReadConstellationRam(CBoardLink& link, ConstellationImage& entries);

// Reads a memory back and compares it with its last load, in the log and in the document.
class CMemoryVerifier {
public:
    explicit CMemoryVerifier(CBoardOperations& ops) : ops_(ops) {}
    VerifyReport Verify(ChipMemory memory);

private:
    bool CanVerify(bool loaded);
    VerifyReport VerifyCoefficients(int which);
    VerifyReport VerifyConstellation();
    VerifyReport Finish(ChipMemory memory, VerifyReport report);

    CBoardOperations& ops_;
};

} // namespace tarsion
