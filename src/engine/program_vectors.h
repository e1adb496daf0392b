// What a program tells the machine through its pointers. Above all, entry points that it sets up
// itself: the address of an interrupt or DOS routine that its code stores into an operating-system
// vector, the usual way of installing one; also where its display list and character set are.
// Recognised forms, in straight-line code:
//   lda #<X / sta V / lda #>X / sta V+1   (either half first; ldx/stx and ldy/sty alike)
//   ldy #<X / ldx #>X / lda #n / jsr SETVBV
// where V is one of the vectors of $0200-$0217, VVBLKI, VVBLKD, CDTMA1, CDTMA2, DOSVEC, DOSINI,
// CASINI or a RAM copy of the NMI, RESET and IRQ words at $FFFA-$FFFF.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/run_state.h"

// What an opcode does to the scan, worked out once per run from its pattern.
struct VectorStep {
    enum Effect : uint8_t { LoadImmediate, Store, Call, Flow, Neutral, Other } effect = Other;
    char reg = 0;        // 'a', 'x' or 'y' for loads and stores
    uint8_t length = 1;  // of the instruction
    bool defined = false;
    // A copy loop's parts: lda Q,x (or ,y), sta Q,x (or ,y), cpx #N (or cpy); the index register.
    enum Copy : uint8_t { NoCopy, CopyLoad, CopyStore, CopyCount } copy = NoCopy;
    char index = 0;
};
using VectorSteps = std::array<VectorStep, 256>;

VectorSteps VectorStepsOfTable(const RunState& state);

// What the code of a picture stores into the machine's pointers, read from straight-line code as
// above: routines (the vectors), display lists (SDLSTL/SDLSTH, DLISTL/DLISTH) and character sets
// (a page stored into CHBAS or CHBASE), in the order met; and the copy loops of the code.
struct StoredPointers {
    enum Kind { None, Routine, DisplayList };
    std::vector<int64_t> routines, displayLists, fonts;
    // Copy loops (lda SOURCE,x / sta TARGET,x, and the count of a cpx #N that follows within a
    // few instructions; 0 when none does).
    struct Copy {
        int64_t source, target, count;
    };
    std::vector<Copy> copies;
};
StoredPointers FindStoredPointers(RunState& state, const Picture& picture,
                                  const VectorSteps& steps);

// Makes each routine the picture's code installs (StoredPointers::routines), where the picture
// holds code, a labelled entry point. True when one is new: the passes must run again.
bool AddRoutines(RunState& state, const Picture& picture, const std::vector<int64_t>& routines);
