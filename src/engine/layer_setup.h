// Setting the tables up for a layer: the facts that the image and the user give about its
// addresses before the analysis (or the data-block mode) works on it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/run_state.h"

// Sets the tables up for the layer: fresh start values, then the layer's own facts (bytes that
// are words or data by their place become data, run and init addresses and vectors become
// entry points: labelled code in a disassembly, byte blocks in the data-block mode), then the
// block options again, which win over the facts.
void PrepareLayer(RunState& state, int layer);

// Sets the tables up for the picture (image_map.h): fresh start values; its Data and Words
// regions data; where a region follows no byte the picture holds, the address before it data
// too, so that only an entry point starts code there (unless the picture's regions start code
// by themselves); then its entry points: its own, those carried from the pictures before it
// (carried, per region), and the block options it takes.
void PreparePicture(RunState& state, const Picture& picture,
                    const std::vector<std::vector<int64_t>>& carried);

// Puts a block option into the tables: what -bc, -bd, -bac or -bad does to its address.
void ApplyBlockHint(RunState& state, const BlockHint& hint);
