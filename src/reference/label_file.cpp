#include "reference/label_file.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "core/address_table.h"
#include "core/number_text.h"
#include "files/char_scan.h"
#include "files/text_reader.h"
#include "files/text_writer.h"

namespace {

constexpr size_t kKeyDigits = 4;

int UpperHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value of the hex digits (either case) at the start of the text, at most four of them:
// what "$" and those characters read as a number give.
int64_t LeadingHex(std::string_view text) {
    int64_t value = 0;
    for (size_t i = 0; i < text.size() && i < kKeyDigits; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return value;
}

void StartIndex(RunState& state) {
    state.nameKeys.fill(0);
    // Allocated once and never cleared: an entry is read only where nameKeys is set.
    if (!state.nameOfKey) state.nameOfKey.reset(new uint16_t[kAddressCount]);
    state.nameText.clear();
    state.nameStarts.assign(1, 0);
}

int HexDigitOfEitherCase(char c) {
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : UpperHexDigit(c);
}

// Every key ("$" and four hex digits) that the line holds when read in upper case, by its value;
// the first line to hold a key owns it. The line's name (its text before the first blank) is kept
// in upper case. The keys are looked for from the index on (no "$" stands before it).
void IndexLine(RunState& state, std::string_view line, size_t from = 0) {
    Bitmap& keys = state.nameKeys;
    bool named = false;  // the line's name is in names
    // Lines are short: a plain walk costs less than a search call per "$".
    for (size_t at = from; at + kKeyDigits < line.size(); ++at) {
        if (line[at] != '$') continue;
        int key = 0;
        for (size_t i = 1; i <= kKeyDigits && key >= 0; ++i) {
            const int digit = HexDigitOfEitherCase(line[at + i]);
            key = digit < 0 ? -1 : key * 16 + digit;
        }
        if (key < 0 || TestBit(keys, key)) continue;
        SetBit(keys, key);
        if (!named) {
            size_t length = 0;
            while (length < line.size() && line[length] != ' ') ++length;
            const size_t start = state.nameText.size();
            state.nameText.append(line.data(), length);
            char* const name = state.nameText.data() + start;
            for (size_t i = 0; i < length; ++i) {
                if (name[i] >= 'a' && name[i] <= 'z')
                    name[i] = static_cast<char>(name[i] - 'a' + 'A');
            }
            state.nameStarts.push_back(static_cast<uint32_t>(state.nameText.size()));
            named = true;
        }
        state.nameOfKey[static_cast<size_t>(key)] =
            static_cast<uint16_t>(state.nameStarts.size() - 2);
    }
}

// The names-file line of a label-file entry that holds a "$" (at dollar) before any ";": the
// name before the "$" without trailing blanks or tabs, " $", and the rest; tabs become blanks.
// Returns where the rest starts.
size_t NamesLineOf(std::string_view entry, size_t dollar, std::string& out) {
    size_t nameEnd = dollar;
    while (nameEnd > 0 && (entry[nameEnd - 1] == ' ' || entry[nameEnd - 1] == '\t')) --nameEnd;
    const size_t restLength = entry.size() - dollar - 1;
    out.resize(nameEnd + 2 + restLength);
    char* to = CopyTabsAsBlanks(out.data(), entry.data(), nameEnd);
    *to++ = ' ';
    *to++ = '$';
    CopyTabsAsBlanks(to, entry.data() + dollar + 1, restLength);
    return nameEnd + 2;
}

// The access an entry's comment marks it for: "(r)" or "(w)", either case, at the start of the
// text after its ";" (blanks and tabs before it skipped); 0 for none.
char MarkOf(std::string_view line) {
    const size_t semicolon = line.find(';');
    if (semicolon == std::string::npos) return 0;
    size_t at = semicolon + 1;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at + 3 > line.size() || line[at] != '(' || line[at + 2] != ')') return 0;
    const char mark = static_cast<char>(line[at + 1] | 0x20);
    return mark == 'r' || mark == 'w' ? mark : 0;
}

// Keeps the entry's name as the name of its address for the access, unless an entry before it
// was marked the same for the same address.
void NoteAccessName(RunState& state, char access, std::string_view namesLine, size_t rest) {
    const uint16_t address = static_cast<uint16_t>(LeadingHex(namesLine.substr(rest)));
    for (const AccessName& known : state.accessNames) {
        if (known.address == address && known.access == access) return;
    }
    std::string name(namesLine.substr(0, namesLine.find(' ')));
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    state.accessNames.push_back({address, access, std::move(name)});
    SetBit(state.accessNamed, address);
}

}  // namespace

