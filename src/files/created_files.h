// The files a run has created and not yet put in place or erased. A signal that ends the run
// (Ctrl-C, a hang-up, a termination request) first removes them, so an interrupted run leaves no
// unfinished file behind. The writer registers a file as it creates it; erasing or renaming it
// forgets it.
#pragma once

#include <string>

// Notes a file about to be created; a name too long to keep, or once too many, is passed over.
void RememberForCleanup(const std::string& name);

// The file is gone or in place: a signal no longer removes it.
void ForgetForCleanup(const std::string& name);

// Removes the remembered files now (a run that ends on an I/O failure leaves none behind).
void RemoveCreatedFiles();

// From now on a signal that ends the run first removes the remembered files.
void RemoveCreatedFilesOnSignal();
