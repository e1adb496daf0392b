// Text output: the result, the listing and the temporary files are written through a large
// buffer, every line ending CR LF. Every hand-over to the file is checked; a failure ends the run
// with the I/O report (FailIo). Files are never written through a symbolic link.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "files/char_scan.h"

// A text file written line by line; every line ends CR LF. Text is collected and handed to the
// file in large pieces; each hand-over is checked. Creating refuses a symbolic link and anything
// that is not a regular file, so a planted link or device is never written through; a regular
// file of that name (left by an interrupted run) is emptied and reused, unless another name
// links to it too: then the name is made a file of its own.
class TextWriter {
  public:
    TextWriter() = default;
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    ~TextWriter();

    void Create(const std::string& name);
    void Close();
    void Discard();  // closes without writing what is still collected; never fails
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Name() const { return name_; }
    void SetMode(unsigned mode);  // permission bits of the open file

    // Keeps a copy of everything written from now on in the text, as long as it stays within
    // the limit; past it the copy is dropped (KeptCopy then tells so).
    void KeepCopy(std::string* copy, size_t limit);
    bool KeptCopy() const { return copy_ != nullptr; }

    // Counts the lines written from now on (or stops): LinesWritten is the number of line ends
    // counted. Counted as they are written, so that asking often costs nothing.
    void CountLines(bool on = true) { countLines_ = on; }
    uint64_t LinesWritten() const { return lines_; }

    void Write(std::string_view text) {  // no line end added
        if (fd_ >= 0 && text.size() <= kBufferSize - used_) {
            std::memcpy(buffer_.get() + used_, text.data(), text.size());
            used_ += text.size();
            if (countLines_) lines_ += CountLineFeeds(text.data(), text.size());
            return;
        }
        WriteThroughFlush(text);
    }
    // A few bytes known at compile time: copied without a call.
    template <size_t N>
    void WriteBytes(const char (&text)[N]) {
        if (fd_ >= 0 && N <= kBufferSize - used_) {
            std::memcpy(buffer_.get() + used_, text, N);
            used_ += N;
            if (countLines_) lines_ += CountLineFeeds(text, N);
            return;
        }
        WriteThroughFlush(std::string_view(text, N));
    }
    // The text of a line holds no line feed (only the line end counts as one).
    void WriteLine(std::string_view text) {
        assert(text.find('\n') == std::string_view::npos);
        if (fd_ >= 0 && text.size() + 2 <= kBufferSize - used_) {
            char* at = buffer_.get() + used_;
            std::memcpy(at, text.data(), text.size());
            at[text.size()] = '\r';
            at[text.size() + 1] = '\n';
            used_ += text.size() + 2;
            lines_ += countLines_;
            return;
        }
        WriteThroughFlush(text);
        WriteThroughFlush("\r\n");
    }

  private:
    static constexpr size_t kBufferSize = 64 * 1024;

    void WriteThroughFlush(std::string_view text);  // when the text does not fit the buffer
    void Flush();                                   // hands the collected text to the file
    void WriteAll(const char* data, size_t size);

    int fd_ = -1;
    std::string name_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    std::string* copy_ = nullptr;
    size_t copyLimit_ = 0;
    bool countLines_ = false;
    uint64_t lines_ = 0;  // line ends counted so far
};
