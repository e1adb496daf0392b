#include "reference/label_file.h"

#include <cctype>
#include <string_view>

#include "driver/files.h"
#include "driver/run_state.h"
#include "engine/text_helpers.h"
#include "reference/line_tokenizer.h"

namespace {

constexpr size_t kKeyDigits = 4;

void UpperCase(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Every key ("$" and four hex digits) that the upper-case line holds, by its value; the first
// line to hold a key owns it.
void IndexLine(RunState& state, const std::string& upperLine) {
    const std::string_view line(upperLine);
    for (size_t at = line.find('$'); at != std::string::npos; at = line.find('$', at + 1)) {
        if (at + kKeyDigits >= line.size()) break;
        bool isKey = true;
        for (size_t i = 1; i <= kKeyDigits; ++i) isKey = isKey && IsUpperHexDigit(line[at + i]);
        if (!isKey) continue;
        auto key = static_cast<uint16_t>(ParseNumber(line.substr(at, kKeyDigits + 1)));
        if (state.namesIndex.count(key) == 0) {
            state.namesIndex.emplace(key, std::string(line.substr(0, line.find(' '))));
        }
    }
}

}  // namespace

void LoadLabelNames(RunState& state) {
    state.namedAddresses.fill(0);
    TextWriter names;
    names.Create(kNamesFileName);
    TextReader reader;
    reader.Open(kLabelFileName);
    while (!reader.AtEnd()) {
        reader.ReadLineInto(state.rawLine);
        state.workLine.assign(state.rawLine, 0, state.rawLine.find(';'));
        if (state.workLine.find('$') == std::string::npos) continue;
        std::string name = CutToken(state, '$');
        TrimTrailingBlanks(name);
        names.Write(name);
        names.Write(" $");
        names.WriteLine(state.workLine);
        SetBit(state.namedAddresses, ParseNumber32("$" + state.workLine.substr(0, kKeyDigits)));
    }
    reader.Close();
    names.Close();
}

void LoadNamesIndex(RunState& state) {
    state.namesIndex.clear();
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
    auto found = state.namesIndex.find(static_cast<uint16_t>(ParseNumber(key)));
    return found == state.namesIndex.end() ? std::string() : found->second;
}
