// Console output: every line ends CR LF, and on a terminal text without a line end is flushed at
// once so the user sees progress while the next step works.
#pragma once

#include <string_view>

struct RunState;

// Writes text without a line end; flushes it when the console is a terminal.
void ConsoleWrite(RunState& state, std::string_view text);

// Writes text followed by CR LF.
void ConsoleLine(RunState& state, std::string_view text);

// Ends the open console line, if any, so the next text starts on a line of its own.
void ConsoleEndOpenLine(RunState& state);
