#include "files/created_files.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

namespace {

// A signal handler may only use plain storage, so the names are kept in a fixed table of
// fixed-size texts, with a mark for each slot in use kept apart from them: a run reads only the
// pages of the slots it fills.
constexpr int kCleanupSlots = 8;
char cleanupNames[kCleanupSlots][PATH_MAX];
volatile std::sig_atomic_t cleanupSlotUsed[kCleanupSlots];

extern "C" void RemoveFilesAndDie(int signalNumber) {
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i]) unlink(cleanupNames[i]);
    }
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

}  // namespace

void RememberForCleanup(const std::string& name) {
    if (name.empty() || name.size() >= PATH_MAX) return;
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i] && name == cleanupNames[i]) return;
    }
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i]) continue;
        // Marked last: a handler never sees a name half written.
        std::memcpy(cleanupNames[i], name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        cleanupSlotUsed[i] = 1;
        return;
    }
}

void ForgetForCleanup(const std::string& name) {
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i] && name == cleanupNames[i]) cleanupSlotUsed[i] = 0;
    }
}

void RemoveCreatedFiles() {
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i]) unlink(cleanupNames[i]);
        cleanupSlotUsed[i] = 0;
    }
}

void RemoveCreatedFilesOnSignal() {
    struct sigaction action {};
    action.sa_handler = RemoveFilesAndDie;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}
