// Shared by the fuzz targets: a private working folder, and one whole run of the program that
// may end in any orderly way.
#pragma once

#include <memory>
#include <string>
#include <vector>

// Makes a fresh folder the current directory once per process, with the shipped mnemonic file.
void EnterFuzzFolder();

// Writes a file in the current directory.
void PutFile(const std::string& name, const std::string& bytes);

struct RunState;

// Runs the program on the arguments; usage, "ERROR: " and I/O stops all count as orderly. The
// files of the run stay until RemoveRunFiles; the state after the run is returned, and whether
// the run got to its end.
std::unique_ptr<RunState> RunKeepingFiles(const std::vector<std::string>& arguments,
                                          bool& finished);

// Removes the files a run of the image "image.bin" can leave behind.
void RemoveRunFiles();

// Runs the program on the arguments and removes its files.
void RunOnce(const std::vector<std::string>& arguments);
