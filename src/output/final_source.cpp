#include "output/final_source.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/address_table.h"
#include "engine/instruction_format.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "files/char_scan.h"
#include "files/console.h"
#include "files/file_ops.h"
#include "files/result_replacement.h"
#include "files/text_reader.h"
#include "output/html_page.h"
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

// The listing's lines, from the copy that the listing phase kept when it was small enough, else
// read back from its file. Either way the same lines: the listing holds no lone CR and no $1A,
// and every line of it ends CR LF.
class ListingLines {
  public:
    ListingLines(RunState& state, const std::string& name) : state_(state) {
        if (!state.listingKept) file_.Open(name);
    }
    bool AtEnd() { return state_.listingKept ? at_ >= state_.listingText.size() : file_.AtEnd(); }
    std::string_view Next() {
        if (!state_.listingKept) {
            file_.ReadLineInto(line_);
            return line_;
        }
        const std::string& text = state_.listingText;
        if (at_ >= text.size()) return std::string_view();
        size_t end = text.find('\n', at_);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at_, end - at_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at_ = end + 1;
        return line;
    }
    void Close() {
        if (!state_.listingKept) file_.Close();
    }

  private:
    RunState& state_;
    TextReader file_;
    std::string line_;
    size_t at_ = 0;
};

// The layer and address of the generated label of the given length at the position; false for
// a token whose digits are no upper-case hex digits (no label is written so).
bool LabelOfToken(std::string_view line, size_t at, size_t length, size_t& layer,
                  int64_t& address) {
    layer = 0;
    for (size_t i = at + 1; line[i] != '_'; ++i) layer = layer * 10 + (line[i] - '0');
    address = 0;
    for (size_t i = at + length - kLabelDigits; i < at + length; ++i) {
        const char c = line[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        address = address * 16 + digit;
    }
    return true;
}

// The inner-label entries: which labels are keys (a bitmap a layer), and their replacements.
struct InnerLabels {
    std::vector<Bitmap> keys;
    std::unordered_map<std::string, std::string> replacements;

    explicit InnerLabels(const std::vector<std::pair<std::string, std::string>>& entries)
        : replacements(entries.begin(), entries.end()) {
        for (const auto& entry : entries) {
            size_t layer;
            int64_t address;
            const std::string_view key = entry.first;
            if (!LabelOfToken(key, 0, LabelTokenLength(key, 0), layer, address)) continue;
            if (keys.size() <= layer) keys.resize(layer + 1, Bitmap{});
            SetBit(keys[layer], address);
        }
    }
};

// The value of each upper-case hex digit, -1 for every other character.
constexpr std::array<int8_t, 256> kUpperHexValue = [] {
    std::array<int8_t, 256> values{};
    for (int c = 0; c < 256; ++c) {
        values[c] = c >= '0' && c <= '9'   ? static_cast<int8_t>(c - '0')
                    : c >= 'A' && c <= 'F' ? static_cast<int8_t>(c - 'A' + 10)
                                           : -1;
    }
    return values;
}();

// The length of the inner-label key that starts at the position ("E", the layer's digits, "_"
// and four upper-case hex digits, read in one go), or 0 when none does. Only the text of a key
// counts: a layer's number is written without leading zeros (the first layer without digits),
// so "E0_1000" or "E01_1000" is a name of the label file, not a key.
size_t KeyLengthAt(std::string_view text, size_t at, const InnerLabels& labels) {
    constexpr size_t kMostLayerDigits = 9;
    size_t layer = 0;
    size_t p = at + 1;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
        layer = layer * 10 + static_cast<size_t>(text[p] - '0');
    }
    const size_t digits = p - (at + 1);
    if (digits > kMostLayerDigits || (digits > 0 && text[at + 1] == '0')) return 0;
    if (p + 1 + kLabelDigits > text.size() || text[p] != '_') return 0;
    const auto digit = [&](size_t i) { return kUpperHexValue[static_cast<uint8_t>(text[i])]; };
    const int d0 = digit(p + 1), d1 = digit(p + 2), d2 = digit(p + 3), d3 = digit(p + 4);
    if ((d0 | d1 | d2 | d3) < 0) return 0;
    const int64_t address = (d0 << 12) | (d1 << 8) | (d2 << 4) | d3;
    if (layer >= labels.keys.size() || !TestBit(labels.keys[layer], address)) return 0;
    return p + 1 + kLabelDigits - at;
}

