#include "output/html_page.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/image_map.h"
#include "core/number_text.h"
#include "core/run_state.h"
#include "engine/user_notes.h"
#include "files/char_scan.h"
#include "files/file_ops.h"
#include "files/result_replacement.h"
#include "files/text_writer.h"
#include "reference/label_file.h"

// The page carries the result as it stands and leaves the rest to its script, which makes the
// anchors and links, the lists of references and the map's marks as the browser opens it. What
// only the run knows goes in as compact data: which addresses each line holds, the map's
// stretches, the kind of reference of each instruction. So the page stays about the size of the
// result and is written in a moment.

namespace {

// What a line does with a label or name it refers to; the letter that stands for it in the
// page's data.
enum class RefKind : uint8_t { Call, Jump, Branch, Read, Write, ReadWrite, Table };
constexpr char kRefKindLetters[] = "cjbrwmt";
constexpr uintmax_t kWholeResultLimit = 4 << 20;  // a longer result is read in pieces, twice
constexpr size_t kFlushSize = 12 * 1024;  // the text for the page goes out in pieces this big

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

// What the page needs to know of the result before writing its listing, gathered as the result
// is read piece by piece: its size, its line feeds, how it starts and ends, and whether it is
// UTF-8 text (every byte above $7F in a sequence of a lead byte and its continuation bytes).
struct ResultFacts {
    uint64_t size = 0;
    uint64_t lineFeeds = 0;
    std::string start, end;  // the first two bytes and the last two
    bool utf8 = true;
    int continuations = 0;  // still due in the sequence being read