void LoadLabelNames(RunState& state) {
    state.namedAddresses.fill(0);
    state.accessNamed.fill(0);
    state.accessNames.clear();
    state.labelText.clear();
    state.labelLineEnds.clear();
    TextReader reader;
    reader.Open(state.labelPath);
    reader.ReadAllLines(state.labelText, state.labelLineEnds);
    reader.Close();

    // One names-file line per entry: the name before the first "$" (trailing blanks dropped), " $"
    // and the rest, all before any ";". The names index is built from the same lines as they go
    // out (no line read from a text file holds a line end or a $1A, so reading the names file
    // back would give them unchanged).
    TextWriter names;
    names.Create(kNamesFileName);
    StartIndex(state);
    // The names are parts of the label file's text, and at most one per line.
    state.nameText.reserve(state.labelText.size());
    state.nameStarts.reserve(LabelLineCount(state) + 1);
    std::string namesLine;
    // The width the equates pad their names to: the longest name of an entry without a "+".
    state.nameWidth = 0;
    for (size_t i = 0; i < LabelLineCount(state); ++i) {
        const std::string_view line = LabelLine(state, i);
        const std::string_view entry = line.substr(0, line.find(';'));
        const size_t dollar = entry.find('$');
        if (dollar == std::string::npos) continue;
        const size_t rest = NamesLineOf(entry, dollar, namesLine);
        if (entry.find('+') == std::string::npos) {
            state.nameWidth = std::max(state.nameWidth, rest - 2);  // the name's length
        }
        names.WriteLine(namesLine);
        SetBit(state.namedAddresses, LeadingHex(std::string_view(namesLine).substr(rest)));
        IndexLine(state, namesLine, rest - 1);  // the name holds no "$"
        if (const char access = MarkOf(line)) NoteAccessName(state, access, namesLine, rest);
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
        IndexLine(state, line);
    }
    reader.Close();
    state.namesIndexLoaded = true;
}

std::string NameForKey(RunState& state, const std::string& key) {
    return std::string(NameOfAddress(state, static_cast<uint16_t>(ParseNumber(key))));
}

std::string_view NameOfAddress(RunState& state, uint16_t address) {
    if (!state.namesIndexLoaded) LoadNamesIndex(state);
    if (!TestBit(state.nameKeys, address)) return std::string_view();
    const size_t name = state.nameOfKey[address];
    const uint32_t start = state.nameStarts[name];
    return std::string_view(state.nameText).substr(start, state.nameStarts[name + 1] - start);
}

size_t LabelLineCount(const RunState& state) {
    return state.labelLineEnds.size();
}

std::string_view LabelLine(const RunState& state, size_t index) {
    const uint32_t start = index == 0 ? 0 : state.labelLineEnds[index - 1];
    return std::string_view(state.labelText).substr(start, state.labelLineEnds[index] - start);
}

std::string_view NameOfAddressFor(RunState& state, uint16_t address, char access) {
    if (access != 0 && TestBit(state.accessNamed, address)) {
        for (const AccessName& known : state.accessNames) {
            if (known.address == address && known.access == access) return known.name;
        }
    }
    return NameOfAddress(state, address);
}

namespace {

// Three letters as one number, so that a mnemonic is told by one switch.
constexpr uint32_t ThreeLetters(const char* text) {
    return static_cast<uint32_t>(static_cast<unsigned char>(text[0])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<unsigned char>(text[2]);
}

}  // namespace

OperandUse UseOfMnemonic(std::string_view mnemonic) {
    if (mnemonic.size() < 3) return OperandUse::Other;
    switch (ThreeLetters(mnemonic.data())) {
        case ThreeLetters("lda"):
        case ThreeLetters("ldx"):
        case ThreeLetters("ldy"):
        case ThreeLetters("bit"):
        case ThreeLetters("cmp"):
        case ThreeLetters("cpx"):
        case ThreeLetters("cpy"):
        case ThreeLetters("adc"):
        case ThreeLetters("sbc"):
        case ThreeLetters("and"):
        case ThreeLetters("ora"):
        case ThreeLetters("eor"):
        case ThreeLetters("lax"):
        case ThreeLetters("las"):
            return OperandUse::Read;
        case ThreeLetters("sta"):
        case ThreeLetters("stx"):
        case ThreeLetters("sty"):
        case ThreeLetters("sax"):
        case ThreeLetters("sha"):
        case ThreeLetters("shx"):
        case ThreeLetters("shy"):
        case ThreeLetters("shs"):
        case ThreeLetters("tas"):
        case ThreeLetters("stz"):
            return OperandUse::Write;
        // The undocumented ones under MADS's names and under the names other assemblers use.
        case ThreeLetters("inc"):
        case ThreeLetters("dec"):
        case ThreeLetters("asl"):
        case ThreeLetters("lsr"):
        case ThreeLetters("rol"):
        case ThreeLetters("ror"):
        case ThreeLetters("aso"):
        case ThreeLetters("rln"):
        case ThreeLetters("lse"):
        case ThreeLetters("rrd"):
        case ThreeLetters("dcp"):
        case ThreeLetters("isb"):
        case ThreeLetters("slo"):
        case ThreeLetters("rla"):
        case ThreeLetters("sre"):
        case ThreeLetters("rra"):
        case ThreeLetters("isc"):
        case ThreeLetters("trb"):
        case ThreeLetters("tsb"):
        case ThreeLetters("rmb"):
        case ThreeLetters("smb"):
            return OperandUse::ReadWrite;
        default:
            return OperandUse::Other;
    }
}

char AccessOfPattern(const std::string& pattern) {
    switch (UseOfMnemonic(pattern)) {
        case OperandUse::Read:
            return 'r';
        case OperandUse::Write:
        case OperandUse::ReadWrite:
            return 'w';
        default:
            return 0;
    }
}

std::vector<std::string> ReadLabelFileNames(const std::string& path) {
    TextReader reader;
    reader.Open(path);
    std::vector<std::string> names;
    std::string line;
    while (!reader.AtEnd()) {
        reader.ReadLineInto(line);
        const std::string entry = line.substr(0, line.find(';'));
        const size_t dollar = entry.find('$');
        if (dollar == std::string::npos || entry.find('+') != std::string::npos) continue;
        std::string name = entry.substr(0, dollar);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
        if (!name.empty()) names.push_back(std::move(name));
    }
    reader.Close();
    return names;
}
