#pragma once

#include "LoadedMemories.h"

namespace tarsion {

class CBoardOperations;

// Read a RAM back the way the dumps do: MemoryControl selects it for reading (0x24 I, 0x28 Q,
// 0x30 constellation), every address is read in order, and MemoryControl is cleared once all were.
// False when a step failed; the failure is logged at indent 1.
bool ReadCoefficientRam(CBoardOperations& ops, int which, CoefficientRamImage& words);
bool ReadConstellationRam(CBoardOperations& ops, ConstellationImage& entries);

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
