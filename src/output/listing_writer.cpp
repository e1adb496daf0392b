#include "output/listing_writer.h"

#include "driver/console.h"
#include "driver/run_sequence.h"
#include "driver/run_state.h"
#include "engine/asm_lines.h"
#include "engine/instruction_format.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"

namespace {

constexpr int kBytesPerDataLine = 16;
constexpr int kCharactersPerString = 32;

void HandleInstruction(RunState& state) {
    state.anchorLabel.clear();
    std::string text = FormatInstruction(state, state.currentByte);
    std::string field = LabelField(state);
    state.outLine = field + text;
    // A label inside the instruction is written as this instruction's label plus an offset, so
    // the instruction needs a label of its own.
    if (!state.anchorLabel.empty() && field != state.anchorLabel + "\t") {
        state.outLine = state.anchorLabel + state.outLine;
    }
    QueueLine(state, state.outLine);
    state.currentAddress += state.instructionLength;
}

// Hex style: up to 16 bytes per line; a labelled byte starts a new line.
std::string HexDataPiece(RunState& state, const std::string& field, bool labelled) {
    std::string byte = FormatHex(state.currentByte, 2);
    if (state.dataColumn > 0 && !labelled) {
        ++state.dataColumn;
        return ",$" + byte;
    }
    if (state.dataColumn > 0) WriteAsmLine(state, "");
    state.dataColumn = 1;
    return field + "dta $" + byte;
}

// String style: text characters inside dta c'...', other bytes as hex bytes that end their line.
std::string StringDataPiece(RunState& state, const std::string& field, bool labelled) {
    const bool isText = ByteStyle(state, state.currentByte) == 'A';
    const std::string character(1, static_cast<char>(state.currentByte));
    const std::string byte = FormatHex(state.currentByte, 2);
    if (state.dataColumn > 0 && !labelled) {
        if (isText) {
            ++state.dataColumn;
            return character;
        }
        state.dataColumn = 0;
        return "',$" + byte + "\r\n";
    }
    if (state.dataColumn > 0) WriteAsmLine(state, "'");
    if (isText) {
        state.dataColumn = 1;
        return field + "dta c'" + character;
    }
    state.dataColumn = 0;
    return field + "dta $" + byte + "\r\n";
}

void HandleDataByte(RunState& state) {
    const std::string field = LabelField(state);
    const bool labelled = field != "\t";
    std::string piece = state.dataStyle == 'A' ? StringDataPiece(state, field, labelled)
                                               : HexDataPiece(state, field, labelled);
    state.currentAddress += 1;
    QueueMarker(state);
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
    if (equal && !(line && line->find("dta") != std::string::npos)) {
        ++state.itemCount;
    } else {
        if (!state.pendingIsMarker) {
            if (state.itemCount > 0) {
                state.asmFile.WriteLine(InsertRepeatPrefix(
                    state, state.pendingLine, ":" + std::to_string(state.itemCount + 1)));
            } else {
                state.asmFile.WriteLine(state.pendingLine);
            }
        }
        state.itemCount = 0;
    }
    if (line) {
        state.pendingLine.assign(*line);
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

void WriteListing(RunState& state) {
    OpenSource(state, state.sourcePath);
    state.tmpFile.Create(kInnerLabelFileName);
    state.asmFile.Create(state.sourceName + kListingExtension);
    state.phase = 2;
    state.currentAddress = state.startAddress;
    state.dataColumn = 0;
    WriteAsmLine(state, "\topt h-");
    WriteAsmLine(state, "");
    WriteHeader(state, state.startAddress);
    state.pendingLine.clear();
    state.pendingIsMarker = false;
    state.itemCount = 0;
    state.prevByte = 0;
    while (!state.sourceFile.AtEnd()) {
        state.currentByte = state.sourceFile.ReadByte();
        if (!state.mnemonicTable[state.currentByte].empty() &&
            InfoAt(state, state.currentAddress).isCode == 1) {
            HandleInstruction(state);
        } else {
            HandleDataByte(state);
        }
    }
    CloseDataLine(state);
    QueueMarker(state);
    state.sourceFile.Close();
    state.asmFile.Close();
    state.tmpFile.Close();
    ConsoleWrite(state, ".");
}
