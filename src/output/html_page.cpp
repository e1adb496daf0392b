#include "output/html_page.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/image_map.h"
#include "core/number_text.h"
#include "core/run_state.h"
#include "engine/user_notes.h"
#include "files/result_replacement.h"
#include "files/text_reader.h"
#include "files/text_writer.h"
#include "reference/label_file.h"

namespace {

// What a line does with a label or name it refers to.
enum class RefKind : uint8_t { Call, Jump, Branch, Read, Write, ReadWrite, Table };
constexpr const char* kRefKindNames[] = {
    "call", "jump", "branch", "read", "write", "read-modify-write", "table"};
constexpr size_t kInlineReferences = 4;       // more are folded away beside the line
constexpr size_t kKeptResultLimit = 4 << 20;  // a larger result is read again

struct Reference {
    uint32_t line;  // counted from 0
    RefKind kind;
};

struct Symbol {
    std::string name;  // as the defining line writes it
    std::string key;   // in upper case
    uint32_t line = UINT32_MAX;
    bool isEquate = false;
    std::vector<Reference> references;
};

// The layer and address of a generated label as the program writes it: "E", the layer's number
// without leading zeros (none for the first layer), "_" and four upper-case hex digits. False
// for any other name.
bool IsGeneratedLabel(std::string_view name, size_t& layer, uint32_t& address) {
    if (name.size() < 6 || name[0] != 'E' || name[name.size() - 5] != '_') return false;
    const std::string_view digits = name.substr(1, name.size() - 6);
    if (digits.size() > 3 || (!digits.empty() && digits[0] == '0')) return false;
    layer = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        layer = layer * 10 + static_cast<size_t>(c - '0');
    }
    address = 0;
    for (const char c : name.substr(name.size() - 4)) {
        const int value = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (value < 0) return false;
        address = address * 16 + static_cast<uint32_t>(value);
    }
    return true;
}

// The name in upper case, into the text (the assembler ignores the case of names).
void AssignUpperCase(std::string& upper, std::string_view name) {
    upper.assign(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
}

std::string UpperCase(std::string_view name) {
    std::string upper;
    AssignUpperCase(upper, name);
    return upper;
}

// The labels and names of the result, by their upper-case form (the assembler ignores case);
// the generated labels, most of them, in a table by layer and address.
struct Symbols {
    std::unordered_map<std::string, uint32_t> index;
    std::unordered_map<uint32_t, uint32_t> generated;  // by layer and address
    std::vector<Symbol> list;

    // Adds the name defined on the line, unless it is there already.
    void Add(std::string_view name, uint32_t line, bool isEquate) {
        const uint32_t number = static_cast<uint32_t>(list.size());
        size_t layer;
        uint32_t address;
        if (IsGeneratedLabel(name, layer, address)) {
            if (!generated.emplace(static_cast<uint32_t>(layer << 16) | address, number).second) {
                return;
            }
        } else if (!index.emplace(UpperCase(name), number).second) {
            return;
        }
        Symbol symbol;
        symbol.name.assign(name);
        symbol.key = UpperCase(name);
        symbol.line = line;
        symbol.isEquate = isEquate;
        list.push_back(std::move(symbol));
    }

    int Find(std::string_view name) const {
        size_t layer;
        uint32_t address;
        if (IsGeneratedLabel(name, layer, address)) {
            const auto it = generated.find(static_cast<uint32_t>(layer << 16) | address);
            return it == generated.end() ? -1 : static_cast<int>(it->second);
        }
        AssignUpperCase(key, name);
        const auto it = index.find(key);
        return it == index.end() ? -1 : static_cast<int>(it->second);
    }
    mutable std::string key;  // the name being looked up, reused
};

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '@' || c == '?';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || IsDigit(c);
}

// The parts of a result line: the label or equate name it starts with, and where its
// statement (mnemonic or directive and operand) starts (npos: none).
struct LineParts {
    std::string_view name;
    bool isEquate = false;
    size_t statement = std::string_view::npos;
};

