// Shared by the fuzz targets: a private working folder, and one whole run of the program that
// may end in any orderly way.
#pragma once

#include <string>
#include <vector>

// Makes a fresh folder the current directory once per process, with the shipped mnemonic file.
void EnterFuzzFolder();

// Writes a file in the current directory.
void PutFile(const std::string& name, const std::string& bytes);

// Runs the program on the arguments; usage, "ERROR: " and I/O stops all count as orderly.
void RunOnce(const std::vector<std::string>& arguments);