// The first generated label in the line, at or after the position, that is an inner-label key.
size_t NextKey(std::string_view line, size_t from, const InnerLabels& labels, std::string& key) {
    for (size_t at = line.find('E', from); at != std::string::npos; at = line.find('E', at + 1)) {
        if (const size_t length = KeyLengthAt(line, at, labels)) {
            key.assign(line, at, length);
            return at;
        }
    }
    return std::string::npos;
}

// Rewrites the first occurrence of each key in the line as the key's replacement, unless that
// occurrence begins the line (it is the line's own label). Keys are unique and no replacement
// holds a key (a label inside an instruction is never an instruction's own address), so each
// key's first occurrence can be rewritten where it is found.
void SubstituteInnerLabels(std::string& line, const InnerLabels& labels) {
    std::vector<std::string> seen;  // the keys met in the line (rarely more than one)
    std::string key;
    for (size_t at = NextKey(line, 0, labels, key); at != std::string::npos;
         at = NextKey(line, at + 1, labels, key)) {
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
        seen.push_back(key);
        if (at == 0) continue;
        const std::string& replacement = labels.replacements.at(key);
        line.replace(at, key.size(), replacement);
        at += replacement.size() - 1;
    }
}

// True when "jmp", "rts" or "jsr" starts at the position (the text goes on at least two more).
bool FlowWordAt(std::string_view text, size_t at) {
    const char a = text[at], b = text[at + 1], c = text[at + 2];
    return (a == 'j' && ((b == 'm' && c == 'p') || (b == 's' && c == 'r'))) ||
           (a == 'r' && b == 't' && c == 's');
}

// True when the line holds "jmp", "rts" or "jsr" anywhere.
bool EndsFlow(std::string_view line) {
    for (size_t at = 0; at + 3 <= line.size(); ++at) {
        if (FlowWordAt(line, at)) return true;
    }
    return false;
}

// The bytes before a text's first sixteen as the walk below sees them: a line end before the
// first (the text starts a line), then the first fifteen.
inline CharChunk StartOfText(CharChunk first) {
    char bytes[sizeof(CharChunk)];
    std::memcpy(bytes + 1, &first, sizeof(CharChunk) - 1);
    bytes[0] = '\n';
    return LoadChunk(bytes);
}

// Walks the listing text once, sixteen bytes at a time, and calls
// line(start, next, rewrite, flow, index) for its lines in turn: where the line starts, where the
// next one starts, whether an inner-label key stands in it after its start (its references may
// need a rewrite), whether it holds a jump, a return or a call, and how many lines come before
// it. Only line ends, "E", "j" and "r" stop the walk. With kEveryLine false only the lines that
// need a rewrite or hold a jump are passed on, and sixteen bytes that end only plain lines are
// counted in one go. Returns the number of lines.
template <bool kEveryLine, typename Line>
size_t ScanLines(std::string_view text, const InnerLabels& labels, Line line) {
    const bool keys = !labels.keys.empty();
    size_t start = 0, count = 0;
    bool rewrite = false, flow = false;
    auto mark = [&](size_t p) {
        const char c = text[p];
        if (c == '\n') {
            if (kEveryLine || rewrite || flow) line(start, p + 1, rewrite, flow, count);
            ++count;
            start = p + 1;
            rewrite = flow = false;
        } else if (c == 'E') {
            rewrite = rewrite || (p > start && KeyLengthAt(text, p, labels) != 0);
        } else if (!flow && p + 2 < text.size()) {
            flow = FlowWordAt(text, p);
        }
    };
    size_t i = 0;
    // Each chunk is read three times, a byte apart, so that only the places where a jump, a
    // return or a call is written stop the walk; and an "E" only where it is an inner-label key
    // after a line's start: one that follows what a key has next ("_" or a layer number's first
    // digit) and no line end is looked up at once (the label that starts a line is never
    // rewritten), and only a key among them stops the walk.
    for (; i + sizeof(CharChunk) + 2 <= text.size(); i += sizeof(CharChunk)) {
        const CharChunk chunk = LoadChunk(text.data() + i);
        const CharChunk next = LoadChunk(text.data() + i + 1);
        const CharChunk third = LoadChunk(text.data() + i + 2);
        const uint32_t ends = MatchBits(chunk == '\n');
        const CharChunk flows = ((chunk == 'j') & (((next == 'm') & (third == 'p')) |
                                                   ((next == 's') & (third == 'r')))) |
                                ((chunk == 'r') & (next == 't') & (third == 's'));
        uint32_t marks = MatchBits(flows);
        if (keys) {
            const CharChunk before = i > 0 ? LoadChunk(text.data() + i - 1) : StartOfText(chunk);
            const CharChunk candidates = (chunk == 'E') & (before != '\n') &
                                         ((next == '_') | ((next >= '1') & (next <= '9')));
            for (uint32_t m = MatchBits(candidates); m != 0; m &= m - 1) {
                const size_t p = i + static_cast<size_t>(__builtin_ctz(m));
                if (KeyLengthAt(text, p, labels) != 0) marks |= m & (~m + 1);
            }
        }
        if (!kEveryLine && marks == 0 && !rewrite && !flow) {
            if (ends != 0) {
                count += static_cast<size_t>(BitCount(ends));
                start = i + static_cast<size_t>(32 - __builtin_clz(ends));  // after the last end
            }
            continue;
        }
        for (uint32_t m = ends | marks; m != 0; m &= m - 1) {
            mark(i + static_cast<size_t>(__builtin_ctz(m)));
        }
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == 'j' || c == 'r' || (c == 'E' && keys)) mark(i);
    }
    if (start < text.size()) {
        if (kEveryLine || rewrite || flow) line(start, text.size(), rewrite, flow, count);
        ++count;
    }
    return count;
}

