// One run from banner to "Done.": defaults, options, reference files, the image, and then either
// the data-block mode or the analysis, the listing and the final source file.
#pragma once

#include <string>
#include <vector>

struct RunState;

constexpr char kBanner[] = "CPU6502 DisAsembler v2.2 by Olvek/Quorlin";
constexpr char kVersionLine[] = "velkor 2.2";

// Runs the whole sequence for the command-line arguments (the program name not included).
// Early stops leave it as exceptions (files/stops.h).
void RunVelkor(RunState& state, const std::vector<std::string>& arguments);

// The option defaults and the start values of the address table.
void SetRunDefaults(RunState& state);

// Where a reference file is read from: the current folder when it holds the file; else the
// folder the environment variable VELKOR_DATA names, when that holds it; else the data folder of
// the installation, share/velkor beside the folder of the program (found from the program's own
// path, so a moved prefix still works). The bare name when none holds it.
std::string FindReferenceFile(const std::string& name);

// The source argument without the extension of its last path component: "../d/x.bin" gives
// "../d/x", "dir.old/x.bin" gives "dir.old/x", "x.y.bin" gives "x".
std::string BaseName(const std::string& argument);