    void Take(std::string_view piece) {
        if (start.size() < 2) start += piece.substr(0, 2 - start.size());
        end += piece.substr(piece.size() - std::min<size_t>(piece.size(), 2));
        end.erase(0, end.size() - std::min<size_t>(end.size(), 2));
        size += piece.size();
        lineFeeds += CountLineFeeds(piece.data(), piece.size());
        for (size_t i = 0; i < piece.size() && utf8;) {
            // Sixteen plain characters at a time.
            if (continuations == 0 && piece.size() - i >= sizeof(CharChunk) &&
                MatchBits((LoadChunk(piece.data() + i) & static_cast<char>(0x80)) != 0) == 0) {
                i += sizeof(CharChunk);
                continue;
            }
            const unsigned char c = static_cast<unsigned char>(piece[i++]);
            if (continuations > 0) {
                utf8 = (c >> 6) == 2;
                --continuations;
            } else if (c >= 0x80) {
                continuations = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
                utf8 = continuations > 0;
            }
        }
    }
    bool IsUtf8() const { return utf8 && continuations == 0; }
    // Lines end CR LF, the last one perhaps without.
    uint64_t LineCount() const { return lineFeeds + (size == 0 || end.back() == '\n' ? 0 : 1); }
    // Where the text ends without the last line's end.
    uint64_t TextEnd() const {
        if (end == "\r\n") return size - 2;
        return size > 0 && (end.back() == '\n' || end.back() == '\r') ? size - 1 : size;
    }
    bool StartsWithLineEnd() const {
        return start == "\r\n" || (!start.empty() && start[0] == '\n');
    }
};

// The text for the page: markup characters as entities, and, in a result that is no UTF-8
// text, each byte above $7F as the character of that code.
void AppendEscaped(std::string& out, std::string_view text, bool utf8) {
    bool plain = true;
    for (const char ch : text) {
        if (ch == '&' || ch == '<' || ch == '>' || (!utf8 && (ch & 0x80))) {
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
        if (ch == '&') {
            out += "&amp;";
        } else if (ch == '<') {
            out += "&lt;";
        } else if (ch == '>') {
            out += "&gt;";
        } else if (c >= 0x80 && !utf8) {
            out += "&#x";
            out += FormatHex(c, 2);
            out += ';';
        } else {
            out += ch;
        }
    }
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
    AppendNumber(out, value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
}

// Appends the text with every "\n" in it written as a line end.
void AppendWithLineEnds(std::string& out, std::string_view text) {
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
        out.append(text.substr(start, end - start));
        out += "\r\n";
    }
    out.append(text.substr(start));
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
        const Region& region = regions[static_cast<size_t>(line.Region())];
        if (region.kind != RegionKind::Code) continue;
        const Stretch kind = line.IsTable()  ? Stretch::Block
                             : line.IsData() ? Stretch::Data
                                             : Stretch::Code;
        add(line.Region(), line.first, std::min(line.End(), EndAddress(region)), kind);
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

// The page's text, handed to its writer whenever a good piece of it is ready.
struct PageText {
    TextWriter& page;
    std::string out;
    void FlushIfFull() {
        if (out.size() >= kFlushSize) Flush();
    }
    void Flush() {
        page.Write(out);
        out.clear();
    }
    // A piece of text as it stands; a long one goes to the writer without a copy here.
    void Put(std::string_view piece) {
        if (piece.size() < 4096) {
            out.append(piece);
            FlushIfFull();
            return;
        }
        Flush();
        page.Write(piece);
    }
};

// Per strip of the map: its heading, its lowest address and the address after its highest, its
// stretches (region, kind, distance of the first address from the lowest, length) and its entry
// points (region, address); then the classes and names of the kinds.
void AppendMapData(PageText& text, const RunState& state, const std::vector<std::vector<Run>>& runs,
                   const std::vector<int64_t>& entries) {
    std::string& out = text.out;
    const std::vector<Region>& regions = state.image.regions;
    out += "var S=[";
    bool firstStrip = true;
    for (const Strip& strip : StripsOf(state)) {
        int64_t low = INT64_MAX, high = INT64_MIN;
        for (int r : strip.regions) {
            low = std::min(low, regions[static_cast<size_t>(r)].address);
            high = std::max(high, EndAddress(regions[static_cast<size_t>(r)]));
        }
        if (high <= low) continue;
        out += firstStrip ? "\n[\"" : ",\n[\"";
        firstStrip = false;
        out += strip.title + ": $" + FormatHex(low, 4) + "-$" + FormatHex(high - 1, 4) + "\",";
        AppendSigned(out, low);
        out += ',';
        AppendSigned(out, high);
        out += ",[";
        bool first = true;
        for (int r : strip.regions) {
            for (const Run& run : runs[static_cast<size_t>(r)]) {
                if (!first) out += ',';
                first = false;
                AppendNumber(out, static_cast<uint64_t>(r));
                out += ',';
                AppendNumber(out, static_cast<uint64_t>(run.kind));
                out += ',';
                AppendSigned(out, run.first - low);
                out += ',';
                AppendSigned(out, run.end - run.first);
                text.FlushIfFull();
            }
        }
        out += "],[";
        first = true;
        for (int64_t entry : entries) {
            for (int r : strip.regions) {
                const Region& region = regions[static_cast<size_t>(r)];
                if (entry < region.address || entry >= EndAddress(region)) continue;
                if (!first) out += ',';
                first = false;
                AppendNumber(out, static_cast<uint64_t>(r));
                out += ',';
                AppendSigned(out, entry);
                break;
            }
        }
        out += "]]";
    }
    out += "],\nCL=[";
    for (size_t k = 0; k < std::size(kStretchClasses); ++k) {
        out += k ? ",\"" : "\"";
        out += kStretchClasses[k];
        out += "\"";
    }
    out += "],NM=[";
    for (size_t k = 0; k < std::size(kStretchNames); ++k) {
        out += k ? ",\"" : "\"";
        out += kStretchNames[k];
        out += "\"";
    }
    out += "];\n";
}

// The lines that hold the image's bytes, in their order, for finding the line of an address: a
// region's start addresses in A; in T, "~region,offset,line;" starts the lines of a region (the
// first one's address as its distance from the region's start, its number counted from 1); a
// letter is the next line with its address that many bytes further on (A-Z 0-25, a-z 26-51);
// "!address,line;" the next line with both as distances from the line before.
void AppendLineTable(PageText& text, const RunState& state) {
    const std::vector<Region>& regions = state.image.regions;
    std::string& out = text.out;
    out += "var T=\"";
    int region = -1;
    int64_t address = 0, number = 0;
    // Most lines are one letter: those go straight into a piece of the table, the others through
    // the text.
    char piece[1024];
    size_t used = 0;
    auto putPiece = [&] {
        out.append(piece, used);
        used = 0;
    };
    for (const ListedLine& line : state.listedLines) {
        const int64_t lineNumber = static_cast<int64_t>(line.line) + 1;
        const int64_t step = line.first - address;
        if (line.Region() == region && lineNumber == number + 1 && step >= 0 && step < 52) {
            piece[used++] = static_cast<char>(step < 26 ? 'A' + step : 'a' + (step - 26));
            if (used == sizeof piece) putPiece(), text.FlushIfFull();
        } else {
            putPiece();
            if (line.Region() != region) {
                region = line.Region();
                out += '~';
                AppendNumber(out, static_cast<uint64_t>(region));
                out += ',';
                AppendSigned(out, line.first - regions[static_cast<size_t>(region)].address);
                out += ',';
                AppendSigned(out, lineNumber);
            } else {
                out += '!';
                AppendSigned(out, step);
                out += ',';
                AppendSigned(out, lineNumber - number);
            }
            out += ';';
            text.FlushIfFull();
        }
        address = line.first;
        number = lineNumber;
    }
    putPiece();
    out += "\",A=[";
    for (size_t r = 0; r < regions.size(); ++r) {
        if (r) out += ',';
        AppendSigned(out, regions[r].address);
    }
    out += "];\n";
}

// The listing: the result as it stands, its lines ending as they do there, with "&", "<" and ">"
// (and, in a result that is no UTF-8, the bytes above $7F) as entities; a piece of it at a time,
// from the place at on. The last line end stays out (the browser would show an empty line after
// it), and an empty first line gets one more line end before it (the browser drops one right
// after the opening tag).
void AppendListingPiece(PageText& text, std::string_view piece, uint64_t at,
                        const ResultFacts& facts) {
    const bool utf8 = facts.IsUtf8();
    if (at == 0 && facts.StartsWithLineEnd()) text.out += "\r\n";
    if (at >= facts.TextEnd()) return;
    piece = piece.substr(
        0, static_cast<size_t>(std::min<uint64_t>(piece.size(), facts.TextEnd() - at)));
    CharChunk high = {};
    if (!utf8) high = high == 0;
    size_t copied = 0, i = 0;
    auto escape = [&](size_t place) {
        text.Put(piece.substr(copied, place - copied));
        AppendEscaped(text.out, piece.substr(place, 1), utf8);
        copied = place + 1;
    };
    for (; piece.size() - i >= sizeof(CharChunk); i += sizeof(CharChunk)) {
        const CharChunk c = LoadChunk(piece.data() + i);
        uint32_t specials = MatchBits((c == '&') | (c == '<') | (c == '>') |
                                      (((c & static_cast<char>(0x80)) != 0) & high));
        for (; specials != 0; specials &= specials - 1) {
            escape(i + static_cast<size_t>(__builtin_ctz(specials)));
        }
    }
    for (; i < piece.size(); ++i) {
        const char c = piece[i];
        if (c == '&' || c == '<' || c == '>' || (!utf8 && (c & 0x80))) escape(i);
    }
    text.Put(piece.substr(copied));
}

// The kinds of reference of the instructions that are no plain reads, by their first three
// letters (the script reads the rest as reads).
void AppendKindTable(std::string& out, const RunState& state) {
    std::vector<std::string> seen;
    out += "var K={";
    auto add = [&](std::string_view pattern) {
        if (pattern.size() < 3) return;
        std::string mnemonic(pattern.substr(0, 3));
        for (char& c : mnemonic) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        const RefKind kind = KindOfMnemonic(mnemonic);
        if (kind == RefKind::Read || std::find(seen.begin(), seen.end(), mnemonic) != seen.end()) {
            return;
        }
        for (const char c : mnemonic) {
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return;  // no name
        }
        out += seen.empty() ? "" : ",";
        out += "\"" + mnemonic + "\":\"" + kRefKindLetters[static_cast<int>(kind)] + "\"";
        seen.push_back(std::move(mnemonic));
    };
    add("dta");
    for (const std::string& pattern : state.mnemonicTable) add(pattern);
    out += "};\n";
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
#listing a{color:#1a4fa0;text-decoration:none;cursor:pointer}
#listing a[id]{font-weight:bold;color:#000}#listing a[id]:target{background:#fff3a0}
.x{color:#777;margin-left:3ch}#listing .x a{color:#5a7fb0;margin-right:1ch}
#xref{padding:0 10px 20px}#xref dt{font-family:monospace;margin-top:4px}
#xref dt:target{background:#fff3a0}#xref dd{font-size:.85em;margin-left:2em}
)";

// Builds what the page's data describes. The listing's lines: each name a line defines becomes
// an anchor, each name a statement refers to a link to it (read as the assembler reads the line:
// after its mnemonic, outside quotes, up to a comment; an index register after its comma and a
// letter before "(" or a quote are no names); beside each defining line the first few references
// with their kinds (K) and a link to the rest, all of them in a list at the end. Then the map's
// marks (S), and the table that leads a click on the map to its line (T). Lines are found by
// their number ("#l123"): the listing is one block of lines of equal height (a last line that is
// empty shows none).
constexpr const char* kScript = R"(var P=document.getElementById('listing'),
M=document.getElementById('map'),HL=document.getElementById('hl'),
LINES=P.textContent.split('\n'),N=LINES.length,ROWS=N>1&&LINES[N-1]===''?N-1:N,
KIND={c:'call',j:'jump',b:'branch',r:'read',w:'write',m:'read-modify-write',t:'table'};
function isStart(c){return c>=65&&c<=90||c>=97&&c<=122||c===95||c===64||c===63;}
function isName(c){return isStart(c)||c>=48&&c<=57;}
function isBlank(c){return c===32||c===9;}
function esc(t){return t.replace(/[&<>]/g,function(c){return c==='&'?'&amp;':c==='<'?'&lt;':'&gt;';});}
function refLinks(refs,count){var h='';for(var k=0;k<refs.length&&k<count;k++)
h+=(k?' ':'')+'<a href="#l'+refs[k][1]+'">'+KIND[refs[k][0]]+' '+refs[k][1]+'</a>';return h;}
(function(){var DEF=Object.create(null),HEAD=[],H=[],i,s;
function head(s){var e=1,a;while(e<s.length&&isName(s.charCodeAt(e)))e++;
if(e<s.length&&!isBlank(s.charCodeAt(e))&&s.charAt(e)!=='=')return null;
for(a=e;s.charAt(a)===' ';a++);if(s.charAt(a)==='=')return[s.substring(0,e),true,-1];
return[s.substring(0,e),false,s.indexOf('\t',e)];}
function refsOf(s,j,found){var n=s.length,q=false,w,word,c,a,d,k;
while(j<n&&isBlank(s.charCodeAt(j)))j++;
if(s.charAt(j)===':'){j++;while(j<n&&s.charCodeAt(j)>=48&&s.charCodeAt(j)<=57)j++;
while(j<n&&isBlank(s.charCodeAt(j)))j++;}
if(j>=n)return;for(w=j;j<n&&!isBlank(s.charCodeAt(j));j++);word=s.substring(w,j);
while(j<n){c=s.charCodeAt(j);
if(c===39){q=!q;j++;}else if(q)j++;else if(c===59)return;
else if(c===36||c===37||c>=48&&c<=57){for(j++;j<n&&isName(s.charCodeAt(j));j++);}
else if(isStart(c)){for(a=j++;j<n&&isName(s.charCodeAt(j));j++);d=s.charCodeAt(j);
if(d===40||d===39)continue;
if(j-a===1&&s.charCodeAt(a-1)===44&&(c===120||c===121||c===88||c===89))continue;
k=s.substring(a,j).toUpperCase();if(DEF[k])found(a,j,DEF[k],word);}
else j++;}}
for(i=0;i<N;i++){s=LINES[i];var h=s&&isStart(s.charCodeAt(0))?head(s):null;HEAD[i]=h;
if(!h)continue;var key=h[0].toUpperCase();
if(!DEF[key])DEF[key]={key:key,name:h[0],line:i,eq:h[1],refs:[]};}
var D=[];for(i=0;i<N;i++){s=LINES[i];var h=HEAD[i],out='',at=0,st=-1,kind=null,line=i+1,d;
if(h){d=DEF[h[0].toUpperCase()];st=h[2];if(d.line===i){D[i]=d;at=h[0].length;}}
else if(isBlank(s.charCodeAt(0)))st=0;
if(st>=0)refsOf(s,st,function(a,e,d,word){
out+=esc(s.substring(at,a))+'<a href="#'+d.key+'">'+s.substring(a,e)+'</a>';at=e;
if(kind===null)kind=K[word.substring(0,3).toLowerCase()]||'r';
var r=d.refs,last=r[r.length-1];if(!last||last[1]!==line||last[0]!==kind)r.push([kind,line]);});
H.push(out+esc(s.substring(at)));}
var listed=[];for(i=0;i<N;i++){var d=D[i];if(!d)continue;var r=d.refs,shown=!d.eq||r.length>0;
if(shown)listed.push(d);
H[i]='<a id="'+d.key+'"'+(shown?' href="#r-'+d.key+'"':'')+'>'+d.name+'</a>'+H[i]+(r.length?
'<span class="x">'+refLinks(r,4)+(r.length>4?' <a href="#r-'+d.key+'">'+(r.length-4)+
' more</a>':'')+'</span>':'');}
P.innerHTML=H.join('\n');
listed.sort(function(a,b){return a.key<b.key?-1:a.key>b.key?1:0;});
var L=[];for(i=0;i<listed.length;i++){var d=listed[i];L.push('<dt id="r-'+d.key+'"><a href="#'+
d.key+'">'+d.name+'</a></dt><dd>'+(d.refs.length?refLinks(d.refs,Infinity):'no references')+'</dd>');}
document.getElementById('refs').innerHTML=L.join('\n');})();
function hex(n){var s=(n>>>0).toString(16).toUpperCase();if(s.length&1)s='0'+s;
while(s.length<4)s='0'+s;return s;}
function pct(x,w){return(w>0?x*100/w:0).toFixed(3)+'%';}
(function(){var h='';for(var i=0;i<S.length;i++){var s=S[i],low=s[1],w=s[2]-low,v=s[3],e=s[4],k;
h+='<div class="st">'+s[0]+'</div><div class="strip">';
for(k=0;k<v.length;k+=4){var a=low+v[k+2],end=a+v[k+3];h+='<b class="'+CL[v[k+1]]+'" style="left:'+
pct(a-low,w)+';width:'+pct(end-a,w)+'" data-r="'+v[k]+'" data-a="'+a+'" data-e="'+end+'" title="$'+
hex(a)+'-$'+hex(end-1)+' '+NM[v[k+1]]+'"></b>';}
for(k=0;k<e.length;k+=2)h+='<b class="e" style="left:'+pct(e[k+1]-low,w)+'" data-r="'+e[k]+
'" data-a="'+e[k+1]+'" data-e="'+(e[k+1]+1)+'" title="entry point $'+hex(e[k+1])+'"></b>';
h+='</div>';}document.getElementById('strips').innerHTML=h;})();
var RA=[],RL=[],FB=[];
(function(){var r=0,a=0,n=0,i=0,c,j,p;while(i<T.length){c=T.charCodeAt(i);
if(c===126||c===33){j=T.indexOf(';',i);p=T.substring(i+1,j).split(',');i=j+1;
if(c===126){r=+p[0];a=A[r]+(+p[1]);n=+p[2];}else{a+=+p[0];n+=+p[1];}}
else{a+=c<97?c-65:c-71;n++;i++;}
(RA[r]||(RA[r]=[])).push(a);(RL[r]||(RL[r]=[])).push(n);}
for(r=0,n=1;r<A.length;r++){if(RL[r])n=RL[r][0];FB[r]=n;}})();
function lineAt(r,a){var v=RA[r],best=FB[r]||1;if(!v)return best;
for(var i=0;i<v.length&&v[i]<=a;i++)best=RL[r][i];return best;}
function keepClearOfHeader(){document.documentElement.style.scrollPaddingTop=M.offsetHeight+'px';}
keepClearOfHeader();window.addEventListener('resize',keepClearOfHeader);
function goLine(n){if(!(n>=1&&n<=N))return;var h=P.offsetHeight/ROWS,top=P.offsetTop+(n-1)*h;
HL.style.top=top+'px';HL.style.height=h+'px';HL.style.display='block';
window.scrollTo(0,Math.max(0,top-M.offsetHeight-3*h));}
function followHash(){var m=/^#l([0-9]+)$/.exec(location.hash);if(m)return goLine(+m[1]);
var t=location.hash.length>1&&document.getElementById(decodeURIComponent(location.hash.slice(1)));
if(t)t.scrollIntoView();}
window.addEventListener('hashchange',followHash);followHash();
M.addEventListener('click',function(ev){
var t=ev.target;if(!t.dataset||t.dataset.r===undefined)return;
var b=t.getBoundingClientRect(),a=+t.dataset.a,e=+t.dataset.e;
if(b.width>0)a+=Math.floor((ev.clientX-b.left)/b.width*(e-a));if(a>=e)a=e-1;
var n=lineAt(+t.dataset.r,a);if(location.hash==='#l'+n)goLine(n);else location.hash='l'+n;});
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
    // The result as it was written, read again into the room the listing's copy had: in one
    // piece up to a few MB, else piece by piece twice, first for what the head needs to know,
    // then into the listing.
    std::string buffer = std::move(state.listingText);
    state.listingKept = false;
    std::error_code error;
    const uintmax_t resultSize = std::filesystem::file_size(state.resultName, error);
    if (!error && resultSize < kWholeResultLimit && buffer.size() <= resultSize) {
        buffer.resize(static_cast<size_t>(resultSize) + 1);  // the read that meets the end is short
    }
    ResultFacts facts;
    std::string_view whole;  // the result, when it came in one piece
    int pieces = 0;
    ReadInPieces(state.resultName, buffer, [&](std::string_view piece) {
        facts.Take(piece);
        whole = piece;
        ++pieces;
    });
    EndListedLines(state);

    const bool utf8 = facts.IsUtf8();
    const uint64_t lineCount = facts.LineCount();
    const std::vector<std::vector<Run>> runs = RunsOfRegions(state);
    const std::vector<int64_t> entries = EntryPoints(state);
    int64_t codeBytes = 0, dataBytes = 0;
    for (const std::vector<Run>& list : runs) {
        for (const Run& run : list) {
            (run.kind == Stretch::Code ? codeBytes : dataBytes) += run.end - run.first;
        }
    }

    TextWriter& page = state.asmFile;  // done with the result: its buffer serves again
    ResultReplacement replacement(page, state.pageName);
    PageText text{page, {}};
    std::string& out = text.out;
    out.reserve(kFlushSize + 8192);
    AppendWithLineEnds(out,
                       "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n");
    out += kPageMark;
    out += "\r\n<title>";
    AppendEscaped(out, state.resultName, utf8);
    out += "</title>\r\n<style>\r\n";
    AppendWithLineEnds(out, kStyle);
    text.FlushIfFull();
    AppendWithLineEnds(out, "</style>\n</head>\n<body>\n<header id=\"map\">\n<h1>");
    AppendEscaped(out, state.resultName, utf8);
    out += "</h1>\r\n<div class=\"sum\">Image: " + std::to_string(state.imageSize) +
           " bytes; segments: " + std::to_string(state.image.segments.size()) +
           "; entry points: " + std::to_string(entries.size()) +
           "; passes: " + std::to_string(state.passCount) + "; code: " + std::to_string(codeBytes) +
           " bytes; data: " + std::to_string(dataBytes) +
           " bytes; lines: " + std::to_string(lineCount) +
           " (<a href=\"#xref\">cross references</a>)</div>\r\n<div class=\"sum legend\">";
    for (size_t k = 0; k < std::size(kStretchClasses); ++k) {
        out += "<span><i class=\"" + std::string(kStretchClasses[k]) + "\"></i>" +
               kStretchNames[k] + "</span>";
    }
    AppendWithLineEnds(
        out,
        "<span><i style=\"background:#c0392b;width:2px\"></i>entry point</span></div>\n"
        "<div id=\"strips\"></div>\n</header>\n"
        "<main><div id=\"hl\"></div><pre id=\"listing\">");
    if (pieces == 1) {
        AppendListingPiece(text, whole, 0, facts);
    } else {
        uint64_t at = 0;
        ReadInPieces(state.resultName, buffer, [&](std::string_view piece) {
            AppendListingPiece(text, piece, at, facts);
            at += piece.size();
        });
    }
    AppendWithLineEnds(out,
                       "</pre></main>\n<section id=\"xref\">\n<h2>Cross references</h2>\n"
                       "<dl id=\"refs\"></dl>\n</section>\n"
                       "<noscript><p>The links, the cross references and the map need the page's "
                       "script.</p></noscript>\n<script>\n");
    AppendKindTable(out, state);
    text.FlushIfFull();
    AppendLineTable(text, state);
    AppendMapData(text, state, runs, entries);
    text.FlushIfFull();
    AppendWithLineEnds(out, kScript);
    AppendWithLineEnds(out, "</script>\n</body>\n</html>\n");
    text.Flush();
    replacement.PutInPlaceOfRemoved();
}
