#include "output/data_block.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/address_table.h"
#include "core/layer_tables.h"
#include "engine/asm_lines.h"
#include "engine/label_helpers.h"
#include "engine/layer_setup.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "files/result_replacement.h"
#include "output/final_source.h"
#include "output/html_page.h"
#include "output/listing_writer.h"

namespace {

constexpr int kBytesPerLine = 16;
constexpr int kWordsPerLine = 6;

// True while the region has bytes left to read.
bool MoreIn(const RunState& state, const Region& region) {
    return state.sourceFile.Position() < EndOffset(region) && !state.sourceFile.AtEnd();
}

// The end of the addresses whose bytes the file holds: a region's items stop there.
int64_t ItemsEnd(const RunState& state, const Region& region) {
    return region.address +
           std::max<int64_t>(0, std::min(region.length, state.imageSize - region.fileOffset));
}

// An item of a block as the writer lays it out: whether a block (with its label) starts at it,
// and whether it is an address word of a table.
struct BlockItem {
    bool startsBlock = false;
    bool isWord = false;
};

// The item at the address; kind is the kind of the block it lies in, changed where one starts.
BlockItem ItemAt(const RunState& state, const Region& region, int64_t address, char& kind) {
    const AddressInfo info = InfoAt(state, address);
    if (info.isEntry == 1) kind = static_cast<char>(info.blockKind);
    return {info.isEntry == 1, kind == 'W' && address + 1 < ItemsEnd(state, region)};
}

// Marks every address found in a table as the start of a byte block, and adds it to targets;
// nothing is written.
void FindTableTargets(RunState& state, const Region& region, std::vector<int64_t>& targets) {
    state.sourceFile.Seek(region.fileOffset);
    state.currentAddress = region.address;
    SetIsEntry(state, region.address, 1);
    char kind = 'B';
    while (MoreIn(state, region)) {
        const BlockItem item = ItemAt(state, region, state.currentAddress, kind);
        uint8_t low = state.sourceFile.ReadByte();
        if (item.isWord) {
            int64_t word = low + 256 * state.sourceFile.ReadByte();
            targets.push_back(word);
            SetIsEntry(state, word, 1);
            SetBlockKind(state, word, 'B');
            state.currentAddress += 2;
        } else {
            state.currentAddress += 1;
        }
    }
}

// The addresses of the layer where a line with a label starts: a block start inside a table
// word starts none.
Bitmap LabelledBlockStarts(const RunState& state, int layer) {
    Bitmap starts{};
    for (const Region& region : state.image.regions) {
        if (region.layer != layer) continue;
        if (region.kind != RegionKind::Code && region.kind != RegionKind::Data) continue;
        char kind = 'B';
        for (int64_t address = region.address; address < ItemsEnd(state, region);) {
            const BlockItem item = ItemAt(state, region, address, kind);
            if (item.startsBlock) SetBit(starts, address);
            address += item.isWord ? 2 : 1;
        }
    }
    return starts;
}

// The label a table word refers to: the user's name of the address, or its generated label.
std::string WordLabel(const RunState& state, int64_t value) {
    const std::string* name = UserNameOf(state, value);
    return name ? *name : CodeLabel(state, value);
}

// The end of the line that starts with the item at the address: its items up to the line's
// limit, up to the next block start, or up to the end of the region.
int64_t LineEnd(const RunState& state, const Region& region, int64_t address, bool isTable,
                int lineLimit) {
    int64_t end = address;
    for (int items = 0; items <= lineLimit; ++items) {
        end += isTable && end + 1 < EndAddress(region) ? 2 : 1;
        if (end >= EndAddress(region) || InfoAt(state, end).isEntry == 1) break;
    }
    return end;
}

// Writes every item of the region; a table's last byte without a partner is written as a byte
// item.
void WriteBlocks(RunState& state, const Region& region) {
    state.sourceFile.Seek(region.fileOffset);
    state.currentAddress = region.address;
    char kind = 'B';
    std::string label;  // of the line being started
    while (MoreIn(state, region)) {
        const BlockItem item = ItemAt(state, region, state.currentAddress, kind);
        state.currentByte = state.sourceFile.ReadByte();
        label.clear();
        const bool isTable = kind == 'W';
        const bool isWord = item.isWord;
        int64_t value = state.currentByte;
        if (isWord) value += 256 * state.sourceFile.ReadByte();
        const int lineLimit = isTable ? kWordsPerLine - 1 : kBytesPerLine - 1;

        if (item.startsBlock) {
            state.asmFile.Write("\r\n");
            if (state.itemCount != 0) state.asmFile.Write("\r\n");
            label = CodeLabel(state, state.currentAddress);
            if (LineName(state, state.currentAddress)) MarkNameDefined(state, state.currentAddress);
            state.itemCount = 0;
        }
        const bool first = state.itemCount == 0;
        if (first && !state.userComments.empty()) {
            WriteComments(state, state.currentAddress,
                          LineEnd(state, region, state.currentAddress, isTable, lineLimit));
        }
        if (first) NoteListedLine(state, state.currentAddress, -1, state.currentRegion, isTable);
        if (isWord) {
            std::string word = "a(" + WordLabel(state, value) + ")";
            state.asmFile.Write(first ? label + "\tdta " + word : "," + word);
        } else {
            std::string byte = "$" + FormatHex(value, 2);
            state.asmFile.Write(first ? label + "\tdta " + byte : "," + byte);
        }
        state.currentAddress += isWord ? 2 : 1;
        if (++state.itemCount > lineLimit) {
            state.asmFile.Write("\r\n");
            state.itemCount = 0;
        }
    }
}

}  // namespace

