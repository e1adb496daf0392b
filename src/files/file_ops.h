// Operations on whole files by name: the two tests whose failure is an ordinary answer (never an
// error of the run), opening for reading, and erasing and replacing. Every other operation here
// is checked as it returns; a failure ends the run with the I/O report (FailIo).
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// How much one read of a file brings at the most.
constexpr size_t kReadChunk = 64 * 1024;

// True when the named file opens for reading and closes again; false for a directory, a pipe
// or a device.
bool FileExists(const std::string& name);

// True when a file of that name may be written: an existing regular file that opens for writing,
// or a new one in a folder that takes new files. Changes nothing: an existing file keeps its
// contents and no file is created. False for an empty name, a directory, a pipe or a device.
bool CanWriteFile(const std::string& name);

// Opens the file for reading, refusing pipes and devices: opening them could wait for ever.
std::FILE* OpenForReading(const std::string& name);

// Reads the file as it stands, byte for byte, a piece at a time into the buffer (as long as the
// buffer is, at least kReadChunk; its room is used again), and hands each piece to take.
void ReadInPieces(const std::string& name, std::string& buffer,
                  const std::function<void(std::string_view)>& take);

// The folder that holds the named file: "." for a bare name.
std::string FolderOf(const std::string& name);

// Opens the named file for reading, closes it and deletes it; any failure ends the run.
void EraseFile(const std::string& name);

// Puts the file from under its name in place of the file to, in one step: a reader of to sees
// either the old file or the new one, never a part.
void ReplaceFile(const std::string& from, const std::string& to);
