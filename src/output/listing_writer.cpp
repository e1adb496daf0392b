#include "output/listing_writer.h"

#include <array>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/address_table.h"
#include "core/layer_tables.h"
#include "engine/asm_lines.h"
#include "engine/instruction_format.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "files/console.h"
#include "output/data_shapes.h"
#include "output/line_queue.h"
#include "reference/label_file.h"

namespace {

constexpr int kBytesPerDataLine = 16;
constexpr int kCharactersPerString = 32;
// The final phase takes the listing from memory up to this size, and reads it back beyond.
constexpr size_t kKeptListingLimit = 4 << 20;

// ---- The quick writer: the common instruction line composed in a local buffer. Every piece of
// ---- text it copies is held padded to 16 bytes and copied whole; the line's end moves on by
// ---- the piece's own length. It takes the lines whose every piece is short, and it steps aside
// ---- (before it changes anything) for user names, mnemonics off and cut instructions.

constexpr size_t kPieceRoom = 16;
constexpr size_t kNameRoom = 256;  // longer label-file names take the general way
constexpr size_t kLineRoom = 512;  // label field, pieces, the name and the slack of a copy

struct Piece {
    char text[kPieceRoom] = {};
    uint8_t size = 0;

    bool Set(const std::string& from) {
        if (from.size() > kPieceRoom) return false;
        std::memcpy(text, from.data(), from.size());
        size = static_cast<uint8_t>(from.size());
        return true;
    }
};

inline char* Put(char* to, const Piece& piece) {
    std::memcpy(to, piece.text, kPieceRoom);
    return to + piece.size;
}

inline char* PutHex4(char* to, int64_t value) {
    to[0] = hexDigits[(value >> 12) & 15];
    to[1] = hexDigits[(value >> 8) & 15];
    to[2] = hexDigits[(value >> 4) & 15];
    to[3] = hexDigits[value & 15];
    return to + 4;
}

struct QuickTemplate {
    bool usable = false;
    char placeholder = 0;
    uint8_t length = 1;
    bool immediate = false;
    bool jumpOrCall = false;
    char access = 0;  // how it uses its operand's address (AccessOfPattern)
    Piece before, wide, after;
};

struct QuickWriter {
    std::array<QuickTemplate, 256> templates;
    Piece prefix;  // the current layer's label prefix
    bool prefixFits = false;
    bool plainLabels = false;  // the prefix fits and no user names are about
    // When the current layer has a single Code or Data region: the addresses that can carry a
    // label in it (all but its last), [labelFrom, labelTo).
    bool oneRegion = false;
    int64_t labelFrom = 0, labelTo = 0;
    bool pictures = false;    // an Atari file's pictures decide where references land
    mutable LineBuffer line;  // where the next instruction line is composed (scratch)
};

// Takes the current layer's label prefix and regions.
void SetLayerOfQuickWriter(const RunState& state, QuickWriter& quick) {
    quick.prefixFits = quick.prefix.Set(state.labelPrefix);
    quick.plainLabels = quick.prefixFits && state.userNames.empty();
    quick.pictures = !state.image.pictures.empty();
    const std::vector<int>& regions =
        state.image.layers[static_cast<size_t>(state.currentLayer)].regions;
    quick.oneRegion = regions.size() == 1;
    if (quick.oneRegion) {
        const Region& r = state.image.regions[static_cast<size_t>(regions[0])];
        quick.labelFrom = r.address;
        quick.labelTo = EndAddress(r) - 1;
    }
}

// LiesInLayer(image, currentLayer, address, 1): where a reference to the address is written as
// its label.
bool CanLabel(const RunState& state, const QuickWriter& quick, int64_t address) {
    if (quick.oneRegion) return address >= quick.labelFrom && address < quick.labelTo;
    return LiesInLayer(state.image, state.currentLayer, address, 1);
}

void SetUpQuickWriter(RunState& state, QuickWriter& quick) {
    const bool runAllows = state.mnemonicsOff != 1 && state.userNames.empty();
    for (size_t opcode = 0; opcode < 256; ++opcode) {
        const InstructionTemplate& t = state.instructionTemplates[opcode];
        QuickTemplate& q = quick.templates[opcode];
        q.placeholder = t.placeholder;
        q.length = t.length;
        q.immediate = t.immediate;
        q.jumpOrCall = t.jumpOrCall;
        q.access = AccessOfPattern(state.mnemonicTable[opcode]);
        q.usable = runAllows && t.direct && q.before.Set(t.before) && q.wide.Set(t.beforeWide) &&
                   q.after.Set(t.after);
    }
}

// Hex style: up to 16 bytes per line; a labelled byte starts a new line. Returns whether the
// piece starts a line.
bool HexDataPiece(RunState& state, std::string& piece, bool labelled) {
    if (state.dataColumn > 0 && !labelled) {
        ++state.dataColumn;
        piece += ",$";
        AppendHexByte(piece, state.currentByte);
        return false;
    }
    if (state.dataColumn > 0) WriteAsmLine(state, "");
    state.dataColumn = 1;
    AppendLabelField(state, piece, labelled);
    piece += "dta $";
    AppendHexByte(piece, state.currentByte);
    return true;
}

// String style: text characters inside dta c'...', other bytes as hex bytes that end their line.
// Returns whether the piece starts a line.
bool StringDataPiece(RunState& state, std::string& piece, bool labelled) {
    const bool isText = ByteStyle(state, state.currentByte) == 'A';
    const char character = static_cast<char>(state.currentByte);
    if (state.dataColumn > 0 && !labelled) {
        if (isText) {
            ++state.dataColumn;
            piece += character;
            return false;
        }
        state.dataColumn = 0;
        piece += "',$";
        AppendHexByte(piece, state.currentByte);
        piece += "\r\n";
        return false;
    }
    if (state.dataColumn > 0) WriteAsmLine(state, "'");
    AppendLabelField(state, piece, labelled);
    if (isText) {
        state.dataColumn = 1;
        piece += "dta c'";
        piece += character;
        return true;
    }
    state.dataColumn = 0;
    piece += "dta $";
    AppendHexByte(piece, state.currentByte);
    piece += "\r\n";
    return true;
}

void HandleInstruction(RunState& state) {
    state.anchorLabel.clear();
    const bool labelled = CarriesLabel(state, state.currentAddress);  // the listing's phase
    state.outLine.clear();
    AppendLabelField(state, state.outLine, labelled);
    AppendInstruction(state, state.instructionTemplates, state.currentByte, state.outLine);
    state.lineFirst = state.currentAddress;
    state.lineEnd = state.currentAddress + state.instructionLength;
    // A label inside the instruction is written as this instruction's label plus an offset, so
    // the instruction needs a label of its own (unless its label field already holds it).
    if (!state.anchorLabel.empty() &&
        !(labelled && state.anchorLabel == CodeLabel(state, state.currentAddress))) {
        state.outLine.insert(0, state.anchorLabel);
    }
    QueueLine(state, state.outLine);
    state.currentAddress += state.instructionLength;
}

// ",$" and the two hex digits of each byte value, as a byte goes on an open data line. Taken
// from a table rather than composed: four bytes stored one by one and then copied as one wait
// for each other.
struct HexItem {
    char text[4];
};
constexpr std::array<HexItem, 256> kHexItems = [] {
    std::array<HexItem, 256> items{};
    for (size_t b = 0; b < 256; ++b) {
        items[b] = HexItem{{',', '$', hexDigits[b >> 4], hexDigits[b & 0x0F]}};
    }
    return items;
}();

// The byte goes on the open data line: ",$" and its digits, or in string style its character.
// The common case, written without building a piece.
bool ContinueDataLine(RunState& state, bool labelled) {
    if (state.dataColumn == 0 || labelled || !state.pendingIsMarker) return false;
    const uint8_t b = state.currentByte;
    if (state.dataStyle == 'A') {
        if (ByteStyle(state, b) != 'A' || state.dataColumn >= kCharactersPerString - 1) {
            return false;
        }
        const char character[1] = {static_cast<char>(b)};
        state.asmFile.WriteBytes(character);
    } else {
        if (state.dataColumn >= kBytesPerDataLine - 1) return false;
        state.asmFile.WriteBytes(kHexItems[b].text);
    }
    ++state.dataColumn;
    ++state.currentAddress;
    ++state.itemCount;  // as the held-back marker counts another one
    state.prevByte = b;
    return true;
}

// The piece of a data byte that starts a line, composed in place when no user names are about:
// the label field, "dta" and the byte (in string style its character, or the hex byte on a line
// of its own). Returns its length, or 0 when the byte takes the general way.
size_t QuickDataPiece(RunState& state, const QuickWriter& quick, bool labelled, char* piece) {
    if (state.dataColumn != 0 || !quick.plainLabels) return 0;
    char* p = piece;
    if (labelled) p = PutHex4(Put(p, quick.prefix), state.currentAddress);
    const uint8_t b = state.currentByte;
    if (state.dataStyle == 'A' && ByteStyle(state, b) == 'A') {
        std::memcpy(p, "\tdta c'", 7);
        p[7] = static_cast<char>(b);
        p += 8;
        state.dataColumn = 1;
    } else {
        std::memcpy(p, "\tdta $", 6);
        p[6] = hexDigits[b >> 4];
        p[7] = hexDigits[b & 0x0F];
        p += 8;
        if (state.dataStyle == 'A') {
            *p++ = '\r';
            *p++ = '\n';
        } else {
            state.dataColumn = 1;
        }
    }
    return static_cast<size_t>(p - piece);
}

// A data byte that does not go on the open line: it starts a line (or, in string style, ends
// the open one).
void StartDataPiece(RunState& state, const QuickWriter& quick, bool labelled) {
    char quickPiece[kPieceRoom + 32];
    std::string_view piece;
    bool startsLine = true;
    if (const size_t size = QuickDataPiece(state, quick, labelled, quickPiece)) {
        piece = std::string_view(quickPiece, size);
    } else {
        std::string& text = state.outLine;
        text.clear();
        startsLine = state.dataStyle == 'A' ? StringDataPiece(state, text, labelled)
                                            : HexDataPiece(state, text, labelled);
        piece = text;
    }
    const int64_t address = state.currentAddress;
    state.currentAddress += 1;
    QueueMarker(state);
    if (startsLine && KeepsListedLines(state)) {
        NoteListedLine(state, address, -1, state.currentRegion);
    }
    state.asmFile.Write(piece);
    if (state.dataStyle == 'A' && state.dataColumn > kCharactersPerString - 1) {
        WriteAsmLine(state, "'");
        state.dataColumn = 0;
    } else if (state.dataStyle != 'A' && state.dataColumn > kBytesPerDataLine - 1) {
        WriteAsmLine(state, "");
        state.dataColumn = 0;
    }
}

// A data byte; most of them go on the open line, in line with the caller's loop.
inline void HandleDataByte(RunState& state, const QuickWriter& quick) {
    const bool labelled = CarriesLabel(state, state.currentAddress);  // the listing's phase
    if (!ContinueDataLine(state, labelled)) StartDataPiece(state, quick, labelled);
}

}  // namespace

