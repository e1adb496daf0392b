#include "engine/file_tests.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "driver/files.h"

namespace {

// A name that exists but is no regular file: a directory, or a pipe or device whose opening
// could wait for ever.
bool IsSpecial(const std::string& name) {
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(name, ec);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

// Opens and closes the file for reading; restores errno so no error stays pending.
bool OpensForReading(const std::string& name) {
    int savedErrno = errno;
    bool ok = false;
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) ok = std::fclose(f) == 0;
    errno = savedErrno;
    return ok;
}

}  // namespace

bool FileExists(const std::string& name) {
    return !name.empty() && !IsSpecial(name) && OpensForReading(name);
}

bool CanWriteFile(const std::string& name) {
    if (name.empty()) return false;
    const int savedErrno = errno;
    bool ok = false;
    struct stat status {};
    if (stat(name.c_str(), &status) == 0) {
        if (S_ISREG(status.st_mode)) {
            const int fd = open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            ok = fd >= 0 && close(fd) == 0;
        }
    } else if (errno == ENOENT) {
        ok = faccessat(AT_FDCWD, FolderOf(name).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    }
    errno = savedErrno;
    return ok;
}
