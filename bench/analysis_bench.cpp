// Speed of the analysis passes on 64 KB images at $0000:
//   Code       an instruction stream built from the shipped instruction set, with loops, calls
//              and jumps between its own instructions (fixed seed)
//   Random     random bytes (fixed seed)
//   Undefined  bytes that are no instruction and no jump target: every byte marks data ahead
//   RealCode   compiled programs, when VELKOR_BENCH_IMAGE names an image (bench/make_inputs.py
//              writes one: realistic.bin, 46 KB of cc65 samples for the atari target, at $1000)
// Build with -DVELKOR_BENCH=ON and run build/bench/velkor_bench.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/run_state.h"
#include "driver/run_sequence.h"
#include "engine/analysis.h"
#include "files/console.h"
#include "files/text_reader.h"
#include "files/text_writer.h"
#include "reference/mnemonic_file.h"

namespace {

constexpr size_t kImageSize = 65536;

std::string CodeImage(const RunState& table) {
    std::mt19937 random(6502);
    std::vector<int> opcodes;
    for (int op = 0; op < 256; ++op) {
        if (!table.mnemonicTable[op].empty()) opcodes.push_back(op);
    }
    std::string image;
    std::vector<size_t> starts;
    while (image.size() + 3 <= kImageSize) {
        starts.push_back(image.size());
        int op = opcodes[random() % opcodes.size()];
        const std::string& pattern = table.mnemonicTable[op];
        image.push_back(static_cast<char>(op));
        if (pattern.find('L') != std::string::npos) {
            image.push_back(static_cast<char>(-static_cast<int>(random() % 40) - 2));  // a loop
        } else if (pattern.find('Q') != std::string::npos) {
            size_t target = starts[random() % starts.size()];
            image.push_back(static_cast<char>(target & 0xFF));
            image.push_back(static_cast<char>(target >> 8));
        } else if (pattern.find_first_of("NZ") != std::string::npos) {
            image.push_back(static_cast<char>(random()));
        }
    }
    image.resize(kImageSize, '\xEA');
    return image;
}

std::string RandomImage() {
    std::mt19937 random(1);
    std::string image(kImageSize, '\0');
    for (char& b : image) b = static_cast<char>(random());
    return image;
}

void RunAnalysisOn(benchmark::State& bench, const std::string& kind) {
    char folder[] = "/tmp/velkor-bench-XXXXXX";
    if (!mkdtemp(folder)) return bench.SkipWithError("mkdtemp");
    const std::string imageName = std::string(folder) + "/image.bin";

    auto table = std::make_unique<RunState>();
    TextReader reader;
    reader.Open(std::string(VELKOR_DATA_DIR) + "/mnemo.qvt");
    LoadMnemonicsFrom(*table, reader);
    std::string image;
    if (kind == "real") {
        const char* path = std::getenv("VELKOR_BENCH_IMAGE");
        if (!path) return bench.SkipWithError("VELKOR_BENCH_IMAGE names no image");
        std::FILE* in = std::fopen(path, "rb");
        if (!in) return bench.SkipWithError("VELKOR_BENCH_IMAGE cannot be read");
        for (int c; (c = std::fgetc(in)) != EOF;) image.push_back(static_cast<char>(c));
        std::fclose(in);
    } else {
        image = kind == "code"     ? CodeImage(*table)
                : kind == "random" ? RandomImage()
                                   : std::string(kImageSize, '\x02');
    }
    TextWriter writer;
    writer.Create(imageName);
    writer.Write(image);
    writer.Close();

    std::FILE* console = std::tmpfile();
    for (auto _ : bench) {
        bench.PauseTiming();
        auto state = std::make_unique<RunState>();
        state->console.out = console;
        SetRunDefaults(*state);
        state->mnemonicTable = table->mnemonicTable;
        state->startAddress = kind == "real" ? 0x1000 : 0;  // the samples load at $1000
        bench.ResumeTiming();
        OpenSource(*state, imageName);
        state->imageSize = state->sourceFile.Size();
        state->image = RawImageMap(state->startAddress, state->skipCount, state->imageSize);
        state->passAgain = 1;
        RunAnalysis(*state);
        benchmark::DoNotOptimize(state->addressInfo.data());
    }
    // One dot per pass and iteration.
    bench.counters["passes"] = static_cast<double>(std::ftell(console)) / bench.iterations();
    std::fclose(console);
    std::remove(imageName.c_str());
    rmdir(folder);
}

void BM_AnalysisCode(benchmark::State& s) {
    RunAnalysisOn(s, "code");
}
void BM_AnalysisRandom(benchmark::State& s) {
    RunAnalysisOn(s, "random");
}
void BM_AnalysisUndefined(benchmark::State& s) {
    RunAnalysisOn(s, "undefined");
}
void BM_AnalysisRealCode(benchmark::State& s) {
    RunAnalysisOn(s, "real");
}

}  // namespace

BENCHMARK(BM_AnalysisCode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisRandom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisUndefined)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisRealCode)->Unit(benchmark::kMillisecond);