namespace {

// An address word of an Atari file: a block of its own, without a label.
void WriteWordBlock(RunState& state, const Region& region) {
    state.asmFile.Write("\r\n");
    if (state.itemCount != 0) state.asmFile.Write("\r\n");
    WriteComments(state, region.address, EndAddress(region));
    NoteListedLine(state, region.address, EndAddress(region), state.currentRegion, true);
    state.asmFile.Write("\tdta a(" + WordOperand(state, region) + ")");
    state.itemCount = 1;  // its line is still open
}

// A new segment of an Atari file: the open line ends, its comment and header bytes follow.
void StartSegment(RunState& state, const Segment& segment) {
    if (state.itemCount != 0) state.asmFile.Write("\r\n");
    state.itemCount = 0;
    if (!segment.comment.empty()) WriteAsmLine(state, segment.comment);
    for (const std::string& line : segment.headerLines) WriteAsmLine(state, line);
}

}  // namespace

void WriteDataBlock(RunState& state) {
    ResultReplacement result(state.asmFile, state.resultName);
    StartListedLines(state);
    if (KeepsListedLines(state)) state.asmFile.CountLines();
    const std::vector<Region>& regions = state.image.regions;
    // The labels that address words refer to but that start no block (a table word that points
    // outside the image, a run address that does not count): each gets an equate.
    std::vector<std::string> undefined;
    for (int layer = 0; layer < state.image.layerCount; ++layer) {
        PrepareLayer(state, layer);
        std::vector<int64_t> targets;
        for (size_t i = 0; i < regions.size(); ++i) {
            const Region& region = regions[i];
            if (region.layer != layer) continue;
            if (region.kind != RegionKind::Code && region.kind != RegionKind::Data) continue;
            state.currentRegion = static_cast<int>(i);
            FindTableTargets(state, region, targets);
        }
        for (const Region& region : regions) {
            if (region.kind == RegionKind::Words && region.targetLayer == layer) {
                targets.push_back(region.wordValue);
            }
        }
        std::unique_ptr<Bitmap> labelled;  // worked out when a target needs it
        for (int64_t target : targets) {
            if (UserNameOf(state, target)) continue;  // a name: defined by a line or an equate
            if (!labelled) labelled = std::make_unique<Bitmap>(LabelledBlockStarts(state, layer));
            if (TestBit(*labelled, target)) continue;  // a line with its label starts there
            const std::string equate =
                LabelPrefixOfLayer(layer) + FormatHex(target, 4) + " = $" + FormatHex(target, 4);
            if (std::find(undefined.begin(), undefined.end(), equate) == undefined.end()) {
                undefined.push_back(equate);
            }
        }
        // A name is written where a block starts at its address, else by an equate.
        for (UserName& entry : state.userNames) {
            if (entry.layer == layer) entry.defined = InfoAt(state, entry.address).isEntry == 1;
        }
        KeepLayer(state, layer);
    }
    state.itemCount = 0;
    std::vector<std::string> equates = UserNameEquates(state);
    equates.insert(equates.end(), undefined.begin(), undefined.end());
    for (const std::string& line : equates) WriteAsmLine(state, line);
    if (!equates.empty()) WriteAsmLine(state, "");
    WriteUnplacedComments(state);
    WriteResultOpening(state);
    for (size_t i = 0; i < regions.size(); ++i) {
        const Region& region = regions[i];
        state.currentRegion = static_cast<int>(i);
        if (region.layer != state.currentLayer) SwitchToLayer(state, region.layer);
        const bool startsSegment = i == 0 || region.segment != regions[i - 1].segment;
        if (startsSegment)
            StartSegment(state, state.image.segments[static_cast<size_t>(region.segment)]);
        if (HasAddresses(region) && (startsSegment || regions[i - 1].kind == RegionKind::Header)) {
            WriteHeader(state, region.address);
            WriteAsmLine(state, "");
        }
        if (region.kind == RegionKind::Words) {
            WriteWordBlock(state, region);
        } else if (region.kind != RegionKind::Header) {
            WriteBlocks(state, region);
        }
    }
    result.PutInPlace();
    state.sourceFile.Close();
}
