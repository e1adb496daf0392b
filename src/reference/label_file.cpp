#include "reference/label_file.h"

#include <string_view>

#include "driver/files.h"
#include "driver/run_state.h"
#include "engine/text_helpers.h"

namespace {

constexpr size_t kKeyDigits = 4;

void UpperCase(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

int UpperHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void StartIndex(RunState& state) {
    state.namesIndex.assign(kAddressCount, 0);
    state.names.clear();
}

// Every key ("$" and four hex digits) that the upper-case line holds, by its value; the first
// line to hold a key owns it.
void IndexLine(RunState& state, const std::string& upperLine) {
    const std::string_view line(upperLine);
    uint32_t nameNumber = 0;  // the line's name, once a key needs it
    for (size_t at = line.find('$'); at != std::string::npos; at = line.find('$', at + 1)) {
        if (at + kKeyDigits >= line.size()) break;
        int key = 0;
        for (size_t i = 1; i <= kKeyDigits && key >= 0; ++i) {
            const int digit = UpperHexDigit(line[at + i]);
            key = digit < 0 ? -1 : key * 16 + digit;
        }
        if (key < 0 || state.namesIndex[key] != 0) continue;
        if (nameNumber == 0) {
            state.names.emplace_back(line.substr(0, line.find(' ')));
            nameNumber = static_cast<uint32_t>(state.names.size());
        }
        state.namesIndex[key] = nameNumber;
    }
}

}  // namespace

void LoadLabelNames(RunState& state) {
    state.namedAddresses.fill(0);
    state.labelLines.clear();
    TextReader reader;
    reader.Open(kLabelFileName);
    while (!reader.AtEnd()) state.labelLines.push_back(reader.ReadLine());
    reader.Close();

    // One names-file line per entry: the name before the first "$" (trailing blanks dropped), " $"
    // and the rest, all before any ";". The names index is built from the same lines as they go
    // out (no line read from a text file holds a line end or a $1A, so reading the names file
    // back would give them unchanged).
    TextWriter names;
    names.Create(kNamesFileName);
    StartIndex(state);
    std::string namesLine;
    for (const std::string& line : state.labelLines) {
        const std::string_view entry = std::string_view(line).substr(0, line.find(';'));
        const size_t dollar = entry.find('$');
        if (dollar == std::string::npos) continue;
        namesLine.assign(entry.substr(0, dollar));
        TabsToBlanks(namesLine, 0);
        TrimTrailingBlanks(namesLine);
        namesLine += " $";
        const size_t rest = namesLine.size();
        namesLine.append(entry.substr(dollar + 1));
        TabsToBlanks(namesLine, rest);
        names.WriteLine(namesLine);
        SetBit(state.namedAddresses,
               ParseNumber32(std::string_view(namesLine).substr(rest - 1, kKeyDigits + 1)));
        UpperCase(namesLine);
        IndexLine(state, namesLine);
    }
    names.Close();
    state.namesIndexLoaded = true;
}

void LoadNamesIndex(RunState& state) {
    StartIndex(state);
    TextReader reader;
    reader.Open(kNamesFileName);
    std::string line;
    while (!reader.AtEnd()) {
        reader.ReadLineInto(line);
        UpperCase(line);
        IndexLine(state, line);
    }
    reader.Close();
    state.namesIndexLoaded = true;
}

std::string NameForKey(RunState& state, const std::string& key) {
    if (!state.namesIndexLoaded) LoadNamesIndex(state);
    const uint32_t number = state.namesIndex[static_cast<uint16_t>(ParseNumber(key))];
    return number == 0 ? std::string() : state.names[number - 1];
}
