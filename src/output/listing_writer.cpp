#include "output/listing_writer.h"

#include "driver/console.h"
#include "driver/run_sequence.h"
#include "driver/run_state.h"
#include "engine/asm_lines.h"
#include "engine/instruction_format.h"
#include "engine/label_helpers.h"
#include "engine/layers.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"

namespace {

constexpr int kBytesPerDataLine = 16;
constexpr int kCharactersPerString = 32;
constexpr int64_t kMaxRepeatCount = 65535;
// The final phase takes the listing from memory up to this size, and reads it back beyond.
constexpr size_t kKeptListingLimit = 4 << 20;

void AppendHexByte(std::string& text, uint8_t value) {
    text += hexDigits[value >> 4];
    text += hexDigits[value & 0x0F];
}

// The label field of the current address: its label and a tab, or a tab.
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
        const char piece[4] = {',', '$', hexDigits[b >> 4], hexDigits[b & 0x0F]};
        state.asmFile.WriteBytes(piece);
    }
    ++state.dataColumn;
    ++state.currentAddress;
    ++state.itemCount;  // as the held-back marker counts another one
    state.prevByte = b;
    return true;
}

void HandleDataByte(RunState& state) {
    const bool labelled = CarriesLabel(state, state.currentAddress);  // the listing's phase
    if (ContinueDataLine(state, labelled)) return;
    std::string& piece = state.outLine;
    piece.clear();
    const bool startsLine = state.dataStyle == 'A' ? StringDataPiece(state, piece, labelled)
                                                   : HexDataPiece(state, piece, labelled);
    const int64_t address = state.currentAddress;
    state.currentAddress += 1;
    QueueMarker(state);
    if (startsLine) NoteListedLine(state, address, -1, state.currentRegion);
    state.asmFile.Write(piece);
    if (state.dataStyle == 'A' && state.dataColumn > kCharactersPerString - 1) {
        WriteAsmLine(state, "'");
        state.dataColumn = 0;
    } else if (state.dataStyle != 'A' && state.dataColumn > kBytesPerDataLine - 1) {
        WriteAsmLine(state, "");
        state.dataColumn = 0;
    }
}

}  // namespace

void WriteHeader(RunState& state, int64_t address) {
    WriteAsmLine(state, kSeparatorComment);
    WriteAsmLine(state, "\torg $" + FormatHex(address, 4));
    WriteAsmLine(state, kSeparatorComment);
}

namespace {

// Holds the line (or the marker) back; writes the line held before unless the new one repeats it.
void Queue(RunState& state, const std::string* line) {
    const bool equal =
        line ? !state.pendingIsMarker && *line == state.pendingLine : state.pendingIsMarker;
    // Assemblers take a repeat count up to 65535: a longer run starts a new line.
    const bool full = line && state.itemCount + 1 >= kMaxRepeatCount;
    const bool merged = equal && !full && !(line && line->find("dta") != std::string::npos);
    if (merged) {
        ++state.itemCount;
        state.pendingEnd = state.lineEnd;
    } else {
        if (!state.pendingIsMarker) {
            if (state.pendingEnd > state.pendingFirst) {  // the line holds bytes
                NoteListedLine(state, state.pendingFirst, state.pendingEnd, state.pendingRegion);
            }
            if (state.itemCount > 0) {
                state.asmFile.WriteLine(InsertRepeatPrefix(
                    state, state.pendingLine, ":" + std::to_string(state.itemCount + 1)));
            } else {
                state.asmFile.WriteLine(state.pendingLine);
            }
        }
        state.itemCount = 0;
    }
    if (line == &state.outLine) {
        state.pendingLine.swap(state.outLine);  // outLine is built afresh for every line
    } else if (line) {
        state.pendingLine.assign(*line);
    }
    if (line) {
        if (!merged) {
            state.pendingFirst = state.lineFirst;
            state.pendingEnd = state.lineEnd;
            state.pendingRegion = state.currentRegion;
        }
    } else {
        state.pendingLine.clear();
    }
    state.pendingIsMarker = !line;
    state.prevByte = state.currentByte;
}

}  // namespace

