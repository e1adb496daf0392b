#include "driver/console.h"

#include <unistd.h>

#include <cstdio>

#include "driver/run_state.h"

namespace {

// Text without a line end (the progress dots) is pushed out at once only where someone watches
// it: on a terminal. Elsewhere it goes with the next line, in the same bytes.
bool WatchedAsItComes(RunState& state) {
    if (state.consoleTerminal < 0) state.consoleTerminal = isatty(fileno(state.console)) ? 1 : 0;
    return state.consoleTerminal == 1;
}

}  // namespace

void ConsoleWrite(RunState& state, std::string_view text) {
    if (text.size() == 1) {  // a progress dot, once a pass
        putc_unlocked(text[0], state.console);
    } else {
        std::fwrite(text.data(), 1, text.size(), state.console);
    }
    if (WatchedAsItComes(state)) std::fflush(state.console);
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