LineParts PartsOf(std::string_view line) {
    LineParts parts;
    if (line.empty() || line[0] == ';') return parts;
    if (line[0] == '\t' || line[0] == ' ') {
        parts.statement = 0;
        return parts;
    }
    if (!IsNameStart(line[0])) return parts;
    size_t end = 1;
    while (end < line.size() && IsNameChar(line[end])) ++end;
    if (end < line.size() && line[end] != '\t' && line[end] != ' ' && line[end] != '=') {
        return parts;
    }
    parts.name = line.substr(0, end);
    const size_t next = line.find_first_not_of(' ', end);
    if (next != std::string_view::npos && line[next] == '=') {
        parts.isEquate = true;
        return parts;
    }
    const size_t tab = line.find('\t', end);
    if (tab != std::string_view::npos) parts.statement = tab;
    return parts;
}

RefKind KindOfMnemonic(std::string_view mnemonic) {
    char m[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 3 && i < mnemonic.size(); ++i) {
        const char c = mnemonic[i];
        m[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view three(m, 3);
    if (three == "jsr") return RefKind::Call;
    if (three == "jmp") return RefKind::Jump;
    if (three == "dta") return RefKind::Table;
    if (m[0] == 'b' &&
        (three == "bpl" || three == "bmi" || three == "bvc" || three == "bvs" || three == "bcc" ||
         three == "bcs" || three == "bne" || three == "beq" || three == "bra")) {
        return RefKind::Branch;
    }
    switch (UseOfMnemonic(three)) {
        case OperandUse::Write:
            return RefKind::Write;
        case OperandUse::ReadWrite:
            return RefKind::ReadWrite;
        default:
            return RefKind::Read;
    }
}

// Calls found(position, length, symbol, mnemonic) for every label or name the line's statement
// refers to, in order; mnemonic: the statement's first word.
template <typename Found>
void ForEachReference(std::string_view line, const LineParts& parts, const Symbols& symbols,
                      Found found) {
    if (parts.statement == std::string_view::npos) return;
    size_t i = line.find_first_not_of(" \t", parts.statement);
    if (i == std::string_view::npos) return;
    if (line[i] == ':') {  // a repeat count
        i = line.find_first_not_of("0123456789", i + 1);
        if (i == std::string_view::npos) return;
        i = line.find_first_not_of(" \t", i);
        if (i == std::string_view::npos) return;
    }
    const size_t mnemonic = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    const std::string_view word = line.substr(mnemonic, i - mnemonic);
    bool quoted = false;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '\'') {
            quoted = !quoted;
            ++i;
        } else if (quoted) {
            ++i;
        } else if (c == ';') {
            return;
        } else if (c == '$' || c == '%' || IsDigit(c)) {
            ++i;
            while (i < line.size() && IsNameChar(line[i])) ++i;
        } else if (IsNameStart(c)) {
            const size_t start = i;
            while (i < line.size() && IsNameChar(line[i])) ++i;
            if (i < line.size() && (line[i] == '(' || line[i] == '\'')) continue;  // a(, c'
            // An index register after its comma is no name.
            if (i - start == 1 && start > 0 && line[start - 1] == ',' &&
                (c == 'x' || c == 'y' || c == 'X' || c == 'Y')) {
                continue;
            }
            const int symbol = symbols.Find(line.substr(start, i - start));
            if (symbol >= 0) found(start, i - start, symbol, word);
        } else {
            ++i;
        }
    }
}

bool IsUtf8(const std::vector<std::string_view>& lines) {
    for (const std::string_view line : lines) {
        for (size_t i = 0; i < line.size();) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            const size_t length = c < 0x80         ? 1
                                  : (c >> 5) == 6  ? 2
                                  : (c >> 4) == 14 ? 3
                                  : (c >> 3) == 30 ? 4
                                                   : 0;
            if (length == 0 || i + length > line.size()) return false;
            for (size_t k = 1; k < length; ++k) {
                if ((static_cast<unsigned char>(line[i + k]) >> 6) != 2) return false;
            }
            i += length;
        }
    }
    return true;
}

