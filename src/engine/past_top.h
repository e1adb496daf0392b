// The bytes of an image that lie past $FFFF. The tables have no place for them, so every step
// the passes take there reads them as data that no entry point names: from $10003 on, every
// instruction is rejected (the byte before it is no code) and every undefined opcode marks
// nothing. Those steps then only write referencedMap: each records its operand value and, once
// rejected, clears the bit of its operand number unless an accepted instruction has named it.
// That is the same list of writes in every pass; it is worked out once, and a pass applies its
// outcome in one sweep over the bitmap instead of walking the bytes again. Only the steps at
// $10000-$10002, where an instruction right after code at $FFFF can still be accepted, are
// walked by the byte rule.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/step_decoding.h"

struct RunState;
struct Region;

// Where the steps that a pass takes the same way every time begin.
constexpr int64_t kSameEveryPassFrom = 0x10003;

struct PastTop {
    bool present = false;  // the region holds addresses from kSameEveryPassFrom on
    int64_t from = 0;      // its first such address: the first step taken there
    // Whether the instruction at $10000, if a pass accepts it, changes nothing but referencedMap
    // (no jump target and no operand number inside $0000-$FFFF).
    bool quietAtTop = true;
    // The writes of the steps from `from` on, as bitmaps in referencedMap's layout: the bits they
    // write, those some step sets, and those whose last write is a set.
    std::vector<uint64_t> written, setSome, setLast;
    std::vector<uint32_t> words;  // the words of written that are not zero
    // The bits that the steps at $10000-$10002 can write (their operand values and operand
    // numbers within $0000-$FFFF). Which of those steps a pass takes, and whether it goes on to
    // `from`, depends on where its walk leaves $FFFF and on the code mark of $FFFF.
    std::vector<uint16_t> nearTopBits;
};

// Works out what the passes do past $FFFF in the current region (nothing when it ends before).
PastTop StudyPastTop(RunState& state, const OpcodeShapes& shapes);

// Applies the writes of the steps from top.from on, as a pass that reaches that step makes them.
void ApplyPastTop(RunState& state, const PastTop& top);
