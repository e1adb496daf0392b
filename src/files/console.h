// The console: standard output unless a test points it elsewhere. Every line ends CR LF, and on
// a terminal text without a line end is flushed at once so the user sees progress while the next
// step works.
#pragma once

#include <cstdio>
#include <string_view>

struct Console {
    std::FILE* out = stdout;
    bool lineOpen = false;  // text without a line end was written last
    int terminal = -1;      // whether out is a terminal; -1 not asked yet
};

// Writes text without a line end; flushes it when the console is a terminal.
void ConsoleWrite(Console& console, std::string_view text);

// Writes text followed by CR LF.
void ConsoleLine(Console& console, std::string_view text);

// Ends the open console line, if any, so the next text starts on a line of its own.
void ConsoleEndOpenLine(Console& console);