// The text for the page: markup characters as entities, and, in a result that is no UTF-8
// text, each byte above $7F as the character of that code.
void AppendEscaped(std::string& out, std::string_view text, bool utf8) {
    bool plain = true;
    for (const char ch : text) {
        if (ch == '&' || ch == '<' || ch == '>' || ch == '"' || (!utf8 && (ch & 0x80))) {
            plain = false;
            break;
        }
    }
    if (plain) {
        out.append(text);
        return;
    }
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (c >= 0x80 && !utf8) {
                    out += "&#x" + FormatHex(c, 2) + ";";
                } else {
                    out += ch;
                }
        }
    }
}

// A label or name in a line: where, and which.
struct Mention {
    uint32_t line;
    uint32_t at;
    uint32_t length;
    uint32_t symbol;
};

// The labels and names the lines define, and every line's references to them (mentions, in
// the order of the lines).
Symbols CollectSymbols(const std::vector<std::string_view>& lines, std::vector<Mention>& mentions) {
    Symbols symbols;
    for (size_t n = 0; n < lines.size(); ++n) {
        const LineParts parts = PartsOf(lines[n]);
        // The first definition of a name is the one linked to.
        if (!parts.name.empty()) symbols.Add(parts.name, static_cast<uint32_t>(n), parts.isEquate);
    }
    for (size_t n = 0; n < lines.size(); ++n) {
        RefKind kind = RefKind::Read;
        bool kindKnown = false;
        ForEachReference(
            lines[n], PartsOf(lines[n]), symbols,
            [&](size_t at, size_t length, int symbol, std::string_view mnemonic) {
                if (!kindKnown) kind = KindOfMnemonic(mnemonic), kindKnown = true;
                mentions.push_back({static_cast<uint32_t>(n), static_cast<uint32_t>(at),
                                    static_cast<uint32_t>(length), static_cast<uint32_t>(symbol)});
                std::vector<Reference>& refs = symbols.list[static_cast<size_t>(symbol)].references;
                if (refs.empty() || refs.back().line != n || refs.back().kind != kind) {
                    refs.push_back({static_cast<uint32_t>(n), kind});
                }
            });
    }
    return symbols;
}

// Whether the list at the end holds the symbol: every label of a line, and the names of
// equates that some line refers to.
bool IsListed(const Symbol& symbol) {
    return !symbol.references.empty() || !symbol.isEquate;
}

void AppendNumber(std::string& out, uint64_t value) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* at = end;
    do {
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    out.append(at, end);
}

void AppendSigned(std::string& out, int64_t value) {
    if (value < 0) out += '-';
    AppendNumber(out, static_cast<uint64_t>(value < 0 ? -value : value));
}

// Links to the lines of the references, from the first on, at most count of them.
void AppendReferenceLinks(std::string& out, const std::vector<Reference>& refs, size_t count) {
    for (size_t i = 0; i < refs.size() && i < count; ++i) {
        out += i ? " <a href=\"#L" : "<a href=\"#L";
        AppendNumber(out, refs[i].line + 1);
        out += "\">";
        out += kRefKindNames[static_cast<int>(refs[i].kind)];
        out += ' ';
        AppendNumber(out, refs[i].line + 1);
        out += "</a>";
    }
}

