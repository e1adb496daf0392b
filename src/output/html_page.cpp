#include "output/html_page.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/image_map.h"
#include "core/number_text.h"
#include "core/run_state.h"
#include "engine/user_notes.h"
#include "files/console.h"
#include "files/result_replacement.h"
#include "files/text_reader.h"
#include "files/text_writer.h"
#include "reference/label_file.h"

namespace {

// What a line does with a label or name it refers to.
enum class RefKind : uint8_t { Call, Jump, Branch, Read, Write, ReadWrite, Table };
constexpr const char* kRefKindNames[] = {
    "call", "jump", "branch", "read", "write", "read-modify-write", "table"};
constexpr size_t kInlineReferences = 4;  // more are folded away beside the line

struct Reference {
    uint32_t line;  // counted from 0
    RefKind kind;
};

struct Symbol {
    std::string name;  // as the defining line writes it
    uint32_t line = UINT32_MAX;
    bool isEquate = false;
    std::vector<Reference> references;
};

// The labels and names of the result, by their upper-case form (the assembler ignores case).
struct Symbols {
    std::unordered_map<std::string, uint32_t> index;
    std::vector<Symbol> list;

    int Find(std::string_view name) const {
        std::string key(name);
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto it = index.find(key);
        return it == index.end() ? -1 : static_cast<int>(it->second);
    }
};

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '?';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || std::isdigit(static_cast<unsigned char>(c));
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
    std::string m(mnemonic.substr(0, 3));
    for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (m == "jsr") return RefKind::Call;
    if (m == "jmp") return RefKind::Jump;
    static const char* const kBranches[] = {"bpl", "bmi", "bvc", "bvs", "bcc",
                                            "bcs", "bne", "beq", "bra"};
    for (const char* branch : kBranches) {
        if (m == branch) return RefKind::Branch;
    }
    if (m == "dta") return RefKind::Table;
    switch (UseOfMnemonic(m)) {
        case OperandUse::Write:
            return RefKind::Write;
        case OperandUse::ReadWrite:
            return RefKind::ReadWrite;
        default:
            return RefKind::Read;
    }
}

// Calls found(position, length, symbol, kind) for every label or name the line's statement
// refers to, in order.
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
    const RefKind kind = KindOfMnemonic(line.substr(mnemonic, i - mnemonic));
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
        } else if (c == '$' || c == '%' || std::isdigit(static_cast<unsigned char>(c))) {
            ++i;
            while (i < line.size() && IsNameChar(line[i])) ++i;
        } else if (IsNameStart(c)) {
            const size_t start = i;
            while (i < line.size() && IsNameChar(line[i])) ++i;
            if (i < line.size() && (line[i] == '(' || line[i] == '\'')) continue;  // a(, c'
            const int symbol = symbols.Find(line.substr(start, i - start));
            if (symbol >= 0) found(start, i - start, symbol, kind);
        } else {
            ++i;
        }
    }
}

