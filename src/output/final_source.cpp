#include "output/final_source.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "driver/console.h"
#include "driver/files.h"
#include "driver/run_files.h"
#include "driver/run_state.h"
#include "engine/instruction_format.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"
#include "output/listing_writer.h"
#include "reference/label_file.h"

namespace {

constexpr size_t kLabelDigits = 4;

// The length of the generated label that starts at the position: "E", the layer's number (none
// in the first layer), "_" and four hex digits; 0 when none starts there.
size_t LabelTokenLength(std::string_view line, size_t at) {
    if (at >= line.size() || line[at] != 'E') return 0;
    size_t underscore = at + 1;
    while (underscore < line.size() && line[underscore] >= '0' && line[underscore] <= '9') {
        ++underscore;
    }
    if (underscore >= line.size() || line[underscore] != '_') return 0;
    return underscore - at + 1 + kLabelDigits;
}

bool IsCommentLine(std::string_view line) {
    size_t first = line.find_first_not_of(" \t");
    return first != std::string::npos && line[first] == ';';
}

// The length of a label-file name: the text without trailing blanks (tabs count as blanks).
size_t NameLength(std::string_view name) {
    size_t length = name.size();
    while (length > 0 && (name[length - 1] == ' ' || name[length - 1] == '\t')) --length;
    return length;
}

// Length of the longest name among the entries that give an equate line.
void MeasureNames(RunState& state) {
    state.nameWidth = 0;
    for (size_t i = 0; i < LabelLineCount(state); ++i) {
        const std::string_view line = LabelLine(state, i);
        const std::string_view entry = line.substr(0, line.find(';'));
        const size_t dollar = entry.find('$');
        if (dollar == std::string::npos || entry.find('+') != std::string::npos) continue;
        state.nameWidth = std::max(state.nameWidth, NameLength(entry.substr(0, dollar)));
    }
}

using InnerLabel = std::pair<std::string, std::string>;  // key, replacement

// The inner-label entries in file order. The file does not change during this phase, so reading
// it once serves every block.
std::vector<InnerLabel> ReadInnerLabels() {
    std::vector<InnerLabel> entries;
    TextReader file;
    file.Open(kInnerLabelFileName);
    while (!file.AtEnd()) {
        std::string entry = file.ReadLine();
        const size_t key = LabelTokenLength(entry, 0);
        if (key == 0 || entry.size() < key) continue;  // no key: it could match nothing
        entries.emplace_back(entry.substr(0, key), entry.substr(key));
    }
    file.Close();
    return entries;
}

// Rewrites, in every line of the block, the first occurrence of each entry's key (when it does
// not begin the line) as the entry's replacement, entry by entry in file order.
void SubstituteInFileOrder(RunState& state, const std::vector<InnerLabel>& entries) {
    for (const auto& [key, replacement] : entries) {
        for (int i = 0; i < state.blockLineCount; ++i) {
            std::string& line = state.blockLines[i];
            size_t at = line.find(key);
            if (at != std::string::npos && at >= 1) line.replace(at, key.size(), replacement);
        }
    }
}

// The same in one scan of each line. Keys are unique and no replacement holds a key (a label
// inside an instruction is never an instruction's own address), so each key's first occurrence
// can be rewritten where it is found.
void SubstituteByKey(RunState& state, const std::unordered_map<std::string, std::string>& byKey) {
    std::vector<std::string> seen;  // the keys met in the line (rarely more than one)
    std::string key;
    for (int i = 0; i < state.blockLineCount; ++i) {
        std::string& line = state.blockLines[i];
        seen.clear();
        for (size_t at = line.find('E'); at != std::string::npos; at = line.find('E', at + 1)) {
            const size_t length = LabelTokenLength(line, at);
            if (length == 0) continue;
            key.assign(line, at, length);
            auto found = byKey.find(key);
            if (found == byKey.end()) continue;
            if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
            seen.push_back(key);
            if (at == 0) continue;
            line.replace(at, key.size(), found->second);
            at += found->second.size() - 1;
        }
    }
}

void SubstituteInnerLabels(RunState& state, const std::vector<InnerLabel>& entries,
                           const std::unordered_map<std::string, std::string>& byKey) {
    if (byKey.size() == entries.size()) {
        SubstituteByKey(state, byKey);
    } else {
        SubstituteInFileOrder(state, entries);  // a key that repeats: keep the plain rule
    }
}

// True when the line holds "jmp", "rts" or "jsr" anywhere.
bool EndsFlow(const std::string& line) {
    const std::string_view text(line);
    return text.find("jmp") != std::string_view::npos ||
           text.find("rts") != std::string_view::npos || text.find("jsr") != std::string_view::npos;
}

void CopyListing(RunState& state, TextReader& listing) {
    std::vector<InnerLabel> entries = ReadInnerLabels();
    std::unordered_map<std::string, std::string> byKey(entries.begin(), entries.end());
    while (!listing.AtEnd()) {
        // Past the end of the listing the reader gives empty lines, which fill the last block.
        for (state.blockLineCount = 0; state.blockLineCount < kBlockLineCount;) {
            listing.ReadLineInto(state.blockLines[state.blockLineCount++]);
        }
        SubstituteInnerLabels(state, entries, byKey);
        for (int i = 0; i < state.blockLineCount; ++i) {
            state.asmFile.WriteLine(state.blockLines[i]);
            if (EndsFlow(state.blockLines[i])) state.asmFile.WriteLine("");
        }
    }
}

}  // namespace

void WriteEquates(RunState& state) {
    MeasureNames(state);
    for (size_t i = 0; i < LabelLineCount(state); ++i) {
        const std::string_view line = LabelLine(state, i);
        if (line.empty() || IsCommentLine(line)) continue;
        const size_t dollar = line.find('$');
        if (dollar == std::string::npos || line.find('+') != std::string::npos) continue;
        // The name padded to the common width, and "= $" and the rest of the line (comment
        // included) put in at that width: inside a name longer than it, which only an entry
        // whose "$" follows its ";" can have.
        std::string& out = state.pendingLine;
        out.assign(line.substr(0, NameLength(line.substr(0, dollar))));
        TabsToBlanks(out);
        if (out.size() < state.nameWidth) out.resize(state.nameWidth, ' ');
        state.workToken.assign(out, state.nameWidth, std::string::npos);
        out.resize(state.nameWidth);
        out += "= $";
        const size_t rest = out.size();
        out.append(line.substr(dollar + 1));
        TabsToBlanks(out, rest);
        out += state.workToken;
        state.asmFile.WriteLine(out);
    }
    state.asmFile.WriteLine("");
}

void WriteFinalSource(RunState& state) {
    const std::string listingName = state.sourceName + kListingExtension;
    const std::string resultName = state.sourceName + kResultExtension;
    TextReader listing;
    listing.Open(listingName);
    ResultReplacement result(state, resultName);
    state.phase = 3;
    if (state.useLabelFile == 1) WriteEquates(state);
    CopyListing(state, listing);
    listing.Close();
    result.PutInPlace();
    ConsoleLine(state, ".");

    if (state.useLabelFile == 1) EraseFile(kNamesFileName);
    EraseFile(kInnerLabelFileName);
    EraseFile(listingName);
    ConsoleLine(state, "Done.");
}
