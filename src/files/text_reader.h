// Text input: the reference files, the names file and the temporary files of a run are read line
// by line through a buffer, under one convention for line ends and the end-of-text mark. Every
// operation is checked as it returns; a failure ends the run with the I/O report (FailIo).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
