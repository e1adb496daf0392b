#include "driver/run_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>
#include <tuple>

#include "core/run_state.h"
#include "driver/run_sequence.h"
#include "engine/instruction_format.h"
#include "files/file_ops.h"
#include "files/result_replacement.h"
#include "files/stops.h"
#include "output/final_source.h"
#include "output/html_page.h"
#include "output/listing_writer.h"
#include "reference/label_file.h"
#include "reference/mnemonic_file.h"

namespace {

// A file as the system knows it: the file a name leads to (after links), if there is one, and
// the place the name stands (its folder and its last component).
struct FileIdentity {
    std::string role;
    std::string name;
    bool beside = false;  // named after the image, so renaming the image moves it
    bool inPlace = true;  // written into the file its name leads to (not put in place by renaming)
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool placed = false;  // its folder exists
    dev_t folderDevice = 0;
    ino_t folderInode = 0;
    std::string leaf;
};

FileIdentity Identify(std::string role, const std::string& name, bool beside = false,
                      bool inPlace = true) {
    FileIdentity file;
    file.role = std::move(role);
    file.name = name;
    file.beside = beside;
    file.inPlace = inPlace;
    struct stat status {};
    if (stat(name.c_str(), &status) == 0) {
        file.exists = true;
        file.device = status.st_dev;
        file.inode = status.st_ino;
    }
    if (stat(FolderOf(name).c_str(), &status) == 0) {
        file.placed = true;
        file.folderDevice = status.st_dev;
        file.folderInode = status.st_ino;
        file.leaf = name.substr(name.rfind('/') + 1);
    }
    return file;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

bool SamePlace(const FileIdentity& a, const FileIdentity& b) {
    return a.placed && b.placed && a.folderDevice == b.folderDevice &&
           a.folderInode == b.folderInode && a.leaf == b.leaf;
}

// Whether writing the file destroys the other one. A file written in place destroys whatever
// its name leads to; a file put in place by renaming only what stands under its name.
bool Destroys(const FileIdentity& written, const FileIdentity& other) {
    return SamePlace(written, other) || (written.inPlace && SameFile(written, other));
}

// Stops the run: writing the file would destroy the other one.
[[noreturn]] void StopForCollision(const FileIdentity& written, const FileIdentity& other) {
    std::string advice;
    if (!SamePlace(written, other)) {
        advice = "remove " + written.name;  // a link planted under the name
    } else if (written.beside && other.role == "image") {
        advice = "rename the image";
    } else {
        advice = "rename the image or run from another folder";
    }
    throw ErrorStop{"ERROR: Writing the " + written.role + " " + written.name +
                    " would overwrite the " + other.role + " " + other.name + "; " + advice + "."};
}

// Locks the folders in the order of their identities, so that two runs never wait for each
// other crosswise. A folder that cannot be opened or locked (a file system without locks) is
// passed over: the run goes on as it would without locking.
FolderLocks LockFolders(const std::vector<std::string>& folders) {
    std::vector<std::tuple<dev_t, ino_t, std::string>> order;
    for (const std::string& folder : folders) {
        struct stat status {};
        if (stat(folder.c_str(), &status) == 0) {
            order.emplace_back(status.st_dev, status.st_ino, folder);
        }
    }
    std::sort(order.begin(), order.end());
    FolderLocks locks;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && std::get<0>(order[i]) == std::get<0>(order[i - 1]) &&
            std::get<1>(order[i]) == std::get<1>(order[i - 1])) {
            continue;
        }
        const int fd = open(std::get<2>(order[i]).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) continue;
        int locked;
        while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (locked == 0) {
            locks.Add(fd);
        } else {
            close(fd);
        }
    }
    return locks;
}

// The regular file under the name, opened to see what it holds; none when there is nothing to
// lose by replacing it: no file, an empty one, one that cannot be read, or a link (the link is
// replaced, not the file it leads to).
std::FILE* OpenToLookAt(const std::string& name) {
    struct stat status {};
    if (lstat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0) {
        return nullptr;
    }
    return std::fopen(name.c_str(), "rb");
}

