#include "driver/usage.h"

#include "core/run_state.h"
#include "files/console.h"
#include "files/stops.h"

namespace {

constexpr const char* kUsageLines[] = {
    "Syntax: VELKOR source [options]",
    "-d\t\tsave as data block, example: dta $..,$..",
    "-l\t\tlabel name, example: $d301 -> portb (default OFF)",
    "-m\t\tmnemonic OFF (default ON)",
    "-a$xxxx\t\taddress of disasembled memory block (default $0400)",
    "-s$xxxx\t\tskip $xxxx bytes of begining memory block (default 0)",
    "-sd\t\tstore data block dta b($..,$..)",
    "-sa\t\tstore atascii character block dta c' '",
    "-bc$xxxx\tblock code at address $xxxx",
    "-bd$xxxx\tblock data at address $xxxx",
    "-bac$xxxx\tblock with address of new code blocks",
    "-bad$xxxx\tblock with address of new data blocks",
    "-x\t\tread Atari load files and cartridges as they are",
    "@file\t\tread further options from file, one per line",
    "-n$xxxx=name\tname the address $xxxx",
    "-c$xxxx=text\tcomment the line of address $xxxx",
    "-r$xxxx-$yyyy=$zzzz\twith -x: the bytes at $xxxx-$yyyy run at $zzzz",
    "-ofile\t\twrite the result to file instead of name.asm",
    "-w\t\talso write name.html: the listing with links, cross references and a map",
};

}  // namespace

void ShowUsage() {
    throw UsageStop{};
}

void WriteUsageText(RunState& state) {
    for (const char* line : kUsageLines) ConsoleLine(state.console, line);
}
