// The ways a run can end early. They are thrown where the stop happens and caught once, in main,
// which prints what they carry and turns them into the exit status.
#pragma once

#include <string>

// Exit statuses of the orderly stops; an I/O failure exits with its error number instead.
constexpr int kExitDone = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

// The usage text is wanted: no source argument, or an option that is not understood. With a
// message (an option understood but not acceptable), that line stands instead.
struct UsageStop {
    std::string message;
};

// A one-line "ERROR: ..." message ends the run.
struct ErrorStop {
    std::string message;
    bool lineEndFirst = false;  // write a line end before the message
};

// A file operation failed; code is the system's error number, file the name of the file.
struct IoFailure {
    int code;
    std::string file;
};

// Ends the run with the I/O report for the given error number (EIO when the number is 0) and
// the file it concerns.
[[noreturn]] void FailIo(int code, const std::string& file);
