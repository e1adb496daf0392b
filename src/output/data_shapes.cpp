#include "output/data_shapes.h"

#include <string>
#include <vector>

#include "engine/asm_lines.h"
#include "engine/label_helpers.h"
#include "engine/machine_data.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "files/byte_file.h"
#include "output/line_queue.h"
#include "output/listing_writer.h"

namespace {

constexpr int kItemsPerLine = 16;       // one-byte instructions of a display list on a line
constexpr int kCharactersPerLine = 32;  // characters of screen text on a line

// The operand of a display list's address word: the label of its target where the target
// carries one, else its number.
std::string DisplayListTarget(const RunState& state, int64_t target) {
    const int layer = OperandLabelLayer(state, target);
    if (layer >= 0) return LabelInLayer(state, layer, target);
    return "$" + FormatHex(target, 4);
}

// The bytes of the region, the image positioned at its first one.
std::vector<uint8_t> RegionBytes(RunState& state, const Region& region) {
    std::vector<uint8_t> bytes(static_cast<size_t>(region.length));
    state.sourceFile.ReadBytes(bytes.data(), bytes.size());
    return bytes;
}

}  // namespace

// A display list, one ANTIC instruction a line: a run of one-byte instructions (blank lines, mode
// lines) on one line, an instruction with an address word on a line of its own with the word as
// a(...). An instruction that a label falls inside is written byte by byte.
void ListDisplayList(RunState& state, const Region& region) {
    CloseDataLine(state);
    const std::vector<uint8_t> bytes = RegionBytes(state, region);
    const int64_t end = EndAddress(region);
    int64_t at = region.address;
    while (at < end) {
        const uint8_t first = bytes[static_cast<size_t>(at - region.address)];
        int length = DisplayListStep(first);
        if (at + length > end) length = 1;
        for (int k = 1; k < length; ++k) {
            if (CarriesLabel(state, at + k)) length = 1;
        }
        state.currentAddress = at;
        std::string& text = state.outLine;
        text.clear();
        AppendLabelField(state, text, CarriesLabel(state, at));
        text += "dta $";
        AppendHexByte(text, first);
        int64_t next = at + 1;
        if (length == 3) {
            const int64_t target = bytes[static_cast<size_t>(at + 1 - region.address)] +
                                   256 * bytes[static_cast<size_t>(at + 2 - region.address)];
            text += ",a(" + DisplayListTarget(state, target) + ")";
            next = at + 3;
        } else {
            // More one-byte instructions on the line, up to a label or a longer instruction.
            for (int count = 1; next < end && count < kItemsPerLine; ++count, ++next) {
                const uint8_t b = bytes[static_cast<size_t>(next - region.address)];
                if (CarriesLabel(state, next) || DisplayListStep(b) != 1) break;
                text += ",$";
                AppendHexByte(text, b);
            }
        }
        QueueMarker(state);
        NoteListedLine(state, at, next, state.currentRegion);
        WriteAsmLine(state, text);
        at = next;
    }
    state.currentAddress = end;
}

namespace {

// The character of a screen byte in the internal character code (inverse video aside), as the
// ATASCII character MADS reads in d'...'; -1 when it may not stand inside a string.
int InternalCharacter(uint8_t b) {
    const int code = b & 0x7F;
    const int character = code < 0x40 ? code + 0x20 : code < 0x60 ? code - 0x40 : code;
    return IsTextChar(static_cast<uint8_t>(character)) && character != '\'' ? character : -1;
}

}  // namespace

// Screen memory in string style: runs of characters of the internal code as d'...' (inverse
// video as d'...'*), other bytes as hex items, up to 32 characters a line; a label starts a line.
void ListScreenText(RunState& state, const Region& region) {
    CloseDataLine(state);
    const std::vector<uint8_t> bytes = RegionBytes(state, region);
    const int64_t end = EndAddress(region);
    int64_t at = region.address;
    while (at < end) {
        state.currentAddress = at;
        std::string& text = state.outLine;
        text.clear();
        AppendLabelField(state, text, CarriesLabel(state, at));
        text += "dta ";
        int64_t next = at;
        int width = 0;
        while (next < end && width < kCharactersPerLine &&
               (next == at || !CarriesLabel(state, next))) {
            const uint8_t b = bytes[static_cast<size_t>(next - region.address)];
            if (next > at) text += ',';
            if (InternalCharacter(b) < 0) {
                text += '$';
                AppendHexByte(text, b);
                ++next;
                ++width;
                continue;
            }
            const bool inverse = (b & 0x80) != 0;
            text += "d'";
            while (next < end && width < kCharactersPerLine &&
                   (next == at || !CarriesLabel(state, next))) {
                const uint8_t c = bytes[static_cast<size_t>(next - region.address)];
                const int character = InternalCharacter(c);
                if (character < 0 || ((c & 0x80) != 0) != inverse) break;
                text += static_cast<char>(character);
                ++next;
                ++width;
            }
            text += inverse ? "'*" : "'";
        }
        QueueMarker(state);
        NoteListedLine(state, at, next, state.currentRegion);
        WriteAsmLine(state, text);
        at = next;
    }
    state.currentAddress = end;
}