// The line as the result has it: with its references to labels inside instructions rewritten
// (into changed), or unchanged (false).
bool RewriteInnerLabels(std::string_view line, const InnerLabels& labels, std::string& changed,
                        std::string& key) {
    if (labels.keys.empty()) return false;
    const size_t first = NextKey(line, 0, labels, key);
    if (first == std::string::npos ||
        (first == 0 && NextKey(line, 1, labels, key) == std::string::npos)) {
        return false;
    }
    changed.assign(line);
    SubstituteInnerLabels(changed, labels);
    return true;
}

// Copies the listing in blocks of 128 lines (the last one filled up with empty lines), with the
// references to labels inside instructions rewritten, and an empty line after each line that
// holds a jump, a return or a call. A listing kept in memory is copied in stretches of the lines
// that go out unchanged (its lines end CR LF, as the result's do).
void CopyListing(RunState& state, ListingLines& listing) {
    const InnerLabels labels(state.innerLabels);
    std::string changed, key;
    size_t lines = 0;
    // The user's comments: those no line holds first, the others before the lines holding them.
    EndListedLines(state);
    WriteUnplacedComments(state);
    auto listed = state.listedLines.begin();
    auto commentsBefore = [&](size_t line) {
        for (; listed != state.listedLines.end() && listed->line <= line; ++listed) {
            if (listed->line != line) continue;
            WriteComments(state, listed->first, listed->End());
            listed->line = state.asmFile.LinesWritten();  // from now on its line in the result
        }
    };
    // Without comments to place (the lines are kept for the page), a line goes out so many
    // lines further down as there are lines before the listing and empty lines after jumps
    // before it: only the lines that hold a jump need a look.
    const bool placeComments = !state.userComments.empty();
    uint64_t shift = state.listedLines.empty() ? 0 : state.asmFile.LinesWritten();
    if (!placeComments) state.asmFile.CountLines(false);  // the lines after are counted here
    auto placeUpTo = [&](size_t line) {
        for (; listed != state.listedLines.end() && listed->line <= line; ++listed) {
            listed->line += shift;
        }
    };
    if (state.listingKept) {
        const std::string_view text = state.listingText;
        size_t copied = 0;  // the text before copied is written out
        auto copyUpTo = [&](size_t end) {
            if (end > copied) state.asmFile.Write(text.substr(copied, end - copied));
            copied = end;
        };
        const auto handle = [&](size_t at, size_t next, bool rewrite, bool flow, size_t index) {
            if (placeComments && listed != state.listedLines.end() && listed->line <= index) {
                copyUpTo(at);
                commentsBefore(index);
            }
            if (rewrite) {
                std::string_view line = text.substr(at, next - at);
                if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                if (RewriteInnerLabels(line, labels, changed, key)) {
                    copyUpTo(at);
                    state.asmFile.WriteLine(changed);
                    copied = next;
                    flow = EndsFlow(changed);
                }
            }
            if (flow) {
                copyUpTo(next);
                state.asmFile.WriteLine("");
                if (!placeComments) placeUpTo(index), ++shift;
            }
        };
        // Comments go before given lines: then every line is looked at.
        lines = placeComments ? ScanLines<true>(text, labels, handle)
                              : ScanLines<false>(text, labels, handle);
        copyUpTo(text.size());
    } else {
        while (!listing.AtEnd()) {
            std::string_view line = listing.Next();
            if (placeComments) commentsBefore(lines);
            ++lines;
            if (RewriteInnerLabels(line, labels, changed, key)) line = changed;
            state.asmFile.WriteLine(line);
            if (EndsFlow(line)) {
                state.asmFile.WriteLine("");
                if (!placeComments) placeUpTo(lines - 1), ++shift;
            }
        }
    }
    if (!placeComments) placeUpTo(SIZE_MAX);
    for (; lines % kBlockLineCount != 0; ++lines) state.asmFile.WriteLine("");
}

}  // namespace

