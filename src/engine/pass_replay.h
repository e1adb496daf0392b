// Analysis passes that replay the pass before. Every pass after the first walks the image as the
// one before it did, and decides afresh only the instructions whose surroundings (code or data,
// entry points) have changed since; the rest it steps over in one go. The result is the one that
// decoding the whole image in every pass gives, to the bit, including which addresses were last
// seen as operands; an image that needs thousands of passes takes milliseconds.
#pragma once

#include "engine/step_decoding.h"

struct RunState;
struct PastTop;

// True when the current region starts within $0000-$FFFF and either ends within it or, past it,
// its first instruction cannot change more than referencedMap (top, past_top.h).
bool CanReplayPasses(const RunState& state, const PastTop* top = nullptr);

// Runs the passes over the current region of the open image, the only Code region of its layer
// (one "." on the console per pass); top tells what they do past $FFFF, for a region that runs
// past it.
void RunReplayedPasses(RunState& state, const OpcodeShapes& shapes, const PastTop* top = nullptr);
