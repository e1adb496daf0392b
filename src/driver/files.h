// The files of a run. Every operation is checked as it returns and a failure ends the run with
// the I/O report (FailIo), which names the file. Reads are buffered: reading byte by byte costs
// no system call per byte. Files are read through symbolic links, but never written through one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// A text file read line by line. A line ends at LF or CR LF; a CR not followed by LF is dropped;
// a $1A byte at the start of a line ends the file and elsewhere ends the text of its line. Lines
// have no length limit, and reading past the end gives empty lines.
class TextReader {
  public:
    TextReader() = default;
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    ~TextReader();

    void Open(const std::string& name);
    void OpenText(std::string text);  // reads from the given text instead of a file
    void Close();
    bool AtEnd();
    std::string ReadLine();
    void ReadLineInto(std::string& line);  // the same, reusing the line's storage
    // Every line left, appended to text one after another without line ends, and where each ends
    // in text appended to ends: what ReadLine gives line by line.
    void ReadAllLines(std::string& text, std::vector<uint32_t>& ends);

  private:
    // The next line when it ends inside the buffer and needs no care (no lone CR, no $1A): its
    // text, valid until the next read, and the read moved past it. False otherwise, unmoved.
    bool TakePlainLine(std::string_view& line);
    int PeekChar();  // next byte, or -1 at the end of the data
    void Refill();

    std::FILE* file_ = nullptr;
    std::string name_;
    std::string buffer_;
    std::unique_ptr<char[]> chunk_;  // what one read brings, before it joins buffer_
    size_t next_ = 0;
    bool exhausted_ = true;  // no more data beyond buffer_
};

// A text file written line by line; every line ends CR LF. Text is collected and handed to the
// file in large pieces; each hand-over is checked. Creating refuses a symbolic link and anything
// that is not a regular file, so a planted link or device is never written through; a regular
// file of that name (left by an interrupted run) is emptied and reused.
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

    // Counts the lines written from now on: LinesWritten is the number of line ends so far.
    void CountLines() { countLines_ = true; }
    uint64_t LinesWritten();

    void Write(std::string_view text) {  // no line end added
        if (fd_ >= 0 && text.size() <= kBufferSize - used_) {
            std::memcpy(buffer_.get() + used_, text.data(), text.size());
            used_ += text.size();
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
            return;
        }
        WriteThroughFlush(std::string_view(text, N));
    }
    void WriteLine(std::string_view text) {
        if (fd_ >= 0 && text.size() + 2 <= kBufferSize - used_) {
            char* at = buffer_.get() + used_;
            std::memcpy(at, text.data(), text.size());
            at[text.size()] = '\r';
            at[text.size() + 1] = '\n';
            used_ += text.size() + 2;
            return;
        }
        WriteThroughFlush(text);
        WriteThroughFlush("\r\n");
    }

  private:
    void CountLineEnds(const char* data, size_t size);

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
    uint64_t lines_ = 0;      // line ends counted so far
    size_t countedUpTo_ = 0;  // ... up to here in the buffer
};

// The folder that holds the named file: "." for a bare name.
std::string FolderOf(const std::string& name);

// Opens the named file for reading, closes it and deletes it; any failure ends the run.
void EraseFile(const std::string& name);

// Puts the file from under its name in place of the file to, in one step: a reader of to sees
// either the old file or the new one, never a part.
void ReplaceFile(const std::string& from, const std::string& to);

// From now on a signal that ends the run (Ctrl-C, a hang-up, a termination request) first
// removes the files the run has created and not yet put in place or erased: an interrupted run
// leaves no unfinished file behind.
void RemoveCreatedFilesOnSignal();