// One line of the listing: its text with the labels linked, and beside a defining line the
// places that refer to it (the first few, and a link to the whole list).
void AppendLine(std::string& out, std::string_view line, size_t n, const Symbols& symbols,
                const Mention*& mention, const Mention* mentionsEnd, bool utf8) {
    const LineParts parts = PartsOf(line);
    size_t copied = 0;
    const Symbol* defined = nullptr;
    if (!parts.name.empty()) {
        const int index = symbols.Find(parts.name);
        if (index >= 0 && symbols.list[static_cast<size_t>(index)].line == n) {
            defined = &symbols.list[static_cast<size_t>(index)];
            out += "<a id=\"s-";
            AppendEscaped(out, defined->key, utf8);
            if (IsListed(*defined)) {
                out += "\" href=\"#r-";
                AppendEscaped(out, defined->key, utf8);
            }
            out += "\">";
            AppendEscaped(out, parts.name, utf8);
            out += "</a>";
            copied = parts.name.size();
        }
    }
    for (; mention != mentionsEnd && mention->line == n; ++mention) {
        AppendEscaped(out, line.substr(copied, mention->at - copied), utf8);
        out += "<a href=\"#s-";
        AppendEscaped(out, symbols.list[mention->symbol].key, utf8);
        out += "\">";
        AppendEscaped(out, line.substr(mention->at, mention->length), utf8);
        out += "</a>";
        copied = mention->at + mention->length;
    }
    AppendEscaped(out, line.substr(copied), utf8);
    if (defined && !defined->references.empty()) {
        const std::vector<Reference>& refs = defined->references;
        out += "<span class=\"x\">";
        AppendReferenceLinks(out, refs, kInlineReferences);
        if (refs.size() > kInlineReferences) {
            out += " <a href=\"#r-";
            AppendEscaped(out, defined->key, utf8);
            out += "\">";
            AppendNumber(out, refs.size() - kInlineReferences);
            out += " more</a>";
        }
        out += "</span>";
    }
}

// The map: stretches of one kind of bytes in a region.
enum class Stretch : uint8_t { Code, Data, Block, DisplayList, Screen, Font };
constexpr const char* kStretchClasses[] = {"mc", "md", "mb", "ml", "ms", "mf"};
constexpr const char* kStretchNames[] = {"code",         "data",          "data block",
                                         "display list", "screen memory", "character set"};

struct Run {
    int region;
    int64_t first;
    int64_t end;
    Stretch kind;
};

// The stretches of each region with addresses, from the lines that hold its bytes.
std::vector<std::vector<Run>> RunsOfRegions(const RunState& state) {
    const std::vector<Region>& regions = state.image.regions;
    std::vector<std::vector<Run>> runs(regions.size());
    auto add = [&](int r, int64_t first, int64_t end, Stretch kind) {
        if (end <= first) return;
        std::vector<Run>& list = runs[static_cast<size_t>(r)];
        if (!list.empty() && list.back().kind == kind && list.back().end == first) {
            list.back().end = end;
        } else {
            list.push_back({r, first, end, kind});
        }
    };
    for (const ListedLine& line : state.listedLines) {
        const Region& region = regions[static_cast<size_t>(line.region)];
        if (region.kind != RegionKind::Code) continue;
        const Stretch kind = line.isTable  ? Stretch::Block
                             : line.isData ? Stretch::Data
                                           : Stretch::Code;
        add(line.region, line.first, std::min(line.end, EndAddress(region)), kind);
    }
    for (size_t r = 0; r < regions.size(); ++r) {
        const Region& region = regions[r];
        const int index = static_cast<int>(r);
        if (region.kind == RegionKind::Words) {
            add(index, region.address, EndAddress(region), Stretch::Block);
        } else if (region.kind == RegionKind::Data) {
            static const Stretch kShapes[] = {Stretch::Data, Stretch::DisplayList, Stretch::Screen,
                                              Stretch::Font};
            add(index, region.address, EndAddress(region), kShapes[static_cast<int>(region.shape)]);
        } else if (region.kind == RegionKind::Code && runs[r].empty()) {
            add(index, region.address, EndAddress(region), Stretch::Data);
        }
    }
    return runs;
}

