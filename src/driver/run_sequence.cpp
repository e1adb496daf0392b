#include "driver/run_sequence.h"

#include "core/address_table.h"
#include "driver/options.h"
#include "driver/run_files.h"
#include "driver/usage.h"
#include "engine/analysis.h"
#include "engine/atari_file.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "files/console.h"
#include "files/file_ops.h"
#include "files/stops.h"
#include "output/data_block.h"
#include "output/final_source.h"
#include "output/listing_writer.h"
#include "reference/label_file.h"
#include "reference/mnemonic_file.h"

void SetRunDefaults(RunState& state) {
    state.startAddress = kDefaultStartAddress;
    state.dataBlockOnly = 0;
    state.useLabelFile = 0;
    state.skipCount = 0;
    state.mnemonicsOff = 0;
    ResetAddressTables(state);
}

std::string BaseName(const std::string& argument) {
    size_t nameStart = argument.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = argument.find('.', nameStart);
    return dot == std::string::npos ? argument : argument.substr(0, dot);
}

namespace {

void LoadMnemonicFile(RunState& state) {
    ConsoleLine(state.console, "Read file: MNEMO.QVT");
    if (!FileExists(kMnemonicFileName)) throw ErrorStop{"ERROR: File 'MNEMO.QVT' not found."};
    for (std::string& pattern : state.mnemonicTable) pattern.clear();
    state.sourcePath = state.sourceName;
    LoadMnemonics(state);
}

void CheckLabelFile(RunState& state) {
    ConsoleLine(state.console, "Read file: MEMORY.QVT");
    if (!FileExists(kLabelFileName)) throw ErrorStop{"ERROR: File 'MEMORY.QVT' not found."};
}

// The summary line, written around the opening of the image so that a failure to open it is
// reported after the name.
void OpenImage(RunState& state) {
    ConsoleWrite(state.console, state.sourceName + " -> ");
    OpenSource(state, state.sourceName);
    state.imageSize = state.sourceFile.Size();
    if (state.atariFiles == 0) {
        state.image = RawImageMap(state.startAddress, state.skipCount, state.imageSize);
    }
    state.sourceName = BaseName(state.sourceName);
    ConsoleLine(state.console,
                state.sourceName + ".asm  Address: $" + FormatHex(state.startAddress, 4));
    if (state.atariFiles == 1) ConsoleLine(state.console, state.image.found);
    for (const std::string& warning : state.image.warnings) ConsoleLine(state.console, warning);
}

}  // namespace

void RunVelkor(RunState& state, const std::vector<std::string>& arguments) {
    ConsoleLine(state.console, "");
    ConsoleLine(state.console, kBanner);
    SetRunDefaults(state);
    if (arguments.empty()) ShowUsage();
    state.sourceName = arguments[0];
    if (!FileExists(state.sourceName)) {
        throw ErrorStop{"ERROR: File " + state.sourceName + " not exists !"};
    }
    for (size_t i = 1; i < arguments.size(); ++i) ParseArgument(state, arguments[i]);
    LoadMnemonicFile(state);
    CheckUserNames(state);
    SortUserComments(state);
    if (state.useLabelFile == 1) CheckLabelFile(state);
    // An Atari file's layout is read before any file is made, so that one it cannot take
    // leaves nothing behind.
    if (state.atariFiles == 1) ReadAtariFile(state);
    const FolderLocks locks = GuardRunFiles(state);  // held to the end of the run
    if (state.useLabelFile == 1) LoadLabelNames(state);
    OpenImage(state);
    PlaceUserNames(state);

    if (state.dataBlockOnly == 1) {
        state.phase = 2;
        WriteDataBlock(state);
        ConsoleLine(state.console, "Done.");
        return;
    }
    ConsoleWrite(state.console, "Pass ");
    state.passAgain = 1;
    RunAnalysis(state);
    WriteListing(state);
    WriteFinalSource(state);  // ends with the clean-up and "Done."
}
