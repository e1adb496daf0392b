// Analysis passes that replay the pass before. Every pass after the first walks the image as the
// one before it did, and decides afresh only the instructions whose surroundings (code or data,
// entry points) have changed since; the rest it steps over in one go. The result is the one that
// decoding the whole image in every pass gives, to the bit, including which addresses were last
// seen as operands; an image that needs thousands of passes takes milliseconds.
#pragma once

#include "engine/step_decoding.h"

struct RunState;

// True when the current region lies within $0000-$FFFF, as the replay needs.
bool CanReplayPasses(const RunState& state);

// Runs the passes over the current region of the open image, the only Code region of its layer
// (one "." on the console per pass).
void RunReplayedPasses(RunState& state, const OpcodeShapes& shapes);
