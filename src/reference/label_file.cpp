#include "reference/label_file.h"

#include <cctype>

#include "driver/files.h"
#include "driver/run_state.h"
#include "engine/text_helpers.h"
#include "reference/line_tokenizer.h"

namespace {

constexpr size_t kKeyDigits = 4;

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool IsUpperHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Every key ("$" and four hex digits) that the upper-case line holds, by its value; the first
// line to hold a key owns it.
void IndexLine(RunState& state, const std::string& upperLine) {
    std::string name = upperLine.substr(0, upperLine.find(' '));
    for (size_t at = upperLine.find('$'); at != std::string::npos;
         at = upperLine.find('$', at + 1)) {
        if (at + kKeyDigits >= upperLine.size()) break;
        bool isKey = true;
        for (size_t i = 1; i <= kKeyDigits; ++i)
            isKey = isKey && IsUpperHexDigit(upperLine[at + i]);
        if (!isKey) continue;
        auto key = static_cast<uint16_t>(ParseNumber(upperLine.substr(at, kKeyDigits + 1)));
        state.namesIndex.emplace(key, name);
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
        std::string line = reader.ReadLine();
        state.workLine = line.substr(0, line.find(';'));
        if (state.workLine.find('$') == std::string::npos) continue;
        std::string name = CutToken(state, '$');
        TrimTrailingBlanks(name);
        names.WriteLine(name + " $" + state.workLine);
        SetBit(state.namedAddresses, ParseNumber32("$" + state.workLine.substr(0, kKeyDigits)));
    }
    reader.Close();
    names.Close();
}

void LoadNamesIndex(RunState& state) {
    state.namesIndex.clear();
    TextReader reader;
    reader.Open(kNamesFileName);
    while (!reader.AtEnd()) IndexLine(state, UpperCase(reader.ReadLine()));
    reader.Close();
    state.namesIndexLoaded = true;
}

std::string NameForKey(RunState& state, const std::string& key) {
    if (!state.namesIndexLoaded) LoadNamesIndex(state);
    auto found = state.namesIndex.find(static_cast<uint16_t>(ParseNumber(key)));
    return found == state.namesIndex.end() ? std::string() : found->second;
}
