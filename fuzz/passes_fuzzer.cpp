// Fuzz target: the analysis of an arbitrary image must come to the same result with whole passes
// only, as the program runs it (whole passes first, then replayed ones), and replayed from the
// first pass (not for an image that runs past $FFFF, flags bit 3). The input: a flags byte (bit
// 0: mnemonics off; bits 1-2: which shipped instruction set; bit 3: the image may run past
// $FFFF), the start address (two bytes, low first), a count byte
// and three bytes for each -bc/-bd option (address, low first, then which), then the image.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/address_table.h"
#include "driver/run_sequence.h"
#include "engine/analysis.h"
#include "engine/pass_replay.h"
#include "files/text_reader.h"
#include "fuzz_support.h"
#include "reference/mnemonic_file.h"

namespace {

const std::array<std::string, 256>& Table(int which) {
    static const char* const kFiles[] = {"/mnemo.qvt", "/mnemo-undocumented.qvt",
                                         "/mnemo-65c02.qvt"};
    static std::array<std::array<std::string, 256>, 3> tables;
    static std::array<bool, 3> loaded{};
    if (!loaded[which]) {
        RunState state;
        TextReader reader;
        reader.Open(std::string(VELKOR_DATA_DIR) + kFiles[which]);
        LoadMnemonicsFrom(state, reader);
        tables[which] = state.mnemonicTable;
        loaded[which] = true;
    }
    return tables[which];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    EnterFuzzFolder();
    static std::FILE* console = std::fopen("/dev/null", "w");
    const uint8_t flags = data[0];
    const int64_t start = data[1] | data[2] << 8;
    size_t at = 4;
    const int count = data[3] % 5;
    std::array<std::unique_ptr<RunState>, 3> runs;
    for (auto& run : runs) {
        run = std::make_unique<RunState>();
        run->console.out = console;
        SetRunDefaults(*run);
        run->mnemonicTable = Table((flags >> 1) % 3);
        run->startAddress = start;
        run->mnemonicsOff = flags & 1;
    }
    for (int i = 0; i < count && at + 3 <= size; ++i, at += 3) {
        const int64_t address = data[at] | data[at + 1] << 8;
        for (auto& run : runs) {
            SetIsCode(*run, address, data[at + 2] & 1);
            SetIsEntry(*run, address, 1);
            SetBit(run->referencedMap, address);
            SetBit(run->codeRefMap, address);
        }
    }
    const size_t room = static_cast<size_t>(kAddressCount - start);
    const bool pastTop = (flags & 8) != 0;
    const size_t length = pastTop ? size - at : std::min(size - at, room);
    PutFile("image.bin", std::string(reinterpret_cast<const char*>(data) + at, length));
    const int ways = length > room ? 2 : 3;
    for (int way = 0; way < ways; ++way) {
        RunState& state = *runs[way];
        OpenSource(state, "image.bin");
        state.imageSize = state.sourceFile.Size();
        state.image = RawImageMap(state.startAddress, state.skipCount, state.imageSize);
        state.passAgain = 1;
        if (way == 0) RunAnalysisByText(state);
        if (way == 1) RunAnalysis(state);
        if (way == 2) RunReplayedPasses(state, ShapesOfTable(state));
    }
    const RunState& full = *runs[0];
    for (int way = 1; way < ways; ++way) {
        const RunState& other = *runs[way];
        if (full.referencedMap != other.referencedMap || full.codeRefMap != other.codeRefMap) {
            std::abort();
        }
        for (int64_t a = 0; a < kAddressCount; ++a) {
            if (InfoAt(full, a).isCode != InfoAt(other, a).isCode ||
                InfoAt(full, a).isEntry != InfoAt(other, a).isEntry) {
                std::abort();
            }
        }
    }
    return 0;
}
