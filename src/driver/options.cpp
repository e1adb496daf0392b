#include "driver/options.h"

#include <cctype>

#include "driver/run_state.h"
#include "driver/usage.h"
#include "engine/text_helpers.h"

namespace {

// The upper-case character at the index, or 0 past the end of the argument.
char UpperAt(const std::string& argument, size_t index) {
    if (index >= argument.size()) return 0;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(argument[index])));
}

// The number written from the index on; an address outside $0000-$FFFF is not accepted.
int64_t BlockAddress(const std::string& argument, size_t index) {
    int64_t address = ParseNumber32(argument.substr(index));
    if (!InAddressSpace(address)) ShowUsage();
    return address;
}

// -bc / -bd: a code or data block start that also carries a label.
void MarkLabelledBlock(RunState& state, int64_t address, uint8_t isCode) {
    SetIsCode(state, address, isCode);
    SetIsEntry(state, address, 1);
    SetBit(state.referencedMap, address);
    SetBit(state.codeRefMap, address);
}

// -bac / -bad: a block start of the given kind for the data-block mode.
void MarkBlockKind(RunState& state, int64_t address, uint8_t isCode, char kind) {
    SetIsCode(state, address, isCode);
    SetIsEntry(state, address, 1);
    SetBlockKind(state, address, static_cast<uint8_t>(kind));
}

void ParseBlockOption(RunState& state, const std::string& argument) {
    switch (UpperAt(argument, 2)) {
        case 'C':
            MarkLabelledBlock(state, BlockAddress(argument, 3), 1);
            return;
        case 'D':
            MarkLabelledBlock(state, BlockAddress(argument, 3), 0);
            return;
        case 'A':
            switch (UpperAt(argument, 3)) {
                case 'C':
                    MarkBlockKind(state, BlockAddress(argument, 4), 1, 'B');
                    return;
                case 'D':
                    MarkBlockKind(state, BlockAddress(argument, 4), 0, 'W');
                    return;
                default:
                    ShowUsage();
            }
        default:
            ShowUsage();
    }
}

void ParseSkipOrStyle(RunState& state, const std::string& argument) {
    switch (UpperAt(argument, 2)) {
        case 'A':
            state.dataStyle = 'A';
            return;
        case 'D':
            state.dataStyle = 'D';
            return;
        default: {
            int64_t skip = ParseNumber32(argument.substr(2));
            if (skip < 0) ShowUsage();
            state.skipCount = skip;
        }
    }
}

}  // namespace

void ParseOption(RunState& state, const std::string& argument) {
    if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) ShowUsage();
    switch (UpperAt(argument, 1)) {
        case 'D':
            state.dataBlockOnly = 1;
            return;
        case 'L':
            state.useLabelFile = 1;
            return;
        case 'M':
            state.mnemonicsOff = 1;
            return;
        case 'A':
            state.startAddress = ParseNumber32(argument.substr(2));
            return;
        case 'S':
            ParseSkipOrStyle(state, argument);
            return;
        case 'B':
            ParseBlockOption(state, argument);
            return;
        default:
            ShowUsage();
    }
}
