// Setting the tables up for a layer: the facts that the image and the user give about its
// addresses before the analysis (or the data-block mode) works on it.
#pragma once

#include "core/run_state.h"

// Sets the tables up for the layer: fresh start values, then the layer's own facts (bytes that
// are words or data by their place become data, run and init addresses and vectors become
// entry points: labelled code in a disassembly, byte blocks in the data-block mode), then the
// block options again, which win over the facts.
void PrepareLayer(RunState& state, int layer);

// Puts a block option into the tables: what -bc, -bd, -bac or -bad does to its address.
void ApplyBlockHint(RunState& state, const BlockHint& hint);
