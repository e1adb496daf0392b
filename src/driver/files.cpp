#include "driver/files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "driver/stops.h"

namespace {

constexpr size_t kReadChunk = 64 * 1024;

[[noreturn]] void FailLastIo() {
    FailIo(errno);
}

// Opens the file, refusing pipes and devices: opening them could wait for ever.
std::FILE* OpenRegular(const std::string& name, const char* mode) {
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(name, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status)) {
        FailIo(ENXIO);
    }
    errno = 0;
    std::FILE* file = std::fopen(name.c_str(), mode);
    if (!file) FailLastIo();
    return file;
}

}  // namespace

void FailIo(int code) {
    throw IoFailure{code != 0 ? code : EIO};
}

// ---- ByteFile ----

ByteFile::~ByteFile() {
    if (file_) std::fclose(file_);
}

void ByteFile::Open(const std::string& name) {
    Close();
    file_ = OpenRegular(name, "rb");
    if (std::fseek(file_, 0, SEEK_END) != 0) FailLastIo();
    long size = std::ftell(file_);
    if (size < 0) FailLastIo();
    if (std::fseek(file_, 0, SEEK_SET) != 0) FailLastIo();
    size_ = size;
    position_ = 0;
    bufferStart_ = 0;
    bufferEnd_ = 0;
    buffer_.clear();
}

void ByteFile::Close() {
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    buffer_.clear();
    bufferEnd_ = bufferStart_;
    if (std::fclose(f) != 0) FailLastIo();
}

void ByteFile::Seek(int64_t offset) {
    if (!file_ || offset < 0) FailIo(EINVAL);
    position_ = offset;  // the buffer is refilled lazily when the position leaves it
}

void ByteFile::Refill() {
    if (std::fseek(file_, static_cast<long>(position_), SEEK_SET) != 0) FailLastIo();
    buffer_.resize(kReadChunk);
    size_t got = std::fread(buffer_.data(), 1, kReadChunk, file_);
    if (got == 0 && std::ferror(file_)) FailLastIo();
    buffer_.resize(got);
    bufferStart_ = position_;
    bufferEnd_ = bufferStart_ + static_cast<int64_t>(got);
}

uint8_t ByteFile::ReadByteRefilling() {
    if (!file_) FailIo(EBADF);
    Refill();
    if (buffer_.empty()) FailIo(EIO);  // read past the end of the file
    return buffer_[static_cast<size_t>(position_++ - bufferStart_)];
}

// ---- TextReader ----

TextReader::~TextReader() {
    if (file_) std::fclose(file_);
}

void TextReader::Open(const std::string& name) {
    Close();
    file_ = OpenRegular(name, "rb");
    buffer_.clear();
    next_ = 0;
    exhausted_ = false;
}

void TextReader::OpenText(std::string text) {
    Close();
    buffer_ = std::move(text);
    next_ = 0;
    exhausted_ = true;
}

void TextReader::Close() {
    buffer_.clear();
    next_ = 0;
    exhausted_ = true;
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) FailLastIo();
}

void TextReader::Refill() {
    buffer_.erase(0, next_);
    next_ = 0;
    if (exhausted_ || !file_) return;
    size_t old = buffer_.size();
    buffer_.resize(old + kReadChunk);
    size_t got = std::fread(&buffer_[old], 1, kReadChunk, file_);
    buffer_.resize(old + got);
    if (got < kReadChunk) {
        if (std::ferror(file_)) FailLastIo();
        exhausted_ = true;
    }
}

int TextReader::PeekChar() {
    if (next_ >= buffer_.size()) Refill();
    if (next_ >= buffer_.size()) return -1;
    return static_cast<unsigned char>(buffer_[next_]);
}

bool TextReader::AtEnd() {
    int c = PeekChar();
    return c < 0 || c == 0x1A;
}

void TextReader::ReadLineInto(std::string& line) {
    line.clear();
    if (AtEnd()) return;
    // Most lines end in LF or CR LF inside the buffer and hold no other CR and no $1A.
    const char* begin = buffer_.data() + next_;
    if (const void* lf = std::memchr(begin, '\n', buffer_.size() - next_)) {
        size_t end = static_cast<const char*>(lf) - begin;
        size_t length = end > 0 && begin[end - 1] == '\r' ? end - 1 : end;
        if (!std::memchr(begin, '\r', length) && !std::memchr(begin, 0x1A, length)) {
            line.assign(begin, length);
            next_ += end + 1;
            return;
        }
    }
    bool textEnded = false;  // a $1A in mid-line: the rest of the line is skipped
    for (;;) {
        int c = PeekChar();
        if (c < 0) break;
        ++next_;
        if (c == '\n') break;
        if (c == '\r') {
            if (PeekChar() == '\n') {
                ++next_;
                break;
            }
            continue;  // a lone CR is dropped
        }
        if (c == 0x1A) textEnded = true;
        if (!textEnded) line.push_back(static_cast<char>(c));
    }
}

std::string TextReader::ReadLine() {
    std::string line;
    ReadLineInto(line);
    return line;
}

// ---- TextWriter ----

TextWriter::~TextWriter() {
    if (!file_) return;
    // Left open by a failure: keep what was written so far.
    std::fwrite(buffer_.get(), 1, used_, file_);
    std::fclose(file_);
}

void TextWriter::Create(const std::string& name) {
    Close();
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    used_ = 0;
    file_ = OpenRegular(name, "wb");
}

void TextWriter::Close() {
    if (!file_) return;
    Flush();
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) FailLastIo();
}

void TextWriter::Flush() {
    const size_t count = used_;
    used_ = 0;
    if (count > 0 && std::fwrite(buffer_.get(), 1, count, file_) != count) FailLastIo();
}

void TextWriter::WriteThroughFlush(std::string_view text) {
    if (!file_) FailIo(EBADF);
    if (text.size() > kBufferSize - used_) Flush();
    if (text.size() > kBufferSize) {
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) FailLastIo();
        return;
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
}

// ---- erasing ----

void EraseFile(const std::string& name) {
    TextReader probe;
    probe.Open(name);
    probe.Close();
    errno = 0;
    if (std::remove(name.c_str()) != 0) FailLastIo();
}
