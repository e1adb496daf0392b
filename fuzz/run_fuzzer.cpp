// Fuzz target: a whole run on an arbitrary image with arbitrary options, the shipped mnemonic
// file and a small label file. The input starts with the options: a count byte, then five bytes
// for each option (which option and how its number is written, and the number); the rest of
// the input is the image. Two names of the label file look like generated labels with a layer
// number written with a leading zero: text that the final phase must leave alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

const char* const kOptions[] = {"-a",  "-s", "-bc", "-bd", "-bac", "-bad", "-sa",
                                "-sd", "-m", "-l",  "-d",  "-S",   "/BAD", "-x"};

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
    PutFile("image.bin", std::string(reinterpret_cast<const char*>(data) + at, size - at));
    RunOnce(arguments);
    return 0;
}
