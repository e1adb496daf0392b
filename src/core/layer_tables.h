// The tables of one layer at a time. The address table and the label bitmaps describe one picture
// of memory; an image with several layers (image_map.h) is analysed, and divided into data
// blocks, in parts, and what each part decides for a layer's regions is kept here for the
// listing, which then works on one layer at a time again.
#pragma once

#include <cstdint>

struct RunState;

// Sets up empty kept tables for every layer: each region's cells data, no labels.
void StartKeptLayers(RunState& state);

// Keeps the cells of the region (a Code or Data region) as the address table holds them.
void KeepRegionCells(RunState& state, int region);

// Adds the label targets of the region's addresses to its layer's labels.
void KeepRegionLabels(RunState& state, int region);

// Puts each layer's labels in order, once every part is kept.
void FinishKeptLayers(RunState& state);

// Keeps the tables of the layer just done, when the image has several layers: its labels, and
// the address table for the addresses of the layer's Code and Data regions (the only ones read
// once the layer is done).
void KeepLayer(RunState& state, int layer);

// Makes the kept tables of the layer the current ones, with its form of labels. Outside the
// layer's Code and Data regions the address table keeps what it held, and the bitmaps hold no
// label.
void SwitchToLayer(RunState& state, int layer);

// True when the address carries a label in the layer: the current tables for the current layer,
// the kept ones for another.
bool IsLabelInLayer(const RunState& state, int layer, int64_t address);
