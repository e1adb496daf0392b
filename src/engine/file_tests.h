// Tests on files whose failure is an ordinary answer, never an error of the run.
#pragma once

#include <string>

// True when the named file opens for reading and closes again; false for a directory, a pipe
// or a device.
bool FileExists(const std::string& name);

// True when a file of that name may be written: an existing regular file that opens for writing,
// or a new one in a folder that takes new files. Changes nothing: an existing file keeps its
// contents and no file is created. False for an empty name, a directory, a pipe or a device.
bool CanWriteFile(const std::string& name);
