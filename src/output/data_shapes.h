// How the listing writes the data the machine reads (engine/machine_data.h): a display list one
// ANTIC instruction a line with its address words as labels, and screen memory in string style
// as text in the internal character code.
#pragma once

#include "core/run_state.h"

// Writes the display list region, the image positioned at its first byte.
void ListDisplayList(RunState& state, const Region& region);

// Writes the screen memory region in string style, the image positioned at its first byte.
void ListScreenText(RunState& state, const Region& region);
