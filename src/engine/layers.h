// The tables of one layer at a time. The address table and the label bitmaps describe one picture
// of memory; an image with several layers (image_map.h) is analysed, and divided into data
// blocks, one layer after the other, and the tables of each are kept for the listing.
#pragma once

#include <cstdint>
#include <string>

struct RunState;
struct Region;

// Sets the tables up for the layer: fresh start values, then the layer's own facts (bytes that
// are words or data by their place become data, run and init addresses and vectors become
// entry points: labelled code in a disassembly, byte blocks in the data-block mode), then the
// block options again, which win over the facts.
void PrepareLayer(RunState& state, int layer);

// Keeps the tables of the layer just done, when the image has several layers: the label bitmaps
// whole, the address table for the addresses of the layer's Code and Data regions (the only ones
// read once the layer is done).
void KeepLayer(RunState& state, int layer);

// Makes the kept tables of the layer the current ones, with its form of labels. Outside the
// layer's Code and Data regions the address table keeps what it held.
void SwitchToLayer(RunState& state, int layer);

// The operand of an address word: the label of the address it holds when that label is written
// in the listing, its number otherwise.
std::string WordOperand(const RunState& state, const Region& region);
