// Fuzz target: a whole run on an arbitrary image with arbitrary options, the shipped mnemonic
// file and a small label file. The input starts with the options: a count byte, then five bytes
// for each option (which option and how its number is written, and the number); the rest of
// the input is the image. Two names of the label file look like generated labels with a layer
// number written with a leading zero: text that the final phase must leave alone.
//
// Where ca65 and python3 are installed, each result is built again with ca65 and must give the
// bytes the run read (the image from the skipped bytes on at its start address, or a whole
// Atari file with -x); a difference is a finding. VELKOR_FUZZ_REBUILD=0 turns the check off.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/image_map.h"
#include "core/run_state.h"
#include "fuzz_support.h"

namespace {

const char* const kOptions[] = {"-a", "-s", "-bc", "-bd", "-bac", "-bad", "-sa", "-sd",
                                "-m", "-l", "-d",  "-S",  "/BAD", "-x",   "-w"};

std::string OptionText(uint8_t selector, uint32_t number) {
    std::string text = kOptions[selector % (sizeof kOptions / sizeof kOptions[0])];
    char digits[24];
    switch (selector >> 6) {
        case 0:
            std::snprintf(digits, sizeof digits, "$%X", number);
            break;
        case 1:
            std::snprintf(digits, sizeof digits, "%d", static_cast<int32_t>(number));
            break;
        case 2:
            std::snprintf(digits, sizeof digits, "-$%X", number & 0xFFFF);
            break;
        default:
            std::snprintf(digits, sizeof digits, "$%X", number & 0xFFFF);
            break;
    }
    return text + digits;
}

bool RebuildChecked() {
    static const bool checked = [] {
        const char* setting = std::getenv("VELKOR_FUZZ_REBUILD");
        if (setting && std::strcmp(setting, "0") == 0) return false;
        return std::system(
                   "command -v ca65 >/dev/null 2>&1 && command -v ld65 >/dev/null 2>&1 "
                   "&& command -v python3 >/dev/null 2>&1") == 0;
    }();
    return checked;
}

// Builds the result of a finished run again with ca65, where the bytes it must give are known,
// and stops with the difference when they are not the same.
void CheckRebuild(const RunState& state, const std::string& image) {
    if (!std::ifstream("image.asm")) return;
    std::string where = "atari";
    std::string expected = image;
    // With -x a file that is no load file or cartridge is read as a raw image.
    const bool wholeFile = state.atariFiles == 1 && state.image.found.rfind("Raw image", 0) != 0;
    if (!wholeFile) {
        const int64_t start = state.startAddress;
        const int64_t skip = state.skipCount;
        if (skip < 0 || skip >= static_cast<int64_t>(image.size()) || start < 0 ||
            start + static_cast<int64_t>(image.size()) - skip > 0x10000) {
            return;  // addresses outside $0000-$FFFF, or nothing read: no address to build at
        }
        expected = image.substr(static_cast<size_t>(skip));
        char text[8];
        std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(start));
        where = text;
    } else if (state.skipCount != 0) {
        return;
    }
    PutFile("image.expected", expected);
    const std::string command = "python3 " VELKOR_SOURCE_DIR
                                "/tests/roundtrip/rebuild.py image.asm image.expected " +
                                where + " >image.rebuild 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::ifstream report("image.rebuild");
        std::fprintf(stderr, "the result does not build again to the bytes read (%s):\n%s\n",
                     where.c_str(),
                     std::string(std::istreambuf_iterator<char>(report), {}).c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnterFuzzFolder();
    PutFile("memory.qvt",
            "portb $d301 ; port B\nzp $0080\nvec $0600\nvec+1 $0601\nE0_0601 $0700\n"
            "E01_0601 $0701\n");
    std::vector<std::string> arguments = {"image.bin"};
    size_t at = 0;
    int count = size > 0 ? data[at++] % 6 : 0;
    for (int i = 0; i < count && at + 5 <= size; ++i, at += 5) {
        uint32_t number = data[at + 1] | data[at + 2] << 8 | data[at + 3] << 16 |
                          static_cast<uint32_t>(data[at + 4]) << 24;
        arguments.push_back(OptionText(data[at], number));
    }
    const std::string image(reinterpret_cast<const char*>(data) + at, size - at);
    PutFile("image.bin", image);
    bool finished;
    std::unique_ptr<RunState> state = RunKeepingFiles(arguments, finished);
    if (finished && RebuildChecked()) CheckRebuild(*state, image);
    RemoveRunFiles();
    return 0;
}
