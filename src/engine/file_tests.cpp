#include "engine/file_tests.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// A name that exists but is no regular file: a directory, or a pipe or device whose opening
// could wait for ever.
bool IsSpecial(const std::string& name) {
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(name, ec);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
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
    return !name.empty() && !IsSpecial(name) && OpensAndCloses(name, "rb");
}

bool CanWriteFile(const std::string& name) {
    return !name.empty() && !IsSpecial(name) && OpensAndCloses(name, "wb");
}
