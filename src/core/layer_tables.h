// The tables of one layer at a time. The address table and the label bitmaps describe one picture
// of memory; an image with several layers (image_map.h) is analysed, and divided into data
// blocks, one layer after the other, and the tables of each are kept here for the listing.
#pragma once

struct RunState;

// Keeps the tables of the layer just done, when the image has several layers: the label bitmaps
// whole, the address table for the addresses of the layer's Code and Data regions (the only ones
// read once the layer is done).
void KeepLayer(RunState& state, int layer);

// Makes the kept tables of the layer the current ones, with its form of labels. Outside the
// layer's Code and Data regions the address table keeps what it held.
void SwitchToLayer(RunState& state, int layer);