bool IsUtf8(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
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

std::string KeyOf(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

Symbols CollectSymbols(const std::vector<std::string>& lines) {
    Symbols symbols;
    for (size_t n = 0; n < lines.size(); ++n) {
        const LineParts parts = PartsOf(lines[n]);
        if (parts.name.empty()) continue;
        const auto inserted =
            symbols.index.emplace(KeyOf(parts.name), static_cast<uint32_t>(symbols.list.size()));
        if (!inserted.second) continue;  // the first definition is the one linked to
        Symbol symbol;
        symbol.name.assign(parts.name);
        symbol.line = static_cast<uint32_t>(n);
        symbol.isEquate = parts.isEquate;
        symbols.list.push_back(std::move(symbol));
    }
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = lines[n];
        ForEachReference(
            line, PartsOf(line), symbols, [&](size_t, size_t, int symbol, RefKind kind) {
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

void AppendReferenceLinks(std::string& out, const std::vector<Reference>& refs) {
    for (size_t i = 0; i < refs.size(); ++i) {
        const std::string number = std::to_string(refs[i].line + 1);
        out += i ? " <a href=\"#L" : "<a href=\"#L";
        out +=
            number + "\">" + kRefKindNames[static_cast<int>(refs[i].kind)] + " " + number + "</a>";
    }
}

// One line of the listing: its text with the labels linked, and beside a defining line the
// places that refer to it.
void AppendLine(std::string& out, const std::string& line, size_t n, const Symbols& symbols,
                bool utf8) {
    out += "<div id=\"L" + std::to_string(n + 1) + "\">";
    const LineParts parts = PartsOf(line);
    size_t copied = 0;
    const Symbol* defined = nullptr;
    if (!parts.name.empty()) {
        const int index = symbols.Find(parts.name);
        if (index >= 0 && symbols.list[static_cast<size_t>(index)].line == n) {
            defined = &symbols.list[static_cast<size_t>(index)];
            const std::string key = KeyOf(parts.name);
            out += "<a class=\"d\" id=\"s-";
            AppendEscaped(out, key, utf8);
            if (IsListed(*defined)) {
                out += "\" href=\"#r-";
                AppendEscaped(out, key, utf8);
            }
            out += "\">";
            AppendEscaped(out, parts.name, utf8);
            out += "</a>";
            copied = parts.name.size();
        }
    }
    ForEachReference(line, parts, symbols, [&](size_t at, size_t length, int symbol, RefKind) {
        AppendEscaped(out, std::string_view(line).substr(copied, at - copied), utf8);
        out += "<a href=\"#s-";
        AppendEscaped(out, KeyOf(symbols.list[static_cast<size_t>(symbol)].name), utf8);
        out += "\">";
        AppendEscaped(out, std::string_view(line).substr(at, length), utf8);
        out += "</a>";
        copied = at + length;
    });
    AppendEscaped(out, std::string_view(line).substr(copied), utf8);
    if (defined && !defined->references.empty()) {
        const std::vector<Reference>& refs = defined->references;
        if (refs.size() <= kInlineReferences) {
            out += "<span class=\"x\">";
            AppendReferenceLinks(out, refs);
            out += "</span>";
        } else {
            out += "<details class=\"x\"><summary>" + std::to_string(refs.size()) +
                   " references</summary>";
            AppendReferenceLinks(out, refs);
            out += "</details>";
        }
    }
    out += "</div>";
}

// The map: stretches of one kind of bytes in a region.
enum class Stretch : uint8_t { Code, Data, Block, DisplayList, Screen, Font };
constexpr const char* kStretchClasses[] = {"c", "d", "b", "l", "s", "f"};
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

std::string Percent(int64_t part, int64_t whole) {
    const int64_t tenths = whole > 0 ? part * 100000 / whole : 0;
    return std::to_string(tenths / 1000) + "." + std::to_string(tenths / 100 % 10) +
           std::to_string(tenths / 10 % 10) + std::to_string(tenths % 10) + "%";
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
                const std::string title = "$" + FormatHex(run.first, 4) + "-$" +
                                          FormatHex(run.end - 1, 4) + " " +
                                          kStretchNames[static_cast<int>(run.kind)];
                out += "<span class=\"" + std::string(kStretchClasses[static_cast<int>(run.kind)]) +
                       "\" style=\"left:" + Percent(run.first - low, high - low) +
                       ";width:" + Percent(run.end - run.first, high - low) + "\" data-r=\"" +
                       std::to_string(r) + "\" data-a=\"" + std::to_string(run.first) +
                       "\" data-e=\"" + std::to_string(run.end) + "\" title=\"" + title +
                       "\"></span>";
            }
        }
        for (int64_t entry : entries) {
            for (int r : strip.regions) {
                const Region& region = regions[static_cast<size_t>(r)];
                if (entry < region.address || entry >= EndAddress(region)) continue;
                out += "<span class=\"e\" style=\"left:" + Percent(entry - low, high - low) +
                       "\" data-r=\"" + std::to_string(r) + "\" data-a=\"" + std::to_string(entry) +
                       "\" data-e=\"" + std::to_string(entry + 1) + "\" title=\"entry point $" +
                       FormatHex(entry, 4) + "\"></span>";
                break;
            }
        }
        out += "</div>\n";
    }
}

// Per region: the line a click on it goes to when no line holds the address, then the first
// address and the line (counted from 1) of each line holding its bytes.
void AppendLineTable(std::string& out, const RunState& state) {
    const size_t count = state.image.regions.size();
    std::vector<std::vector<const ListedLine*>> lines(count);
    for (const ListedLine& line : state.listedLines) {
        lines[static_cast<size_t>(line.region)].push_back(&line);
    }
    uint64_t fallback = 1;
    out += "var R=[";
    for (size_t r = 0; r < count; ++r) {
        if (!lines[r].empty()) fallback = lines[r].front()->resultLine + 1;
        out += r ? ",[" : "[";
        out += std::to_string(fallback);
        for (const ListedLine* line : lines[r]) {
            out += "," + std::to_string(line->first) + "," + std::to_string(line->resultLine + 1);
        }
        out += "]";
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

constexpr const char* kStyle = R"(body{margin:0;font-family:sans-serif;background:#fff;color:#111}
header{position:sticky;top:0;background:#f4f4f4;border-bottom:1px solid #ccc;padding:6px 10px;
max-height:45vh;overflow:auto;z-index:1}
h1{font-size:1.1em;margin:0 0 4px}h2{font-size:1em;margin:10px}
.sum{font-size:.9em;margin-bottom:6px}.legend span{display:inline-block;margin-right:10px}
.legend i{display:inline-block;width:10px;height:10px;margin-right:3px;vertical-align:middle}
.st{font-size:.8em;margin-top:4px}
.strip{position:relative;height:16px;background:#eee;border:1px solid #999;cursor:pointer}
.strip span{position:absolute;top:0;bottom:0;min-width:1px}
.c{background:#3a7bd5}.d{background:#c9a227}.b{background:#8e44ad}.l{background:#27ae60}
.s{background:#e67e22}.f{background:#7f8c8d}
.strip .e{width:0;min-width:0;border-left:2px solid #c0392b;top:-3px;bottom:-3px}
#listing{font-family:monospace;padding:6px 10px}
#listing div{white-space:pre;tab-size:8;-moz-tab-size:8;min-height:1.2em}#listing div:target{background:#fff3a0}
#listing a{color:#1a4fa0;text-decoration:none}#listing a.d{font-weight:bold;color:#000}
.x,.x summary{display:inline;font-family:sans-serif;font-size:.8em;color:#666;margin-left:2em}
.x a{margin-right:.6em}details.x[open]{display:inline-block;white-space:normal;max-width:60em}
#xref{padding:0 10px 20px}#xref dt{font-family:monospace;margin-top:4px}
#xref dt:target{background:#fff3a0}#xref dd{font-size:.85em;margin-left:2em}
)";

constexpr const char* kScript = R"(function lineAt(r,a){var v=R[r];if(!v)return 1;
var lo=0,hi=(v.length-1)/2-1,best=v[0];
while(lo<=hi){var m=(lo+hi)>>1;if(v[1+2*m]<=a){best=v[2+2*m];lo=m+1;}else hi=m-1;}return best;}
document.getElementById('map').addEventListener('click',function(ev){
var t=ev.target;if(!t.dataset||t.dataset.r===undefined)return;
var b=t.getBoundingClientRect(),a=+t.dataset.a,e=+t.dataset.e;
if(b.width>0)a+=Math.floor((ev.clientX-b.left)/b.width*(e-a));if(a>=e)a=e-1;
location.hash='L'+lineAt(+t.dataset.r,a);});
)";

}  // namespace

std::string PageNameOf(const std::string& resultName) {
    const size_t slash = resultName.rfind('/');
    const size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = resultName.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > leaf;
    return (hasExtension ? resultName.substr(0, dot) : resultName) + kPageExtension;
}

void WriteHtmlPage(RunState& state) {
    std::vector<std::string> lines;
    TextReader reader;
    reader.Open(state.resultName);
    while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
    reader.Close();
    EndListedLines(state);

    const bool utf8 = IsUtf8(lines);
    const Symbols symbols = CollectSymbols(lines);
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
    out += "</header>\n<main id=\"listing\">\n";
    WriteText(page, out);
    for (size_t n = 0; n < lines.size(); ++n) {
        out.clear();
        AppendLine(out, lines[n], n, symbols, utf8);
        page.WriteLine(out);
    }
    out = "</main>\n<section id=\"xref\">\n<h2>Cross references</h2>\n<dl>\n";
    std::vector<const Symbol*> listed;
    for (const Symbol& symbol : symbols.list) {
        if (IsListed(symbol)) listed.push_back(&symbol);
    }
    std::sort(listed.begin(), listed.end(),
              [](const Symbol* a, const Symbol* b) { return KeyOf(a->name) < KeyOf(b->name); });
    for (const Symbol* symbol : listed) {
        const std::string key = KeyOf(symbol->name);
        out += "<dt id=\"r-";
        AppendEscaped(out, key, utf8);
        out += "\"><a href=\"#s-";
        AppendEscaped(out, key, utf8);
        out += "\">";
        AppendEscaped(out, symbol->name, utf8);
        out += "</a></dt><dd>";
        if (symbol->references.empty()) out += "no references";
        AppendReferenceLinks(out, symbol->references);
        out += "</dd>\n";
        if (out.size() > (1 << 16)) {
            WriteText(page, out);
            out.clear();
        }
    }
    out += "</dl>\n</section>\n<script>\n";
    AppendLineTable(out, state);
    out += kScript;
    out += "</script>\n</body>\n</html>\n";
    WriteText(page, out);
    replacement.PutInPlace();
}
