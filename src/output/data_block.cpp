#include "output/data_block.h"

#include <string>

#include "driver/run_files.h"
#include "driver/run_state.h"
#include "engine/asm_lines.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"
#include "output/final_source.h"
#include "output/listing_writer.h"

namespace {

constexpr int kBytesPerLine = 16;
constexpr int kWordsPerLine = 6;

// Marks every address found in a table as the start of a byte block; nothing is written.
void FindTableTargets(RunState& state) {
    state.currentAddress = state.startAddress;
    SetIsEntry(state, state.startAddress, 1);
    char kind = 'B';
    while (!state.sourceFile.AtEnd()) {
        AddressInfo info = InfoAt(state, state.currentAddress);
        if (info.isEntry == 1) kind = static_cast<char>(info.blockKind);
        uint8_t low = state.sourceFile.ReadByte();
        if (kind == 'W' && !state.sourceFile.AtEnd()) {
            int64_t word = low + 256 * state.sourceFile.ReadByte();
            SetIsEntry(state, word, 1);
            SetBlockKind(state, word, 'B');
            state.currentAddress += 2;
        } else {
            state.currentAddress += 1;
        }
    }
}

// Writes every item; a table's last byte without a partner is written as a byte item.
void WriteBlocks(RunState& state) {
    state.sourceFile.Seek(state.skipCount);
    state.currentAddress = state.startAddress;
    state.itemCount = 0;
    char kind = 'B';
    WriteAsmLine(state, "\topt h-");
    WriteHeader(state, state.startAddress);
    WriteAsmLine(state, "");
    while (!state.sourceFile.AtEnd()) {
        AddressInfo info = InfoAt(state, state.currentAddress);
        if (info.isEntry == 1) kind = static_cast<char>(info.blockKind);
        state.currentByte = state.sourceFile.ReadByte();
        state.pendingLine.clear();
        const bool isTable = kind == 'W';
        const bool isWord = isTable && !state.sourceFile.AtEnd();
        int64_t value = state.currentByte;
        if (isWord) value += 256 * state.sourceFile.ReadByte();
        const int lineLimit = isTable ? kWordsPerLine - 1 : kBytesPerLine - 1;

        if (info.isEntry == 1) {
            state.asmFile.Write("\r\n");
            if (state.itemCount != 0) state.asmFile.Write("\r\n");
            state.pendingLine = CodeLabel(state.currentAddress);
            state.itemCount = 0;
        }
        const bool first = state.itemCount == 0;
        if (isWord) {
            std::string word = "a(" + CodeLabel(value) + ")";
            state.asmFile.Write(first ? state.pendingLine + "\tdta " + word : "," + word);
        } else {
            std::string byte = "$" + FormatHex(value, 2);
            state.asmFile.Write(first ? state.pendingLine + "\tdta " + byte : "," + byte);
        }
        state.currentAddress += isWord ? 2 : 1;
        if (++state.itemCount > lineLimit) {
            state.asmFile.Write("\r\n");
            state.itemCount = 0;
        }
    }
}

}  // namespace

void WriteDataBlock(RunState& state) {
    ResultReplacement result(state, state.sourceName + kResultExtension);
    FindTableTargets(state);
    WriteBlocks(state);
    result.PutInPlace();
    state.sourceFile.Close();
}
