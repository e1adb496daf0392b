#include "files/byte_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/file_ops.h"
#include "files/stops.h"

ByteFile::~ByteFile() {
    if (file_) std::fclose(file_);
}

void ByteFile::Open(const std::string& name) {
    Close();
    name_ = name;
    file_ = OpenForReading(name);
    if (std::fseek(file_, 0, SEEK_END) != 0) FailIo(errno, name_);
    long size = std::ftell(file_);
    if (size < 0) FailIo(errno, name_);
    if (std::fseek(file_, 0, SEEK_SET) != 0) FailIo(errno, name_);
    size_ = size;
    position_ = 0;
    bufferStart_ = 0;
    bufferEnd_ = 0;
}

void ByteFile::Close() {
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    bufferEnd_ = bufferStart_;
    if (std::fclose(f) != 0) FailIo(errno, name_);
}

void ByteFile::Seek(int64_t offset) {
    if (!file_ || offset < 0) FailIo(EINVAL, name_);
    position_ = offset;  // the buffer is refilled lazily when the position leaves it
}

void ByteFile::Refill() {
    if (std::fseek(file_, static_cast<long>(position_), SEEK_SET) != 0) FailIo(errno, name_);
    if (!buffer_) buffer_.reset(new uint8_t[kReadChunk]);
    size_t got = std::fread(buffer_.get(), 1, kReadChunk, file_);
    if (got == 0 && std::ferror(file_)) FailIo(errno, name_);
    bufferStart_ = position_;
    bufferEnd_ = bufferStart_ + static_cast<int64_t>(got);
}

uint8_t ByteFile::ReadByteRefilling() {
    if (!file_) FailIo(EBADF, name_);
    Refill();
    if (bufferEnd_ == bufferStart_) FailIo(EIO, name_);  // read past the end of the file
    return buffer_[static_cast<size_t>(position_++ - bufferStart_)];
}

void ByteFile::ReadBytes(uint8_t* out, size_t count) {
    while (count > 0) {
        if (position_ < bufferStart_ || position_ >= bufferEnd_) {
            *out++ = ReadByteRefilling();
            --count;
            continue;
        }
        const size_t at = static_cast<size_t>(position_ - bufferStart_);
        const size_t piece = std::min(count, static_cast<size_t>(bufferEnd_ - position_));
        std::memcpy(out, buffer_.get() + at, piece);
        out += piece;
        count -= piece;
        position_ += static_cast<int64_t>(piece);
    }
}
