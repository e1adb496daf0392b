// Fuzz target: arbitrary text as the mnemonic file and the label file. The input is the
// mnemonic file up to its first zero byte and the label file after it; every byte value is run
// as an image through the analysis, the listing and the final file with -l, and through the
// data-block mode.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnterFuzzFolder();
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t zero = input.find('\0');
    PutFile("mnemo.qvt", input.substr(0, zero));
    PutFile("memory.qvt", zero == std::string::npos ? "" : input.substr(zero + 1));
    std::string image;
    for (int b = 0; b < 256; ++b)
        image += {static_cast<char>(b), static_cast<char>(b ^ 0x5A), '\x04'};
    PutFile("image.bin", image);
    RunOnce({"image.bin", "-l", "-sa"});
    RunOnce({"image.bin", "-l", "-m", "-a$FFF0"});
    RunOnce({"image.bin", "-d", "-l", "-bad$0400"});
    return 0;
}
