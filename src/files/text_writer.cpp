#include "files/text_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/created_files.h"
#include "files/stops.h"

TextWriter::~TextWriter() {
    if (fd_ < 0) return;
    // Left open by a failure: keep what was written so far.
    const char* data = buffer_.get();
    for (size_t left = used_; left > 0;) {
        ssize_t wrote = write(fd_, data, left);
        if (wrote <= 0 && errno != EINTR) break;
        if (wrote > 0) data += wrote, left -= static_cast<size_t>(wrote);
    }
    close(fd_);
}

void TextWriter::Create(const std::string& name) {
    Close();
    copy_ = nullptr;
    countLines_ = false;
    lines_ = 0;
    if (!buffer_) buffer_.reset(new char[kBufferSize]);  // uninitialized: pages touched as used
    used_ = 0;
    name_ = name;
    // Not emptied on opening: only once it is known to be a regular file. O_NONBLOCK keeps a pipe
    // without a reader from holding the run.
    // Remembered first, so that a signal right after the file appears still removes it.
    RememberForCleanup(name_);
    constexpr int kFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = open(name.c_str(), kFlags, 0666);
    struct stat status {};
    // A file with more links than its name is shared with another name: writing into it would
    // change that file too. The name is taken away and the file made afresh.
    if (fd >= 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink > 1) {
        close(fd);
        fd = unlink(name.c_str()) == 0 ? open(name.c_str(), kFlags | O_EXCL, 0666) : -1;
    }
    int code = fd < 0                     ? errno
               : fstat(fd, &status) != 0  ? errno
               : !S_ISREG(status.st_mode) ? ENXIO
               // Emptied only when there is something in it: truncating a file makes ext4 push
               // its new contents to the disk at once on closing.
               : status.st_size > 0 && ftruncate(fd, 0) != 0 ? errno
                                                             : 0;
    if (code != 0) {
        if (fd >= 0) close(fd);
        ForgetForCleanup(name_);
        FailIo(code, name_);
    }
    fd_ = fd;
}

void TextWriter::SetMode(unsigned mode) {
    if (fd_ >= 0 && fchmod(fd_, static_cast<mode_t>(mode)) != 0) FailIo(errno, name_);
}

void TextWriter::Close() {
    if (fd_ < 0) return;
    Flush();
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) FailIo(errno, name_);
}

void TextWriter::Discard() {
    if (fd_ < 0) return;
    close(fd_);
    fd_ = -1;
    used_ = 0;
}

void TextWriter::KeepCopy(std::string* copy, size_t limit) {
    copy_ = copy;
    copyLimit_ = limit;
    copy_->clear();
    copy_->reserve(limit);  // untouched room costs nothing; growing would copy the text again
}

void TextWriter::WriteAll(const char* data, size_t size) {
    if (copy_ && copy_->size() + size <= copyLimit_) {
        copy_->append(data, size);
    } else if (copy_) {
        copy_->clear();
        copy_->shrink_to_fit();
        copy_ = nullptr;
    }
    while (size > 0) {
        ssize_t wrote = write(fd_, data, size);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) FailIo(wrote < 0 ? errno : EIO, name_);
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
}

void TextWriter::Flush() {
    const size_t count = used_;
    used_ = 0;
    WriteAll(buffer_.get(), count);
}

void TextWriter::WriteThroughFlush(std::string_view text) {
    if (fd_ < 0) FailIo(EBADF, name_);
    if (countLines_) lines_ += CountLineFeeds(text.data(), text.size());
    if (text.size() > kBufferSize - used_) Flush();
    if (text.size() > kBufferSize) {
        WriteAll(text.data(), text.size());
        return;
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
}
