// Analysis passes that replay the pass before. Every pass after the first walks the image as the
// one before it did, and decides afresh only the instructions whose surroundings (code or data,
// entry points) have changed since; the rest it steps over in one go. The result is the one that
// decoding the whole image in every pass gives, to the bit, including which addresses were last
// seen as operands; an image that needs thousands of passes takes milliseconds.
#pragma once

#include <cstdint>
#include <vector>

#include "core/run_state.h"
#include "engine/step_decoding.h"

struct RunState;
struct PastTop;

// What a whole pass over the region leaves for the replayed passes after it, so that the first
// of them steps over what repeats as every later one does: the pass's steps and which of them
// were accepted, the code marks and entry points of the address table as it began (a bit per
// address each), the operand addresses it named for the first time, and whether it ended early,
// at lastStep.
struct PassTrace {
    std::vector<uint64_t> steps, accepted;
    std::vector<uint64_t> codeBefore, entryBefore;
    std::vector<uint16_t> newCodeRefs;
    bool ended = false;
    int64_t lastStep = -1;

    void Step(int64_t address, bool isAccepted) {
        const uint64_t bit = uint64_t{1} << (address & 63);
        steps[static_cast<size_t>(address >> 6)] |= bit;
        if (isAccepted) accepted[static_cast<size_t>(address >> 6)] |= bit;
    }
};

// Starts a trace of the pass about to run over the open image: takes the address table as it
// stands.
void StartPassTrace(const RunState& state, PassTrace& trace);

// True when the current region starts within $0000-$FFFF and either ends within it or, past it,
// its first instruction cannot change more than referencedMap (top, past_top.h).
bool CanReplayPasses(const RunState& state, const PastTop* top = nullptr);

// Runs the passes over the current region of the open image, the only Code region of its layer
// (one "." on the console per pass); top tells what they do past $FFFF, for a region that runs
// past it; trace, when given, is that of the whole pass just run over the region. firstIsEntry:
// each pass makes the region's first byte an entry point (otherwise the region starts above
// $0000).
void RunReplayedPasses(RunState& state, const OpcodeShapes& shapes, const PastTop* top = nullptr,
                       const PassTrace* trace = nullptr, bool firstIsEntry = true);
