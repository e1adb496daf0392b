// The files a run writes: the result and its unfinished copy beside the image, the listing beside
// the image, and the inner-label and names files in the current folder. Three rules keep them
// from harming anything else:
//  - every folder that holds one of them is locked for the whole run, so two runs that would use
//    the same file name take turns instead of writing into each other's files (runs in other
//    folders still run side by side);
//  - before the first of them is created, none may be the image, a reference file or another of
//    them, by name or through a link; otherwise the run stops and changes nothing;
//  - the result is written under its unfinished name and only put in place once it is whole
//    (files/result_replacement.h).
#pragma once

#include <string>
#include <vector>

struct RunState;

// Locks held on folders; released when the object goes.
class FolderLocks {
  public:
    FolderLocks() = default;
    FolderLocks(FolderLocks&& other) noexcept : fds_(std::move(other.fds_)) { other.fds_.clear(); }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;
    FolderLocks& operator=(FolderLocks&&) = delete;
    ~FolderLocks();

    void Add(int fd) { fds_.push_back(fd); }

  private:
    std::vector<int> fds_;
};

// Waits for the locks of the run's folders, then stops the run (an "ERROR: " message) when a
// file it would write is one of its inputs or another of its files. Called before the run creates
// any file, while sourceName still holds the source argument.
FolderLocks GuardRunFiles(const RunState& state);
