// The line writers of the output file. They write only in phase 2, so callers never test
// the phase themselves.
#pragma once

#include <string_view>

struct RunState;

// Writes the text and a line end to the output file in phase 2; does nothing in other phases.
void WriteAsmLine(RunState& state, std::string_view text);

// The first lines of a result: "opt h-", then each line the instruction set asks for.
void WriteResultOpening(RunState& state);

// Ends the open data line of the listing (a closing quote first in string style) and marks it
// closed; does nothing when none is open.
void CloseDataLine(RunState& state);