// True when the file may be replaced by a result: there is none, it is empty, or it is a result
// of an earlier run. Every result holds the line "\topt h-" and, after it, the separator line of
// its first origin, each ended CR LF; a hand-written source for the assembler hardly ever holds
// both (its own header option is "opt h+" or none). A result edited by hand keeps them unless
// they are taken out. A file that cannot be read is taken as a result, as before this rule.
bool MayReplace(const std::string& name) {
    std::FILE* file = OpenToLookAt(name);
    if (!file) return true;
    // Read a piece at a time, up to the first 16 MB: results put these lines near their start,
    // after the equates, so a large result is not read whole.
    constexpr size_t kLookedAt = 16 << 20;
    constexpr size_t kPiece = 64 << 10;
    const std::string option = "\topt h-\r\n";
    const std::string separator = std::string(kSeparatorComment) + "\r\n";
    std::string text = "\n";  // so that the first line is found like any other
    size_t at = std::string::npos;
    bool found = false;
    while (!found && text.size() < kLookedAt) {
        const size_t from = text.size();
        text.resize(from + kPiece);
        const size_t got = std::fread(text.data() + from, 1, kPiece, file);
        text.resize(from + got);
        // A line may straddle the pieces: look again from a little before the new piece.
        const size_t back =
            from > option.size() + separator.size() ? from - option.size() - separator.size() : 0;
        if (at == std::string::npos) at = text.find("\n" + option, back);
        if (at != std::string::npos)
            found = text.find("\n" + separator, std::max(at, back)) != std::string::npos;
        if (got < kPiece) break;
    }
    std::fclose(file);
    return found;
}

// True when the page may be replaced: there is none, it is empty, or its first 4 KB name
// VELKOR as the program that made it (the mark every page holds in its head).
bool MayReplacePage(const std::string& name) {
    std::FILE* file = OpenToLookAt(name);
    if (!file) return true;
    std::string head(4096, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), file));
    std::fclose(file);
    return head.find(kPageMark) != std::string::npos;
}

}  // namespace

FolderLocks::~FolderLocks() {
    for (int fd : fds_) close(fd);
}

FolderLocks GuardRunFiles(const RunState& state) {
    const std::string base = BaseName(state.sourceName);
    const std::string& result = state.resultName;
    FolderLocks locks = LockFolders({".", FolderOf(state.sourceName), FolderOf(result)});

    std::vector<FileIdentity> inputs = {Identify("image", state.sourceName),
                                        Identify("mnemonic file", state.mnemonicPath),
                                        Identify("label file", state.labelPath)};
    for (const std::string& name : state.optionFiles) {
        inputs.push_back(Identify("options file", name));
    }
    std::vector<FileIdentity> written = {
        Identify("result", result, true, false),
        Identify("unfinished result", result + kUnfinishedSuffix, true)};
    if (state.dataBlockOnly != 1) {
        written.push_back(Identify("listing", base + kListingExtension, true));
        written.push_back(Identify("inner-label file", kInnerLabelFileName));
    }
    if (state.useLabelFile == 1) written.push_back(Identify("names file", kNamesFileName));
    if (state.writePage == 1) {
        written.push_back(Identify("page", state.pageName, true, false));
        written.push_back(Identify("unfinished page", state.pageName + kUnfinishedSuffix, true));
    }

    // Every name is checked before the first file is made: a run must not do all its work and
    // then fail to make its last file.
    for (const FileIdentity& file : written) {
        const long nameMax = pathconf(FolderOf(file.name).c_str(), _PC_NAME_MAX);
        const size_t leaf = file.name.size() - file.name.rfind('/') - 1;
        if (leaf > static_cast<size_t>(nameMax > 0 ? nameMax : 255) ||
            file.name.size() >= PATH_MAX) {
            throw ErrorStop{"ERROR: The name of the " + file.role + " " + file.name +
                            " is too long; rename the image or choose a shorter name with -o."};
        }
    }
    for (const FileIdentity& file : written) {
        for (const FileIdentity& input : inputs) {
            if (Destroys(file, input)) StopForCollision(file, input);
        }
    }
    for (size_t i = 0; i < written.size(); ++i) {
        for (size_t j = i + 1; j < written.size(); ++j) {
            if (Destroys(written[j], written[i])) StopForCollision(written[j], written[i]);
        }
    }
    if (!MayReplace(result)) {
        throw ErrorStop{"ERROR: " + result +
                        " exists and was not written by VELKOR; choose another name with -o, or "
                        "remove it."};
    }
    if (state.writePage == 1 && !MayReplacePage(state.pageName)) {
        throw ErrorStop{"ERROR: " + state.pageName +
                        " exists and was not written by VELKOR; choose another name with -o, or "
                        "remove it."};
    }
    return locks;
}
