#include "driver/options.h"

#include <sys/stat.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "core/address_table.h"
#include "driver/usage.h"
#include "engine/layer_setup.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "files/file_ops.h"
#include "files/stops.h"
#include "files/text_reader.h"

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

// The layer a -bc or -bd option names after its address (":N", for the layer whose labels read
// EN_); -1 without one.
int HintLayer(const std::string& argument) {
    const size_t colon = argument.find(':');
    if (colon == std::string::npos) return -1;
    const int64_t layer = ParseNumber32(argument.substr(colon + 1));
    if (layer < 0) ShowUsage();
    return static_cast<int>(layer);
}

// The last address of a range a -bc or -bd option gives after its first ("-$60FF"); -1 without
// one, or when what follows the dash is no address at or after the first (such text was always
// passed over, and still is). Only an Atari file (-x) reads the range; otherwise the option
// names its first address, as it always has.
int64_t HintLast(const std::string& argument, int64_t first) {
    const size_t dash = argument.find('-', 3);
    if (dash == std::string::npos) return -1;
    const std::string text = argument.substr(dash + 1, argument.find(':') - dash - 1);
    if (text.find_first_of("0123456789ABCDEFabcdef") == std::string::npos) return -1;
    const int64_t last = ParseNumber32(text);
    return InAddressSpace(last) && last >= first ? last : -1;
}

// Applies the block option and keeps it for the layers that are set up later.
void AddBlockHint(RunState& state, int64_t address, char kind, int layer = -1, int64_t last = -1) {
    state.blockHints.push_back({address, kind, layer, last});
    ApplyBlockHint(state, state.blockHints.back());
}

void ParseBlockOption(RunState& state, const std::string& argument) {
    switch (UpperAt(argument, 2)) {
        case 'C':
        case 'D': {
            const int64_t first = BlockAddress(argument, 3);
            const char kind = UpperAt(argument, 2) == 'C' ? 'c' : 'd';
            AddBlockHint(state, first, kind, HintLayer(argument), HintLast(argument, first));
            return;
        }
        case 'A':
            switch (UpperAt(argument, 3)) {
                case 'C':
                    AddBlockHint(state, BlockAddress(argument, 4), 'C');
                    return;
                case 'D':
                    AddBlockHint(state, BlockAddress(argument, 4), 'D');
                    return;
                default:
                    ShowUsage();
            }
        default:
            ShowUsage();
    }
}

// -r$FIRST-$LAST=$RUN: three addresses within $0000-$FFFF, the range not empty, and the bytes
// run at RUN without running past $FFFF.
void ParseRelocation(RunState& state, const std::string& argument) {
    const size_t dash = argument.find('-', 2);
    const size_t equals = argument.find('=');
    if (dash == std::string::npos || equals == std::string::npos || equals < dash) ShowUsage();
    Relocation r;
    r.first = ParseNumber32(argument.substr(2, dash - 2));
    r.last = ParseNumber32(argument.substr(dash + 1, equals - dash - 1));
    r.run = ParseNumber32(argument.substr(equals + 1));
    if (!InAddressSpace(r.first) || !InAddressSpace(r.last) || !InAddressSpace(r.run) ||
        r.last < r.first || r.run + (r.last - r.first) > kLastAddress) {
        ShowUsage();
    }
    state.relocations.push_back(r);
}

// True when the whole text is one number: decimal digits, or hex digits after "$", "x" or "0x".
bool IsWholeNumber(const std::string& text) {
    size_t at = 0;
    bool hex = false;
    if (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0) {
        at = 2;
        hex = true;
    } else if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
        at = 1;
        hex = true;
    }
    if (at >= text.size()) return false;
    for (; at < text.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (!(hex ? std::isxdigit(c) : std::isdigit(c))) return false;
    }
    return true;
}

