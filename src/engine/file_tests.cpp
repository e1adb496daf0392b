#include "engine/file_tests.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

bool IsDirectory(const std::string& name) {
    std::error_code ec;
    return std::filesystem::is_directory(name, ec);
}

// Opens and closes the file in the given mode; restores errno so no error stays pending.
bool OpensAndCloses(const std::string& name, const char* mode) {
    int savedErrno = errno;
    bool ok = false;
    if (std::FILE* f = std::fopen(name.c_str(), mode)) ok = std::fclose(f) == 0;
    errno = savedErrno;
    return ok;
}

}  // namespace

bool FileExists(const std::string& name) {
    return !name.empty() && !IsDirectory(name) && OpensAndCloses(name, "rb");
}

bool CanWriteFile(const std::string& name) {
    return !name.empty() && !IsDirectory(name) && OpensAndCloses(name, "wb");
}
