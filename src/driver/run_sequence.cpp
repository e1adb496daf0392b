#include "driver/run_sequence.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <initializer_list>

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
#include "output/html_page.h"
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

std::string FindReferenceFile(const std::string& name) {
    if (FileExists(name)) return name;
    if (const char* data = std::getenv("VELKOR_DATA"); data && *data) {
        const std::string path = std::string(data) + "/" + name;
        if (FileExists(path)) return path;
    }
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        const std::string program(self, static_cast<size_t>(length));
        const std::string path = FolderOf(FolderOf(program)) + "/share/velkor/" + name;
        if (FileExists(path)) return path;
    }
    return name;
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
    state.mnemonicPath = FindReferenceFile(kMnemonicFileName);
    if (!FileExists(state.mnemonicPath)) {
        throw ErrorStop{"ERROR: File 'MNEMO.QVT' not found."};
    }
    for (std::string& pattern : state.mnemonicTable) pattern.clear();
    state.sourcePath = state.sourceName;
    LoadMnemonics(state);
}

void CheckLabelFile(RunState& state) {
    ConsoleLine(state.console, "Read file: MEMORY.QVT");
    state.labelPath = FindReferenceFile(kLabelFileName);
    if (!FileExists(state.labelPath)) throw ErrorStop{"ERROR: File 'MEMORY.QVT' not found."};
    if (!state.userNames.empty()) {
        CheckNamesAgainstLabelFile(state, ReadLabelFileNames(state.labelPath));
    }
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
                state.resultName + "  Address: $" + FormatHex(state.startAddress, 4));
    if (state.atariFiles == 1) ConsoleLine(state.console, state.image.found);
    for (const std::string& warning : state.image.warnings) ConsoleLine(state.console, warning);
}

}  // namespace

namespace {

// True when the only argument is the option, and no file has that name (a file named --help is
// still an image).
bool OnlyArgumentIs(const std::vector<std::string>& arguments,
                    std::initializer_list<const char*> options) {
    if (arguments.size() != 1 || FileExists(arguments[0])) return false;
    for (const char* option : options) {
        if (arguments[0] == option) return true;
    }
    return false;
}

}  // namespace

void RunVelkor(RunState& state, const std::vector<std::string>& arguments) {
    if (OnlyArgumentIs(arguments, {"--version"})) {
        ConsoleLine(state.console, kVersionLine);
        return;
    }
    ConsoleLine(state.console, "");
    ConsoleLine(state.console, kBanner);
    SetRunDefaults(state);
    if (arguments.empty()) ShowUsage();
    if (OnlyArgumentIs(arguments, {"--help", "-h"})) {
        WriteUsageText(state);
        return;
    }
    state.sourceName = arguments[0];
    if (!FileExists(state.sourceName)) {
        throw ErrorStop{"ERROR: File " + state.sourceName + " not exists !"};
    }
    for (size_t i = 1; i < arguments.size(); ++i) ParseArgument(state, arguments[i]);
    state.resultName =
        state.outputName.empty() ? BaseName(state.sourceName) + kResultExtension : state.outputName;
    if (state.writePage == 1) state.pageName = PageNameOf(state.resultName);
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
        if (state.writePage == 1) WriteHtmlPage(state);
        ConsoleLine(state.console, "Done.");
        return;
    }
    ConsoleWrite(state.console, "Pass ");
    state.passAgain = 1;
    RunAnalysis(state);
    WriteListing(state);
    WriteFinalSource(state);  // ends with the clean-up and "Done."
}