// Refuses a -n or -c whose address is not written whole (a letter O for a zero reads as another
// address), a comment that holds a control character other than a tab (a line break would add a
// source line), and a text longer than a line of the assembler holds.
void CheckAddressedOption(const std::string& argument, int64_t address, const std::string& rest) {
    const std::string head = argument.substr(0, 2) + "$" + FormatHex(address, 4);
    if (!IsWholeNumber(argument.substr(2, argument.find('=') - 2))) {
        throw UsageStop{"Bad option " + argument.substr(0, argument.find('=')) +
                        ": the address is no number."};
    }
    const bool comment = UpperAt(argument, 1) == 'C';
    if (rest.size() > (comment ? kMaxCommentLength : kMaxNameLength)) {
        throw UsageStop{
            "Bad option " + head + ": the " + (comment ? "text" : "name") + " is longer than " +
            std::to_string(comment ? kMaxCommentLength : kMaxNameLength) + " characters."};
    }
    for (const char c : rest) {
        if (comment && ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)) {
            throw UsageStop{"Bad option " + head + ": the text holds a control character."};
        }
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
        case 'X':
            state.atariFiles = 1;
            return;
        case 'W':
            state.writePage = 1;
            return;
        case 'R':
            ParseRelocation(state, argument);
            return;
        case 'O':  // -oFILE: the result goes to FILE
            if (argument.size() < 3) ShowUsage();
            state.outputName = argument.substr(2);
            return;
        case 'N':
        case 'C': {
            int64_t address;
            std::string rest;
            if (!SplitAddressedOption(argument.substr(2), address, rest)) ShowUsage();
            CheckAddressedOption(argument, address, rest);
            if (UpperAt(argument, 1) == 'N') {
                state.userNames.push_back({address, rest});
                SetBit(state.userNamed, address);
            } else {
                state.userComments.push_back({address, rest});
            }
            return;
        }
        default:
            ShowUsage();
    }
}

namespace {

// A file as the system knows it (device and inode), to tell two names of one file apart.
std::pair<uint64_t, uint64_t> Identity(const std::string& name) {
    struct stat status {};
    if (stat(name.c_str(), &status) != 0) return {0, 0};
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

bool IsBeingRead(const RunState& state, const std::string& name, int depth) {
    const auto id = Identity(name);
    const auto& files = state.openOptionFiles;
    for (size_t i = 0; i < files.size() && i < static_cast<size_t>(depth); ++i) {
        if (files[i] == id) return true;
    }
    return false;
}

bool WasRead(const RunState& state, const std::string& name) {
    const auto id = Identity(name);
    for (const std::string& read : state.optionFiles) {
        if (Identity(read) == id) return true;
    }
    return false;
}

}  // namespace

void ParseArgument(RunState& state, const std::string& argument, int depth) {
    if (argument.empty() || argument[0] != '@') {
        ParseOption(state, argument);
        return;
    }
    const std::string name = argument.substr(1);
    if (!FileExists(name)) throw ErrorStop{"ERROR: Options file " + name + " not found."};
    if (depth >= kMaxOptionFileDepth || IsBeingRead(state, name, depth)) {
        throw ErrorStop{"ERROR: Options file " + name + " is read from itself, or too deep."};
    }
    // Each options file is read once a run, however often files name it: the work stays in
    // proportion to the files, not to the ways they name each other.
    if (WasRead(state, name)) return;
    state.optionFiles.push_back(name);
    state.openOptionFiles.resize(static_cast<size_t>(depth));
    state.openOptionFiles.push_back(Identity(name));
    TextReader reader;
    reader.Open(name);
    std::vector<std::string> lines;
    while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
    reader.Close();
    for (std::string& line : lines) {
        line = OptionOfLine(line);
        if (!line.empty()) ParseArgument(state, line, depth + 1);
    }
}

std::string OptionOfLine(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    // A comment's text runs to the end of its line, ";" included.
    const bool comment = first + 1 < line.size() && (line[first] == '-' || line[first] == '/') &&
                         (line[first + 1] == 'c' || line[first + 1] == 'C');
    std::string option = line.substr(first, comment ? std::string::npos : line.find(';') - first);
    const size_t last = option.find_last_not_of(" \t");
    option.erase(last == std::string::npos ? 0 : last + 1);
    return option;
}
