#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/run_state.h"
#include "driver/run_sequence.h"
#include "files/stops.h"

void EnterFuzzFolder() {
    static bool entered = false;
    if (entered) return;
    std::ifstream shipped(VELKOR_DATA_DIR "/mnemo.qvt", std::ios::binary);
    std::ostringstream mnemo;
    mnemo << shipped.rdbuf();
    char folder[] = "/tmp/velkor-fuzz-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) std::abort();
    PutFile("mnemo.qvt", mnemo.str());
    entered = true;
}

void PutFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::unique_ptr<RunState> RunKeepingFiles(const std::vector<std::string>& arguments,
                                          bool& finished) {
    static std::FILE* console = std::fopen("/dev/null", "w");
    auto state = std::make_unique<RunState>();
    state->console.out = console;
    finished = false;
    try {
        RunVelkor(*state, arguments);
        finished = true;
    } catch (const UsageStop&) {
    } catch (const ErrorStop&) {
    } catch (const IoFailure&) {
    }
    return state;
}

void RemoveRunFiles() {
    for (const char* name : {"image.asm", "image.asm.partial", "image.$$$", "_tmp.$$$", "_temp.$$$",
                             "image.expected", "image.rebuild", "image.html", "image.html.partial"})
        std::remove(name);
}

void RunOnce(const std::vector<std::string>& arguments) {
    bool finished;
    RunKeepingFiles(arguments, finished);
    RemoveRunFiles();
}
