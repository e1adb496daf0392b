#include "files/console.h"

#include <unistd.h>

namespace {

// Text without a line end (the progress dots) is pushed out at once only where someone watches
// it: on a terminal. Elsewhere it goes with the next line, in the same bytes.
bool WatchedAsItComes(Console& console) {
    if (console.terminal < 0) console.terminal = isatty(fileno(console.out)) ? 1 : 0;
    return console.terminal == 1;
}

}  // namespace

void ConsoleWrite(Console& console, std::string_view text) {
    if (text.size() == 1) {  // a progress dot, once a pass
        putc_unlocked(text[0], console.out);
    } else {
        std::fwrite(text.data(), 1, text.size(), console.out);
    }
    if (WatchedAsItComes(console)) std::fflush(console.out);
    if (!text.empty()) console.lineOpen = true;
}

void ConsoleLine(Console& console, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), console.out);
    std::fwrite("\r\n", 1, 2, console.out);
    std::fflush(console.out);
    console.lineOpen = false;
}

void ConsoleEndOpenLine(Console& console) {
    if (console.lineOpen) ConsoleLine(console, "");
}
