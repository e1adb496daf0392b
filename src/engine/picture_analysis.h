// The analysis of an Atari file's pictures of memory (core/image_map.h): each picture, in the
// order they run, analysed as one image from the entry points of its moment; the data the
// machine reads that their code points at held as data, and the pictures analysed again until
// none is new; the cells and labels each keeps for the listing.
#pragma once

#include "core/run_state.h"
#include "engine/step_decoding.h"

// Analyses the pictures of state.image (the image open) and leaves the tables of the first layer
// current. byText: every instruction decoded through its text, by whole passes read from the file
// (the reference the tests hold the quicker ways to).
void AnalysePictures(RunState& state, const OpcodeShapes& shapes, bool byText);