void AppendHexByte(std::string& text, uint8_t value) {
    text += hexDigits[value >> 4];
    text += hexDigits[value & 0x0F];
}

void AppendLabelField(RunState& state, std::string& text, bool labelled) {
    if (labelled) {  // a label lies within $0000-$FFFF
        if (const std::string* name = LineName(state, state.currentAddress)) {
            text += *name;
            MarkNameDefined(state, state.currentAddress);
        } else {
            text += state.labelPrefix;
            AppendHex4(text, state.currentAddress);
        }
    }
    text += '\t';
}

void WriteHeader(RunState& state, int64_t address) {
    WriteAsmLine(state, kSeparatorComment);
    WriteAsmLine(state, "\torg $" + FormatHex(address, 4));
    WriteAsmLine(state, kSeparatorComment);
}

namespace {

// CloseDataLine as the listing needs it, its line end copied in place.
inline void EndDataLine(RunState& state) {
    if (state.dataColumn <= 0) return;
    if (state.dataStyle == 'A') {
        const char end[3] = {'\'', '\r', '\n'};
        state.asmFile.WriteBytes(end);
    } else {
        const char end[2] = {'\r', '\n'};
        state.asmFile.WriteBytes(end);
    }
    state.dataColumn = 0;
}

// Returns false, having changed nothing, when the line takes the general way.
bool QuickInstruction(RunState& state, const QuickWriter& quick, const Region& region) {
    const QuickTemplate& t = quick.templates[state.currentByte];
    const int64_t at = state.currentAddress;
    const int length = t.length;
    if (!t.usable || !quick.prefixFits || FileOffsetOf(region, at) + length > EndOffset(region)) {
        return false;
    }
    int64_t value = 0;
    std::string_view name;  // the label-file name of the operand
    bool operandLabel = false;
    if (t.placeholder) {
        const int64_t position = state.sourceFile.Position();
        const uint8_t low = state.sourceFile.ReadByte();
        const uint8_t high = length == 3 ? state.sourceFile.ReadByte() : 0;
        state.operandBytes = {low, high};
        value = OperandValue(t.placeholder, static_cast<uint8_t>(length), state.operandBytes,
                             length - 1, at);
        if (quick.pictures && t.placeholder != 'N') {
            // References may land in another layer's bytes: those take the general way.
            const int layer = OperandLabelLayer(state, value);
            if (layer >= 0 && layer != state.currentLayer) {
                state.sourceFile.Seek(position);
                return false;
            }
            operandLabel = layer >= 0;
        } else {
            operandLabel = t.placeholder != 'N' && IsLabelTarget(state, value) &&
                           CanLabel(state, quick, value);
        }
        if (!operandLabel && !t.immediate && state.useLabelFile == 1 &&
            TestBit(state.namedAddresses, value)) {
            name = NameOfAddressFor(state, static_cast<uint16_t>(value), t.access);
            if (name.size() > kNameRoom) {
                state.sourceFile.Seek(position);
                return false;
            }
        }
    }
    if ((operandLabel || !name.empty()) && value >= 0x100 && value < state.absoluteReach) {
        state.sourceFile.Seek(state.sourceFile.Position() - (length - 1));
        return false;  // ".w" before a label near page zero: the general way
    }
    state.instructionLength = static_cast<uint8_t>(length);
    state.operandValue = value;
    state.anchorLabel.clear();
    bool inner = false;
    for (int k = 1; k < length; ++k) inner = inner || IsLabelTarget(state, at + k);
    if (inner) ReportInnerLabels(state, static_cast<uint8_t>(length));
    EndDataLine(state);

    char* const line = quick.line.Room(kLineRoom);
    char* p = line;
    if (inner || IsLabelTarget(state, at)) {  // its own label, or the anchor of an inner one
        p = PutHex4(Put(p, quick.prefix), at);
    }
    *p++ = '\t';
    if (!t.placeholder) {
        p = Put(p, t.before);
    } else {
        p = Put(p, t.placeholder == 'Q' && value < 0x100 && !t.jumpOrCall ? t.wide : t.before);
        if (!name.empty()) {
            std::memcpy(p, name.data(), name.size());
            p += name.size();
        } else if (operandLabel) {
            p = PutHex4(Put(p, quick.prefix), value);
        } else if (t.placeholder == 'N') {
            p[0] = '$';
            p[1] = hexDigits[(value >> 4) & 15];
            p[2] = hexDigits[value & 15];
            p += 3;
        } else {
            *p++ = '$';
            p = PutHex4(p, value);
        }
        p = Put(p, t.after);
    }
    state.lineFirst = at;
    state.lineEnd = at + length;
    quick.line.SetSize(static_cast<size_t>(p - line));
    QueueComposed(state, quick.line);
    state.currentAddress += length;
    return true;
}

// The bytes of a Code region: instructions where the analysis found code, data elsewhere.
void ListCode(RunState& state, const Region& region, const QuickWriter& quick) {
    const int64_t end = EndOffset(region);
    while (state.sourceFile.Position() < end && !state.sourceFile.AtEnd()) {
        state.currentByte = state.sourceFile.ReadByte();
        // The code mark first: it comes in long runs, where the byte's pattern goes either way.
        if (InfoAt(state, state.currentAddress).isCode == 1 &&
            !state.mnemonicTable[state.currentByte].empty()) {
            if (!QuickInstruction(state, quick, region)) HandleInstruction(state);
        } else {
            HandleDataByte(state, quick);
        }
    }
}

// The bytes of a Data region: data, whatever they would decode to.
void ListData(RunState& state, const Region& region, const QuickWriter& quick) {
    const int64_t end = EndOffset(region);
    while (state.sourceFile.Position() < end && !state.sourceFile.AtEnd()) {
        state.currentByte = state.sourceFile.ReadByte();
        HandleDataByte(state, quick);
    }
}

// A character set: bytes on lines of their own style, hex bytes whatever the data style.
void ListFont(RunState& state, const Region& region, const QuickWriter& quick) {
    CloseDataLine(state);
    const char style = state.dataStyle;
    state.dataStyle = 'D';
    ListData(state, region, quick);
    CloseDataLine(state);
    state.dataStyle = style;
}

// An address word: a line of its own, never labelled (such words may be written many times).
void ListWord(RunState& state, const Region& region) {
    CloseDataLine(state);
    state.lineFirst = state.currentAddress;
    state.lineEnd = state.currentAddress + region.length;
    QueueLine(state, "\tdta a(" + WordOperand(state, region) + ")");
    state.currentAddress += region.length;
}

// The head of a segment's bytes: the origin (for code that runs elsewhere, the address it runs at
// and the one it loads at), and an empty line before the first line (the held-back line starts
// out empty).
void StartOrigin(RunState& state, int64_t address, int64_t loadAddress) {
    if (loadAddress >= 0) {
        // Assembled for the address it runs at, placed where it loads.
        WriteAsmLine(state, kSeparatorComment);
        WriteAsmLine(state, "\torg $" + FormatHex(address, 4) + ",$" + FormatHex(loadAddress, 4));
        WriteAsmLine(state, kSeparatorComment);
    } else {
        WriteHeader(state, address);
    }
    state.pendingLine.Clear();
    state.pendingIsMarker = false;
    state.pendingFirst = state.pendingEnd = 0;  // the empty line holds no bytes
    state.itemCount = 0;
    state.prevByte = 0;
}

// A new segment of an Atari file: the lines before it are finished, then come its comment and
// its header bytes.
void StartSegment(RunState& state, const Segment& segment, bool first) {
    if (!first) {
        CloseDataLine(state);
        QueueMarker(state);
    }
    if (!segment.comment.empty()) WriteAsmLine(state, segment.comment);
    for (const std::string& line : segment.headerLines) WriteAsmLine(state, line);
}

void ListRegion(RunState& state, const Region& region, const QuickWriter& quick) {
    state.currentAddress = region.address;
    state.sourceFile.Seek(region.fileOffset);
    switch (region.kind) {
        case RegionKind::Code:
            ListCode(state, region, quick);
            break;
        case RegionKind::Data:
            if (region.shape == DataShape::DisplayList) {
                ListDisplayList(state, region);
            } else if (region.shape == DataShape::Font) {
                ListFont(state, region, quick);
            } else if (region.shape == DataShape::Screen && state.dataStyle == 'A') {
                ListScreenText(state, region);
            } else {
                ListData(state, region, quick);
            }
            break;
        case RegionKind::Words:
            ListWord(state, region);
            break;
        case RegionKind::Header:
            break;  // written with its segment's head
    }
}

}  // namespace