// The entry points of the image: its run, init and vector addresses, those the pictures found,
// and a raw image's first byte.
std::vector<int64_t> EntryPoints(const RunState& state) {
    std::vector<int64_t> entries;
    for (const ImageEntry& entry : state.image.entries) entries.push_back(entry.address);
    for (const Picture& picture : state.image.pictures) {
        entries.insert(entries.end(), picture.entries.begin(), picture.entries.end());
    }
    if (state.image.pictures.empty() && !state.image.regions.empty() &&
        state.image.regions[0].kind == RegionKind::Code) {
        entries.push_back(state.image.regions[0].address);
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

// A strip of the map: the regions it shows, under a title.
struct Strip {
    std::string title;
    std::vector<int> regions;
};

std::vector<Strip> StripsOf(const RunState& state) {
    const std::vector<Region>& regions = state.image.regions;
    std::vector<Strip> strips;
    for (size_t r = 0; r < regions.size(); ++r) {
        if (regions[r].kind == RegionKind::Header) continue;
        const size_t segment = static_cast<size_t>(regions[r].segment);
        if (strips.size() <= segment) strips.resize(segment + 1);
        strips[segment].regions.push_back(static_cast<int>(r));
    }
    for (size_t s = 0; s < strips.size(); ++s) {
        strips[s].title = state.image.segments.size() > 1 ? "Segment " + std::to_string(s + 1)
                                                          : std::string("Image");
    }
    strips.erase(std::remove_if(strips.begin(), strips.end(),
                                [](const Strip& strip) { return strip.regions.empty(); }),
                 strips.end());
    if (state.image.pictures.size() > 1) {
        for (const Picture& picture : state.image.pictures) {
            Strip strip;
            strip.title = picture.final ? std::string("Memory when the program runs")
                                        : "Memory when the init address after segment " +
                                              std::to_string(picture.afterSegment + 1) + " runs";
            strip.regions = picture.regions;
            strip.regions.insert(strip.regions.end(), picture.dataRegions.begin(),
                                 picture.dataRegions.end());
            strips.push_back(std::move(strip));
        }
    }
    return strips;
}

// The part of the whole in per cent, with three decimals.
void AppendPercent(std::string& out, int64_t part, int64_t whole) {
    const int64_t thousandths = whole > 0 ? part * 100000 / whole : 0;
    AppendNumber(out, static_cast<uint64_t>(thousandths / 1000));
    out += '.';
    out += static_cast<char>('0' + thousandths / 100 % 10);
    out += static_cast<char>('0' + thousandths / 10 % 10);
    out += static_cast<char>('0' + thousandths % 10);
    out += '%';
}

// A mark of the map: its class, its place, what a click on it reads (region, first and end
// address) and its title.
void AppendMark(std::string& out, const char* kind, const char* name, int64_t first, int64_t end,
                int64_t low, int64_t high, int region, bool isEntry) {
    out += "<b class=\"";
    out += kind;
    out += "\" style=\"left:";
    AppendPercent(out, first - low, high - low);
    if (!isEntry) {
        out += ";width:";
        AppendPercent(out, end - first, high - low);
    }
    out += "\" data-r=\"";
    AppendNumber(out, static_cast<uint64_t>(region));
    out += "\" data-a=\"";
    AppendNumber(out, static_cast<uint64_t>(first));
    out += "\" data-e=\"";
    AppendNumber(out, static_cast<uint64_t>(end));
    out += "\" title=\"";
    if (isEntry) {
        out += "entry point $" + FormatHex(first, 4);
    } else {
        out += "$" + FormatHex(first, 4) + "-$" + FormatHex(end - 1, 4) + " " + name;
    }
    out += "\"></b>";
}

void AppendMap(std::string& out, const RunState& state, const std::vector<std::vector<Run>>& runs,
               const std::vector<int64_t>& entries) {
    const std::vector<Region>& regions = state.image.regions;
    for (const Strip& strip : StripsOf(state)) {
        int64_t low = INT64_MAX, high = INT64_MIN;
        for (int r : strip.regions) {
            low = std::min(low, regions[static_cast<size_t>(r)].address);
            high = std::max(high, EndAddress(regions[static_cast<size_t>(r)]));
        }
        if (high <= low) continue;
        out += "<div class=\"st\">" + strip.title + ": $" + FormatHex(low, 4) + "-$" +
               FormatHex(high - 1, 4) + "</div>\n<div class=\"strip\">";
        for (int r : strip.regions) {
            for (const Run& run : runs[static_cast<size_t>(r)]) {
                AppendMark(out, kStretchClasses[static_cast<int>(run.kind)],
                           kStretchNames[static_cast<int>(run.kind)], run.first, run.end, low, high,
                           r, false);
            }
        }
        for (int64_t entry : entries) {
            for (int r : strip.regions) {
                const Region& region = regions[static_cast<size_t>(r)];
                if (entry < region.address || entry >= EndAddress(region)) continue;
                AppendMark(out, "e", "", entry, entry + 1, low, high, r, true);
                break;
            }
        }
        out += "</div>\n";
    }
}

// Per region: the line a click on it goes to when no line holds the address, then for each line
// holding its bytes the distance of its first address and of its number (counted from 1) from
// those of the line before it (the first: from the region's address and the fallback line).
void AppendLineTable(std::string& out, const RunState& state) {
    const std::vector<Region>& regions = state.image.regions;
    std::vector<std::vector<const ListedLine*>> lines(regions.size());
    for (const ListedLine& line : state.listedLines) {
        lines[static_cast<size_t>(line.region)].push_back(&line);
    }
    int64_t fallback = 1;
    out += "var R=[";
    for (size_t r = 0; r < regions.size(); ++r) {
        if (!lines[r].empty()) fallback = static_cast<int64_t>(lines[r].front()->resultLine) + 1;
        out += r ? ",[" : "[";
        AppendNumber(out, static_cast<uint64_t>(fallback));
        int64_t address = regions[r].address, number = fallback;
        for (const ListedLine* line : lines[r]) {
            const int64_t lineNumber = static_cast<int64_t>(line->resultLine) + 1;
            out += ',';
            AppendSigned(out, line->first - address);
            out += ',';
            AppendSigned(out, lineNumber - number);
            address = line->first;
            number = lineNumber;
        }
        out += ']';
    }
    out += "],A=[";
    for (size_t r = 0; r < regions.size(); ++r) {
        if (r) out += ',';
        AppendSigned(out, regions[r].address);
    }
    out += "];\n";
}

// Hands the text to the page with every "\n" written as a line end.
void WriteText(TextWriter& page, std::string_view text) {
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
        page.WriteLine(text.substr(start, end - start));
    }
    page.Write(text.substr(start));
}

constexpr const char* kStyle = R"(body{margin:0;font-family:sans-serif;background:#fff;color:#111;
position:relative}
header{position:sticky;top:0;background:#f4f4f4;border-bottom:1px solid #ccc;padding:6px 10px;
max-height:45vh;overflow:auto;z-index:2}
h1{font-size:1.1em;margin:0 0 4px}h2{font-size:1em;margin:10px}
.sum{font-size:.9em;margin-bottom:6px}.legend span{display:inline-block;margin-right:10px}
.legend i{display:inline-block;width:10px;height:10px;margin-right:3px;vertical-align:middle}
.st{font-size:.8em;margin-top:4px}
.strip{position:relative;height:16px;background:#eee;border:1px solid #999;cursor:pointer}
.strip b{position:absolute;top:0;bottom:0;min-width:1px}
.mc{background:#3a7bd5}.md{background:#c9a227}.mb{background:#8e44ad}.ml{background:#27ae60}
.ms{background:#e67e22}.mf{background:#7f8c8d}
.strip .e{width:0;min-width:0;border-left:2px solid #c0392b;top:-3px;bottom:-3px}
main{padding:6px 10px}
#listing{font-family:monospace;white-space:pre;tab-size:8;-moz-tab-size:8;line-height:1.25;margin:0;
position:relative;z-index:1}
#hl{position:absolute;left:0;right:0;background:#fff3a0;display:none;z-index:0}
#listing a{color:#1a4fa0;text-decoration:none}#listing a[id]{font-weight:bold;color:#000}
#listing a[id]:target{background:#fff3a0}
.x{color:#777;margin-left:3ch}#listing .x a{color:#5a7fb0;margin-right:1ch}
#xref{padding:0 10px 20px}#xref dt{font-family:monospace;margin-top:4px}
#xref dt:target{background:#fff3a0}#xref dd{font-size:.85em;margin-left:2em}
)";

// Lines are found by their number: the listing is one block of lines of equal height (ROWS of
// them: a last line that is empty shows none).
constexpr const char* kScript = R"(var P=document.getElementById('listing'),
M=document.getElementById('map'),HL=document.getElementById('hl');
function keepClearOfHeader(){document.documentElement.style.scrollPaddingTop=M.offsetHeight+'px';}
keepClearOfHeader();window.addEventListener('resize',keepClearOfHeader);
function goLine(n){if(!(n>=1&&n<=N))return;var h=P.offsetHeight/ROWS,top=P.offsetTop+(n-1)*h;
HL.style.top=top+'px';HL.style.height=h+'px';HL.style.display='block';
window.scrollTo(0,Math.max(0,top-M.offsetHeight-3*h));}
function followHash(){var m=/^#L([0-9]+)$/.exec(location.hash);if(m)goLine(+m[1]);}
window.addEventListener('hashchange',followHash);followHash();
function lineAt(r,a){var v=R[r];if(!v)return 1;var at=A[r],n=v[0],best=v[0];
for(var i=1;i<v.length;i+=2){at+=v[i];n+=v[i+1];if(at<=a)best=n;else break;}return best;}
M.addEventListener('click',function(ev){
var t=ev.target;if(!t.dataset||t.dataset.r===undefined)return;
var b=t.getBoundingClientRect(),a=+t.dataset.a,e=+t.dataset.e;
if(b.width>0)a+=Math.floor((ev.clientX-b.left)/b.width*(e-a));if(a>=e)a=e-1;
var n=lineAt(+t.dataset.r,a);if(location.hash==='#L'+n)goLine(n);else location.hash='L'+n;});
)";

}  // namespace

void KeepResultForPage(RunState& state) {
    if (state.writePage == 1) state.asmFile.KeepCopy(&state.resultText, kKeptResultLimit);
}

std::string PageNameOf(const std::string& resultName) {
    const size_t slash = resultName.rfind('/');
    const size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = resultName.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > leaf;
    return (hasExtension ? resultName.substr(0, dot) : resultName) + kPageExtension;
}

void WriteHtmlPage(RunState& state) {
    std::vector<std::string_view> lines;
    std::string text;
    std::vector<uint32_t> ends;
    if (state.asmFile.KeptCopy()) {
        // The result as it was written: lines that end CR LF, the last one perhaps without.
        const std::string_view kept = state.resultText;
        for (size_t start = 0; start < kept.size();) {
            size_t end = kept.find("\r\n", start);
            if (end == std::string_view::npos) end = kept.size();
            lines.push_back(kept.substr(start, end - start));
            start = end + 2;
        }
    } else {
        TextReader reader;
        reader.Open(state.resultName);
        reader.ReadAllLines(text, ends);
        reader.Close();
        lines.reserve(ends.size());
        for (size_t i = 0, start = 0; i < ends.size(); start = ends[i++]) {
            lines.emplace_back(text.data() + start, ends[i] - start);
        }
    }
    EndListedLines(state);

    const bool utf8 = IsUtf8(lines);
    std::vector<Mention> mentions;
    const Symbols symbols = CollectSymbols(lines, mentions);
    const std::vector<std::vector<Run>> runs = RunsOfRegions(state);
    const std::vector<int64_t> entries = EntryPoints(state);
    int64_t codeBytes = 0, dataBytes = 0;
    for (const std::vector<Run>& list : runs) {
        for (const Run& run : list) {
            (run.kind == Stretch::Code ? codeBytes : dataBytes) += run.end - run.first;
        }
    }

    TextWriter page;
    ResultReplacement replacement(page, state.pageName);
    std::string out;
    out.reserve(1 << 16);
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += kPageMark;
    out += "\n<title>";
    AppendEscaped(out, state.resultName, utf8);
    out += "</title>\n<style>\n";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<header id=\"map\">\n<h1>";
    AppendEscaped(out, state.resultName, utf8);
    out += "</h1>\n<div class=\"sum\">Image: " + std::to_string(state.imageSize) +
           " bytes; segments: " + std::to_string(state.image.segments.size()) +
           "; entry points: " + std::to_string(entries.size()) +
           "; passes: " + std::to_string(state.passCount) + "; code: " + std::to_string(codeBytes) +
           " bytes; data: " + std::to_string(dataBytes) +
           " bytes; lines: " + std::to_string(lines.size()) +
           " (<a href=\"#xref\">cross references</a>)</div>\n<div class=\"sum legend\">";
    for (size_t k = 0; k < std::size(kStretchClasses); ++k) {
        out += "<span><i class=\"" + std::string(kStretchClasses[k]) + "\"></i>" +
               kStretchNames[k] + "</span>";
    }
    out += "<span><i style=\"background:#c0392b;width:2px\"></i>entry point</span></div>\n";
    AppendMap(out, state, runs, entries);
    out += "</header>\n<main><div id=\"hl\"></div><pre id=\"listing\">";
    WriteText(page, out);
    // The lines one after another, the first right after the tag (a line end there would be
    // dropped by the browser) and the last right before the closing one. Every "\n" of the
    // page's text goes out as a line end.
    out.clear();
    const Mention* mention = mentions.data();
    const Mention* const mentionsEnd = mentions.data() + mentions.size();
    for (size_t n = 0; n < lines.size(); ++n) {
        if (n) out += '\n';
        AppendLine(out, lines[n], n, symbols, mention, mentionsEnd, utf8);
        if (out.size() > (1 << 16)) {
            WriteText(page, out);
            out.clear();
        }
    }
    out += "</pre></main>\n<section id=\"xref\">\n<h2>Cross references</h2>\n<dl>\n";
    std::vector<const Symbol*> listed;
    for (const Symbol& symbol : symbols.list) {
        if (IsListed(symbol)) listed.push_back(&symbol);
    }
    std::sort(listed.begin(), listed.end(),
              [](const Symbol* a, const Symbol* b) { return a->key < b->key; });
    for (const Symbol* symbol : listed) {
        const std::string& key = symbol->key;
        out += "<dt id=\"r-";
        AppendEscaped(out, key, utf8);
        out += "\"><a href=\"#s-";
        AppendEscaped(out, key, utf8);
        out += "\">";
        AppendEscaped(out, symbol->name, utf8);
        out += "</a></dt><dd>";
        if (symbol->references.empty()) out += "no references";
        AppendReferenceLinks(out, symbol->references, SIZE_MAX);
        out += "</dd>\n";
        if (out.size() > (1 << 16)) {
            WriteText(page, out);
            out.clear();
        }
    }
    const size_t rows = lines.size() > 1 && lines.back().empty() ? lines.size() - 1 : lines.size();
    out += "</dl>\n</section>\n<script>\nvar N=" + std::to_string(lines.size()) +
           ",ROWS=" + std::to_string(std::max<size_t>(rows, 1)) + ";\n";
    AppendLineTable(out, state);
    out += kScript;
    out += "</script>\n</body>\n</html>\n";
    WriteText(page, out);
    replacement.PutInPlace();
}
