#include "driver/console.h"

#include <cstdio>

#include "driver/run_state.h"

void ConsoleWrite(RunState& state, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), state.console);
    std::fflush(state.console);
    if (!text.empty()) state.consoleLineOpen = true;
}

void ConsoleLine(RunState& state, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), state.console);
    std::fwrite("\r\n", 1, 2, state.console);
    std::fflush(state.console);
    state.consoleLineOpen = false;
}

void ConsoleEndOpenLine(RunState& state) {
    if (state.consoleLineOpen) ConsoleLine(state, "");
}
