// The data-block mode (-d): the whole image as dta lines, split into blocks at the entry points
// that the block options give. A block of kind 'W' is a table of address words written as label
// references, and every address in such a table starts a further block with its own label.
#pragma once

struct RunState;

// Reads the image twice (table targets, then writing) and writes base name + ".asm".
void WriteDataBlock(RunState& state);
