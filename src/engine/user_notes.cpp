#include "engine/user_notes.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "core/address_table.h"
#include "core/layer_tables.h"
#include "engine/text_helpers.h"
#include "files/stops.h"
#include "reference/label_file.h"

namespace {

// Words of the assembler that a label may not take (compared without regard to case).
constexpr const char* kDirectives[] = {"dta", "equ", "opt", "org", "end", "icl", "ins", "run",
                                       "ini", "ift", "els", "eif", "eli", "rep", "ert", "blk"};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// "E_", or "E" and a layer's number and "_", then four hex digits: a generated label's form.
bool LooksGenerated(const std::string& name) {
    if (name.size() < 6 || (name[0] != 'E' && name[0] != 'e')) return false;
    size_t underscore = 1;
    while (underscore < name.size() && std::isdigit(static_cast<unsigned char>(name[underscore]))) {
        ++underscore;
    }
    if (underscore != name.size() - 5 || name[underscore] != '_') return false;
    return std::all_of(name.end() - 4, name.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// True when the name holds a generated label's form anywhere (the final phase rewrites such
// text in operands).
bool HoldsGenerated(const std::string& name) {
    for (size_t at = 0; at < name.size(); ++at) {
        if (name[at] != 'E' && name[at] != 'e') continue;
        size_t underscore = at + 1;
        while (underscore < name.size() &&
               std::isdigit(static_cast<unsigned char>(name[underscore]))) {
            ++underscore;
        }
        if (underscore >= name.size() || name[underscore] != '_' || underscore + 5 > name.size()) {
            continue;
        }
        if (std::all_of(name.begin() + static_cast<std::ptrdiff_t>(underscore) + 1,
                        name.begin() + static_cast<std::ptrdiff_t>(underscore) + 5,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            return true;
        }
    }
    return false;
}

// The mnemonics of the instruction set, in lower case.
std::unordered_set<std::string> Mnemonics(const RunState& state) {
    std::unordered_set<std::string> mnemonics;
    for (const std::string& pattern : state.mnemonicTable) {
        if (!pattern.empty()) mnemonics.insert(Lower(pattern.substr(0, pattern.find(' '))));
    }
    return mnemonics;
}

// What is wrong with the name itself, or empty text.
std::string Fault(const std::unordered_set<std::string>& mnemonics, const UserName& entry) {
    const std::string& name = entry.name;
    if (name.empty()) return "the name is empty";
    if (!IsNameStart(name[0])) return "a name starts with a letter or \"_\"";
    if (!std::all_of(name.begin(), name.end(), IsNameChar)) {
        return "a name holds only letters, digits and \"_\"";
    }
    const std::string lower = Lower(name);
    if (mnemonics.count(lower) != 0) return name + " is a mnemonic";
    for (const char* directive : kDirectives) {
        if (lower == directive) return name + " is a directive";
    }
    if (LooksGenerated(name)) return name + " has the form of a generated label";
    if (HoldsGenerated(name)) return name + " holds the form of a generated label";
    return std::string();
}

const UserName* Find(const RunState& state, int64_t address) {
    if (!TestBit(state.userNamed, address)) return nullptr;
    if (!state.userNameIndex.empty()) {
        const int32_t index = state.userNameIndex[static_cast<size_t>(address)];
        return index < 0 ? nullptr : &state.userNames[static_cast<size_t>(index)];
    }
    for (const UserName& entry : state.userNames) {
        if (entry.address == address) return &entry;
    }
    return nullptr;
}

// Makes Find look names up by address (the first name given for an address).
void IndexUserNames(RunState& state) {
    state.userNameIndex.assign(static_cast<size_t>(kAddressCount), -1);
    for (size_t i = state.userNames.size(); i-- > 0;) {
        state.userNameIndex[static_cast<size_t>(state.userNames[i].address)] =
            static_cast<int32_t>(i);
    }
}

// True when a name the user gave reads as the name to an assembler that ignores case.
bool NameTaken(const RunState& state, const std::string& name) {
    const std::string lower = Lower(name);
    return std::any_of(state.userNames.begin(), state.userNames.end(),
                       [&](const UserName& other) { return Lower(other.name) == lower; });
}

bool LiesInAnyRegion(const RunState& state, int64_t address) {
    for (const Region& r : state.image.regions) {
        if (HasAddresses(r) && address >= r.address && address < EndAddress(r)) return true;
    }
    return false;
}

}  // namespace

bool SplitAddressedOption(const std::string& text, int64_t& address, std::string& rest) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    address = ParseNumber32(text.substr(0, equals));
    rest = text.substr(equals + 1);
    return InAddressSpace(address);
}

void CheckUserNames(RunState& state) {
    // Names an assembler that ignores case reads as one are given twice.
    std::unordered_set<std::string> names;
    const std::unordered_set<std::string> mnemonics = Mnemonics(state);
    Bitmap addresses{};
    for (const UserName& entry : state.userNames) {
        std::string fault = Fault(mnemonics, entry);
        if (fault.empty() && !names.insert(Lower(entry.name)).second) {
            fault = entry.name + " is given twice";
        }
        if (fault.empty() && TestBit(addresses, entry.address)) {
            fault = "$" + FormatHex(entry.address, 4) + " is named twice";
        }
        SetBit(addresses, entry.address);
        if (!fault.empty()) {
            throw UsageStop{"Bad option -n$" + FormatHex(entry.address, 4) + "=" + entry.name +
                            ": " + fault + "."};
        }
    }
    IndexUserNames(state);
}

void CheckNamesAgainstLabelFile(const RunState& state, const std::vector<std::string>& names) {
    std::unordered_set<std::string> taken;
    for (const std::string& name : names) taken.insert(Lower(name));
    for (const UserName& entry : state.userNames) {
        if (taken.count(Lower(entry.name)) != 0) {
            throw UsageStop{"Bad option -n$" + FormatHex(entry.address, 4) + "=" + entry.name +
                            ": " + entry.name + " is a name of the label file."};
        }
    }
}

void AdoptLabelFileNames(RunState& state) {
    state.labelFileLabels.fill(0);
    const std::unordered_set<std::string> mnemonics = Mnemonics(state);
    Bitmap seen{};  // named addresses already met in an earlier layer
    for (int layer = 0; layer < state.image.layerCount; ++layer) {
        for (int index : state.image.layers[static_cast<size_t>(layer)].regions) {
            const Region& r = state.image.regions[static_cast<size_t>(index)];
            for (int64_t a = std::max<int64_t>(r.address, 0);
                 a < std::min(EndAddress(r), kAddressCount); ++a) {
                if (!TestBit(state.namedAddresses, a) || TestBit(seen, a)) continue;
                SetBit(seen, a);
                if (TestBit(state.userNamed, a) || !IsLabelInLayer(state, layer, a)) continue;
                UserName entry{a, std::string(NameOfAddress(state, static_cast<uint16_t>(a))),
                               layer, false};
                // Not a label an assembler takes, or one it takes for a name given already.
                if (!Fault(mnemonics, entry).empty() || NameTaken(state, entry.name)) continue;
                state.userNames.push_back(std::move(entry));
                SetBit(state.userNamed, a);
                if (!state.userNameIndex.empty()) {
                    state.userNameIndex[static_cast<size_t>(a)] =
                        static_cast<int32_t>(state.userNames.size() - 1);
                }
                SetBit(state.labelFileLabels, a);
            }
        }
    }
}

void PlaceUserNames(RunState& state) {
    for (UserName& entry : state.userNames) {
        entry.layer = -1;
        entry.defined = false;
        for (int layer = 0; layer < state.image.layerCount && entry.layer < 0; ++layer) {
            if (LiesInLayer(state.image, layer, entry.address)) entry.layer = layer;
        }
    }
}

const std::string* LineName(const RunState& state, int64_t address) {
    return LineNameInLayer(state, state.currentLayer, address);
}

const std::string* LineNameInLayer(const RunState& state, int layer, int64_t address) {
    const UserName* entry = Find(state, address);
    return entry && entry->layer == layer ? &entry->name : nullptr;
}

const std::string* UserNameOf(const RunState& state, int64_t address) {
    const UserName* entry = Find(state, address);
    return entry ? &entry->name : nullptr;
}

void MarkNameDefined(RunState& state, int64_t address) {
    const UserName* entry = Find(state, address);
    if (!entry || entry->layer != state.currentLayer) return;
    state.userNames[static_cast<size_t>(entry - state.userNames.data())].defined = true;
}

std::vector<std::string> UserNameEquates(const RunState& state) {
    std::vector<std::string> lines;
    for (const UserName& entry : state.userNames) {
        if (!entry.defined) lines.push_back(entry.name + " = $" + FormatHex(entry.address, 4));
    }
    return lines;
}

void SortUserComments(RunState& state) {
    std::stable_sort(
        state.userComments.begin(), state.userComments.end(),
        [](const UserComment& a, const UserComment& b) { return a.address < b.address; });
}

void WriteComments(RunState& state, int64_t first, int64_t end) {
    auto at = std::lower_bound(
        state.userComments.begin(), state.userComments.end(), first,
        [](const UserComment& comment, int64_t address) { return comment.address < address; });
    for (; at != state.userComments.end() && at->address < end; ++at) {
        state.asmFile.WriteLine("; " + at->text);
    }
}

void WriteUnplacedComments(RunState& state) {
    for (const UserComment& comment : state.userComments) {
        if (!LiesInAnyRegion(state, comment.address)) state.asmFile.WriteLine("; " + comment.text);
    }
}

namespace {

// The bytes from first to end, as a listed line keeps them (none for an end not known yet).
uint32_t LengthOf(int64_t first, int64_t end) {
    return end <= first ? 0 : static_cast<uint32_t>(std::min<int64_t>(end - first, UINT32_MAX));
}

}  // namespace

void StartListedLines(RunState& state) {
    constexpr int64_t kRoomLimit = 1 << 20;  // untouched room costs nothing
    state.listedLines.clear();
    if (!KeepsListedLines(state)) return;
    int64_t bytes = 0;
    for (const Region& region : state.image.regions) bytes += region.length;
    state.listedLines.reserve(static_cast<size_t>(std::min(bytes, kRoomLimit)));
}

void NoteListedLine(RunState& state, int64_t first, int64_t end, int region, bool isTable) {
    if (!KeepsListedLines(state)) return;
    const uint64_t line = state.asmFile.LinesWritten();
    // Whole words written at once: a new page of the list is first touched by a write.
    const uint32_t marks = static_cast<uint32_t>(region) | (end < 0 ? ListedLine::kData : 0) |
                           (isTable ? ListedLine::kTable : 0);
    state.listedLines.push_back({line, first, LengthOf(first, end), marks});
}

void EndListedLines(RunState& state) {
    std::vector<ListedLine>& lines = state.listedLines;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].IsData() || lines[i].length != 0) continue;
        const int region = lines[i].Region();
        const bool nextInRegion = i + 1 < lines.size() && lines[i + 1].Region() == region;
        const int64_t end = nextInRegion
                                ? lines[i + 1].first
                                : EndAddress(state.image.regions[static_cast<size_t>(region)]);
        lines[i].length = LengthOf(lines[i].first, end);
    }
}