void WriteListing(RunState& state) {
    OpenSource(state, state.sourcePath);
    state.tmpFile.Create(kInnerLabelFileName);
    state.innerLabels.clear();
    state.asmFile.Create(state.sourceName + kListingExtension);
    state.asmFile.KeepCopy(&state.listingText, kKeptListingLimit);
    StartListedLines(state);
    if (KeepsListedLines(state)) state.asmFile.CountLines();
    state.phase = 2;
    state.dataColumn = 0;
    state.instructionTemplates = InstructionTemplates(state);
    int64_t lowest = 0x100;
    for (const Region& r : state.image.regions) {
        if (HasAddresses(r) && r.kind != RegionKind::Words) lowest = std::min(lowest, r.address);
    }
    state.absoluteReach = 0x100 + (0x100 - std::max<int64_t>(lowest, 0));
    auto quick = std::make_unique<QuickWriter>();
    SetUpQuickWriter(state, *quick);
    WriteResultOpening(state);
    WriteAsmLine(state, "");
    const std::vector<Region>& regions = state.image.regions;
    for (size_t i = 0; i < regions.size(); ++i) {
        const Region& region = regions[i];
        state.currentRegion = static_cast<int>(i);
        if (region.layer != state.currentLayer) SwitchToLayer(state, region.layer);
        if (i == 0 || region.layer != regions[i - 1].layer) SetLayerOfQuickWriter(state, *quick);
        const bool startsSegment = i == 0 || region.segment != regions[i - 1].segment;
        if (startsSegment) {
            StartSegment(state, state.image.segments[static_cast<size_t>(region.segment)], i == 0);
        }
        if (HasAddresses(region) && (startsSegment || regions[i - 1].kind == RegionKind::Header)) {
            StartOrigin(state, region.address, region.loadAddress);
        } else if (HasAddresses(region) &&
                   (region.loadAddress >= 0 || regions[i - 1].loadAddress >= 0)) {
            // Code that runs elsewhere, and the bytes after it: a new origin within the segment.
            CloseDataLine(state);
            QueueMarker(state);
            StartOrigin(state, region.address, region.loadAddress);
        } else if (HasAddresses(region)) {
            CloseDataLine(state);  // a region ends its data line
        }
        ListRegion(state, region, *quick);
    }
    CloseDataLine(state);
    QueueMarker(state);
    state.sourceFile.Close();
    state.asmFile.Close();
    state.listingKept = state.asmFile.KeptCopy();
    state.tmpFile.Close();
    ConsoleWrite(state.console, ".");
}
