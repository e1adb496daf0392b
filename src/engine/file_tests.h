// Tests on files whose failure is an ordinary answer, never an error of the run.
#pragma once

#include <string>

// True when the named file opens for reading and closes again; false for a directory, a pipe
// or a device.
bool FileExists(const std::string& name);

// True when the named file can be created or emptied and closed; leaves an empty file behind on
// success. False for an empty name, a directory, a pipe or a device.
bool CanWriteFile(const std::string& name);
