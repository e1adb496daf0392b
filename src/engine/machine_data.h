// Data that the machine itself reads, found where the code points the machine at it: a display
// list stored into SDLSTL/SDLSTH or DLISTL/DLISTH is decoded by ANTIC's instruction set (blank
// lines, mode lines, load-memory-scan with its address, jump and jump-and-wait-for-vertical-blank
// with theirs); the targets of its load-memory-scan instructions are screen memory, as many bytes
// as its mode lines show, and the target of a jump is more display list. A page stored into CHBAS
// or CHBASE is a character set of 1 KB. All of it is data that holds in every pass, with labels
// on the display lists, the screens and the character set.
#pragma once

#include <vector>

#include "core/run_state.h"
#include "engine/program_vectors.h"

// The stretches of the picture's Code regions that hold such data (to be cut out with HoldRanges),
// for the pointers the picture's code stores; adds their labels to the picture's labels. True in
// added when a label is new.
std::vector<HeldRange> FindMachineData(RunState& state, Picture& picture,
                                       const StoredPointers& stores, bool& added);

// The length of the ANTIC instruction that starts with the byte: 1, or 3 with an address.
int DisplayListStep(uint8_t instruction);