void QueueLine(RunState& state, const std::string& line) {
    Queue(state, &line);
}

void QueueMarker(RunState& state) {
    Queue(state, nullptr);
}

std::string InsertRepeatPrefix(const RunState& state, const std::string& line,
                               const std::string& prefix) {
    std::string mnemonic = state.mnemonicTable[state.prevByte].substr(0, 3);
    size_t at = mnemonic.empty() ? std::string::npos : line.find(mnemonic);
    std::string result = line;
    result.insert(at == std::string::npos ? 0 : at, prefix + "\t");
    return result;
}

namespace {

// The bytes of a Code region: instructions where the analysis found code, data elsewhere.
void ListCode(RunState& state, const Region& region) {
    const int64_t end = EndOffset(region);
    while (state.sourceFile.Position() < end && !state.sourceFile.AtEnd()) {
        state.currentByte = state.sourceFile.ReadByte();
        if (!state.mnemonicTable[state.currentByte].empty() &&
            InfoAt(state, state.currentAddress).isCode == 1) {
            HandleInstruction(state);
        } else {
            HandleDataByte(state);
        }
    }
}

// The bytes of a Data region: data, whatever they would decode to.
void ListData(RunState& state, const Region& region) {
    const int64_t end = EndOffset(region);
    while (state.sourceFile.Position() < end && !state.sourceFile.AtEnd()) {
        state.currentByte = state.sourceFile.ReadByte();
        HandleDataByte(state);
    }
}

// An address word: a line of its own, never labelled (such words may be written many times).
void ListWord(RunState& state, const Region& region) {
    CloseDataLine(state);
    state.lineFirst = state.currentAddress;
    state.lineEnd = state.currentAddress + region.length;
    QueueLine(state, "\tdta a(" + WordOperand(state, region) + ")");
    state.currentAddress += region.length;
}

// The head of a segment's bytes: the origin, and an empty line before the first line (the
// held-back line starts out empty).
void StartOrigin(RunState& state, int64_t address) {
    WriteHeader(state, address);
    state.pendingLine.clear();
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

void ListRegion(RunState& state, const Region& region) {
    state.currentAddress = region.address;
    state.sourceFile.Seek(region.fileOffset);
    switch (region.kind) {
        case RegionKind::Code:
            ListCode(state, region);
            break;
        case RegionKind::Data:
            ListData(state, region);
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
    state.listedLines.clear();
    if (!state.userComments.empty()) state.asmFile.CountLines();
    state.phase = 2;
    state.dataColumn = 0;
    state.instructionTemplates = InstructionTemplates(state);
    WriteAsmLine(state, "\topt h-");
    WriteAsmLine(state, "");
    const std::vector<Region>& regions = state.image.regions;
    for (size_t i = 0; i < regions.size(); ++i) {
        const Region& region = regions[i];
        state.currentRegion = static_cast<int>(i);
        if (region.layer != state.currentLayer) SwitchToLayer(state, region.layer);
        const bool startsSegment = i == 0 || region.segment != regions[i - 1].segment;
        if (startsSegment) {
            StartSegment(state, state.image.segments[static_cast<size_t>(region.segment)], i == 0);
        }
        if (HasAddresses(region) && (startsSegment || regions[i - 1].kind == RegionKind::Header)) {
            StartOrigin(state, region.address);
        } else if (HasAddresses(region)) {
            CloseDataLine(state);  // a region ends its data line
        }
        ListRegion(state, region);
    }
    CloseDataLine(state);
    QueueMarker(state);
    state.sourceFile.Close();
    state.asmFile.Close();
    state.listingKept = state.asmFile.KeptCopy();
    state.tmpFile.Close();
    ConsoleWrite(state, ".");
}
