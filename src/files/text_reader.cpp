#include "files/text_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files/char_scan.h"
#include "files/file_ops.h"
#include "files/stops.h"

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
