// Entry point: runs the sequence and turns the way it ended into console text and exit status.
#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/run_state.h"
#include "driver/run_sequence.h"
#include "driver/usage.h"
#include "files/console.h"
#include "files/created_files.h"
#include "files/stops.h"

int main(int argc, char** argv) {
    // The console only shows progress: a reader that goes away must not end the run. A file
    // grown past the size limit is an I/O error like any other, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    RemoveCreatedFilesOnSignal();
    // Not value-initialised: the address table is set up chunk by chunk as it is used.
    std::unique_ptr<RunState> state(new RunState);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        RunVelkor(*state, arguments);
        return kExitDone;
    } catch (const UsageStop& stop) {
        if (stop.message.empty()) {
            WriteUsageText(*state);
        } else {
            ConsoleLine(state->console, stop.message);
        }
        return kExitUsage;
    } catch (const ErrorStop& stop) {
        if (stop.lineEndFirst) ConsoleLine(state->console, "");
        ConsoleLine(state->console, stop.message);
        return kExitError;
    } catch (const IoFailure& failure) {
        // The files this run made and has not put in place are removed: a full disk is not
        // left fuller.
        RemoveCreatedFiles();
        ConsoleEndOpenLine(state->console);
        ConsoleLine(state->console, "I/O error " + std::to_string(failure.code) + ": " +
                                        std::strerror(failure.code) + " (" + failure.file + ")");
        return failure.code;
    }
}
