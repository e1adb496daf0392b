#include "files/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "files/created_files.h"
#include "files/stops.h"

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

std::FILE* OpenForReading(const std::string& name) {
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(name, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status)) {
        FailIo(ENXIO, name);
    }
    errno = 0;
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) FailIo(errno, name);
    return file;
}

void ReadInPieces(const std::string& name, std::string& buffer,
                  const std::function<void(std::string_view)>& take) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenForReading(name), std::fclose);
    if (buffer.size() < kReadChunk) buffer.resize(kReadChunk);
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (got > 0) take(std::string_view(buffer.data(), got));
        if (got == buffer.size()) continue;
        if (std::ferror(file.get())) FailIo(errno, name);
        break;
    }
    if (std::fclose(file.release()) != 0) FailIo(errno, name);
}

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

std::string FolderOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

void EraseFile(const std::string& name) {
    std::FILE* probe = OpenForReading(name);
    if (std::fclose(probe) != 0) FailIo(errno, name);
    errno = 0;
    if (std::remove(name.c_str()) != 0) FailIo(errno, name);
    ForgetForCleanup(name);
}

void ReplaceFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) FailIo(errno, to);
    ForgetForCleanup(from);
}
