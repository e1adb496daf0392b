// The image file: single bytes read through a buffer, from a position that can be moved. Every
// operation is checked as it returns; a failure ends the run with the I/O report (FailIo).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// A file of single bytes, opened for reading only, with a read position that can be moved.
class ByteFile {
  public:
    ByteFile() = default;
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;
    ~ByteFile();

    void Open(const std::string& name);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    void Seek(int64_t offset);
    int64_t Position() const { return position_; }
    int64_t Size() const { return size_; }
    bool AtEnd() const { return position_ >= size_; }
    uint8_t ReadByte() {
        if (position_ >= bufferStart_ && position_ < bufferEnd_) {
            return buffer_[static_cast<size_t>(position_++ - bufferStart_)];
        }
        return ReadByteRefilling();
    }
    // The next count bytes, as count calls of ReadByte would give them.
    void ReadBytes(uint8_t* out, size_t count);

  private:
    uint8_t ReadByteRefilling();
    void Refill();

    std::FILE* file_ = nullptr;
    std::string name_;
    int64_t size_ = 0;
    int64_t position_ = 0;
    int64_t bufferStart_ = 0;  // file offset of buffer_[0]
    int64_t bufferEnd_ = 0;    // file offset just after the buffer's last byte
    // Allocated once and never cleared: only the pages that reads fill are ever touched.
    std::unique_ptr<uint8_t[]> buffer_;
};
