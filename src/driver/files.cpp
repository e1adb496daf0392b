#include "driver/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "driver/stops.h"
#include "engine/char_scan.h"

namespace {

constexpr size_t kReadChunk = 64 * 1024;

// Opens the file for reading, refusing pipes and devices: opening them could wait for ever.
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

// ---- Files removed when a signal ends the run. A signal handler may only use plain storage,
// ---- so the names are kept in a fixed table of fixed-size texts, with a mark for each slot in
// ---- use kept apart from them: a run reads only the pages of the slots it fills.

constexpr int kCleanupSlots = 8;
char cleanupNames[kCleanupSlots][PATH_MAX];
volatile std::sig_atomic_t cleanupSlotUsed[kCleanupSlots];

void RememberForCleanup(const std::string& name) {
    if (name.empty() || name.size() >= PATH_MAX) return;
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i] && name == cleanupNames[i]) return;
    }
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i]) continue;
        // Marked last: a handler never sees a name half written.
        std::memcpy(cleanupNames[i], name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        cleanupSlotUsed[i] = 1;
        return;
    }
}

void ForgetForCleanup(const std::string& name) {
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i] && name == cleanupNames[i]) cleanupSlotUsed[i] = 0;
    }
}

extern "C" void RemoveFilesAndDie(int signalNumber) {
    for (int i = 0; i < kCleanupSlots; ++i) {
        if (cleanupSlotUsed[i]) unlink(cleanupNames[i]);
    }
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

}  // namespace

void FailIo(int code, const std::string& file) {
    throw IoFailure{code != 0 ? code : EIO, file};
}

// ---- ByteFile ----

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

// ---- TextReader ----

TextReader::~TextReader() {
    if (file_) std::fclose(file_);
}

void TextReader::Open(const std::string& name) {
    Close();
    name_ = name;
    file_ = OpenForReading(name);
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
    if (std::fclose(f) != 0) FailIo(errno, name_);
}

void TextReader::Refill() {
    buffer_.erase(0, next_);
    next_ = 0;
    if (exhausted_ || !file_) return;
    if (!chunk_) chunk_.reset(new char[kReadChunk]);
    size_t got = std::fread(chunk_.get(), 1, kReadChunk, file_);
    buffer_.append(chunk_.get(), got);
    if (got < kReadChunk) {
        if (std::ferror(file_)) FailIo(errno, name_);
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

bool TextReader::TakePlainLine(std::string_view& line) {
    // Most lines end in LF or CR LF inside the buffer and hold no other CR and no $1A.
    const char* const begin = buffer_.data() + next_;
    const char* const end = buffer_.data() + buffer_.size();
    const char* const stop = FirstLineBreakOrMark(begin, end);
    size_t taken;
    if (stop < end && *stop == '\n') {
        taken = 1;
    } else if (stop + 1 < end && stop[0] == '\r' && stop[1] == '\n') {
        taken = 2;
    } else {
        return false;
    }
    line = std::string_view(begin, static_cast<size_t>(stop - begin));
    next_ += line.size() + taken;
    return true;
}

void TextReader::ReadLineInto(std::string& line) {
    line.clear();
    if (AtEnd()) return;
    std::string_view plain;
    if (TakePlainLine(plain)) {
        line.assign(plain);
        return;
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

void TextReader::ReadAllLines(std::string& text, std::vector<uint32_t>& ends) {
    // The rest of the file goes into text as it stands, read at once; then its lines are moved
    // together in place, without their line ends. One copy of the file, in one piece of memory.
    const size_t base = text.size();
    text.append(buffer_, next_, std::string::npos);
    buffer_.clear();
    next_ = 0;
    if (file_ && !exhausted_) {
        struct stat info;
        const size_t expected = fstat(fileno(file_), &info) == 0 && info.st_size > 0
                                    ? static_cast<size_t>(info.st_size)
                                    : 0;
        size_t filled = text.size();
        text.resize(filled + expected + 1);  // a byte more: the read that meets the end is short
        for (;;) {
            if (filled == text.size()) text.resize(filled + kReadChunk);
            const size_t wanted = text.size() - filled;
            const size_t got = std::fread(text.data() + filled, 1, wanted, file_);
            filled += got;
            if (got == wanted) continue;
            if (std::ferror(file_)) FailIo(errno, name_);
            break;
        }
        text.resize(filled);
    }
    exhausted_ = true;
    ends.reserve(ends.size() + (text.size() - base) / 16);

    // Each line as ReadLineInto gives it: it ends at LF or CR LF, a lone CR is dropped, and a
    // $1A ends the text of its line; a $1A at the start of a line ends the file.
    char* const data = text.data();
    const size_t end = text.size();
    size_t from = base, to = base;
    while (from < end && data[from] != '\x1A') {
        bool textEnded = false;
        for (;;) {
            const char* const stop = FirstLineBreakOrMark(data + from, data + end);
            const size_t length = static_cast<size_t>(stop - (data + from));
            if (!textEnded) {
                if (to != from) std::memmove(data + to, data + from, length);
                to += length;
            }
            from += length;
            if (from >= end) break;
            const char c = data[from++];
            if (c == '\n') break;
            if (c == '\r') {
                if (from < end && data[from] == '\n') {
                    ++from;
                    break;
                }
                continue;  // a lone CR is dropped
            }
            textEnded = true;  // a $1A: the rest of the line is skipped
        }
        ends.push_back(static_cast<uint32_t>(to));
    }
    text.resize(to);
}

std::string TextReader::ReadLine() {
    std::string line;
    ReadLineInto(line);
    return line;
}

// ---- TextWriter ----

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
    countedUpTo_ = 0;
    if (!buffer_) buffer_.reset(new char[kBufferSize]);  // uninitialized: pages touched as used
    used_ = 0;
    name_ = name;
    // Not emptied on opening: only once it is known to be a regular file. O_NONBLOCK keeps a pipe
    // without a reader from holding the run.
    // Remembered first, so that a signal right after the file appears still removes it.
    RememberForCleanup(name_);
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                  0666);
    struct stat status {};
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
    LinesWritten();  // counts what is still uncounted in the buffer
    const size_t count = used_;
    used_ = 0;
    countedUpTo_ = 0;
    WriteAll(buffer_.get(), count);
}

void TextWriter::CountLineEnds(const char* data, size_t size) {
    for (const char* end = data + size; (data = static_cast<const char*>(std::memchr(
                                             data, '\n', static_cast<size_t>(end - data))));
         ++data) {
        ++lines_;
    }
}

uint64_t TextWriter::LinesWritten() {
    if (countLines_ && countedUpTo_ < used_) {
        CountLineEnds(buffer_.get() + countedUpTo_, used_ - countedUpTo_);
        countedUpTo_ = used_;
    }
    return lines_;
}

void TextWriter::WriteThroughFlush(std::string_view text) {
    if (fd_ < 0) FailIo(EBADF, name_);
    if (text.size() > kBufferSize - used_) Flush();
    if (text.size() > kBufferSize) {
        if (countLines_) CountLineEnds(text.data(), text.size());
        WriteAll(text.data(), text.size());
        return;
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
}

// ---- names, erasing and replacing ----

std::string FolderOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

void EraseFile(const std::string& name) {
    TextReader probe;
    probe.Open(name);
    probe.Close();
    errno = 0;
    if (std::remove(name.c_str()) != 0) FailIo(errno, name);
    ForgetForCleanup(name);
}

void ReplaceFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) FailIo(errno, to);
    ForgetForCleanup(from);
}

void RemoveCreatedFilesOnSignal() {
    struct sigaction action {};
    action.sa_handler = RemoveFilesAndDie;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}