void WriteEquates(RunState& state) {
    const std::vector<std::string> userEquates = UserNameEquates(state);
    if (state.useLabelFile == 0 && userEquates.empty()) return;
    if (state.useLabelFile == 1) WriteLabelEquates(state);
    for (const std::string& line : userEquates) state.asmFile.WriteLine(line);
    state.asmFile.WriteLine("");
}

namespace {

// True when the entry's name labels a line of the result (AdoptLabelFileNames): the name the
// label file gives its address first, taken over as that address's label.
bool LabelsALine(const RunState& state, std::string_view name, std::string_view rest) {
    if (state.userNames.empty() || rest.size() < 4) return false;
    const int64_t address = ParseNumber("$" + std::string(rest.substr(0, 4)));
    if (!TestBit(state.labelFileLabels, address)) return false;
    const std::string* label = UserNameOf(state, address);
    if (!label || label->size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != (*label)[i]) return false;
    }
    return true;
}

}  // namespace

void WriteLabelEquates(RunState& state) {
    const size_t width = state.nameWidth;  // measured as the label file was read
    std::string out;
    for (size_t i = 0; i < LabelLineCount(state); ++i) {
        const std::string_view line = LabelLine(state, i);
        if (line.empty() || IsCommentLine(line)) continue;
        const size_t dollar = line.find('$');
        if (dollar == std::string::npos || line.find('+') != std::string::npos) continue;
        // The name padded to the common width, and "= $" and the rest of the line (comment
        // included) put in at that width: inside a name longer than it, which only an entry
        // whose "$" follows its ";" can have. Tabs become blanks.
        const std::string_view name = line.substr(0, NameLength(line.substr(0, dollar)));
        const std::string_view rest = line.substr(dollar + 1);
        if (LabelsALine(state, name, rest)) continue;  // the line defines the name
        const size_t head = std::min(name.size(), width);
        out.resize(width + 3 + rest.size() + (name.size() - head));
        char* to = out.data();
        auto copy = [&to](std::string_view text) {
            to = CopyTabsAsBlanks(to, text.data(), text.size());
        };
        copy(name.substr(0, head));
        for (size_t k = head; k < width; ++k) *to++ = ' ';
        *to++ = '=';
        *to++ = ' ';
        *to++ = '$';
        copy(rest);
        copy(name.substr(head));
        state.asmFile.WriteLine(out);
    }
}

void WriteFinalSource(RunState& state) {
    const std::string listingName = state.sourceName + kListingExtension;
    const std::string& resultName = state.resultName;
    ListingLines listing(state, listingName);
    ResultReplacement result(state.asmFile, resultName);
    state.phase = 3;
    if (state.writePage == 1) state.asmFile.CountLines();  // where each listed line goes
    WriteEquates(state);
    CopyListing(state, listing);
    listing.Close();
    result.PutInPlace();
    ConsoleLine(state.console, ".");

    if (state.useLabelFile == 1) EraseFile(kNamesFileName);
    EraseFile(kInnerLabelFileName);
    EraseFile(listingName);
    if (state.writePage == 1) WriteHtmlPage(state);
    ConsoleLine(state.console, "Done.");
}
