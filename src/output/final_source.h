// The final phase: turns the intermediate listing into the result file (base name + ".asm").
// With the label file it starts with one equate per name; the listing follows in blocks of 128
// lines, each reference to a label inside an instruction rewritten as that instruction's label
// plus an offset, and an empty line after every jump, return and call. Then the temporary files
// are erased.
#pragma once

#include <string>

struct RunState;

constexpr int kBlockLineCount = 128;
constexpr char kResultExtension[] = ".asm";

// Writes the result file, erases the temporary files and reports "Done.".
void WriteFinalSource(RunState& state);

// Writes the equates at the top: those of the label file (with -l) and those of the user's
// names that no line carries, then an empty line; nothing when there are none of either.
void WriteEquates(RunState& state);

// Writes the equate lines of the label file (as LoadLabelNames read and measured it).
void WriteLabelEquates(RunState& state);
