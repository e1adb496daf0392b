// A result written under an unfinished name and put in place of the old one only when it is
// whole, so that an earlier result is either kept or replaced, never cut short. The new file
// takes the permissions of the result it replaces.
#pragma once

#include <string>

class TextWriter;

constexpr char kUnfinishedSuffix[] = ".partial";

// Opens the writer on the unfinished file (the result's name and ".partial"). Stops the run with
// the "in use" message when the result may not be written. Unless it is put in place, the
// unfinished file is removed when the object goes.
class ResultReplacement {
  public:
    ResultReplacement(TextWriter& writer, const std::string& resultName);
    ResultReplacement(const ResultReplacement&) = delete;
    ResultReplacement& operator=(const ResultReplacement&) = delete;
    ~ResultReplacement();

    // Closes the unfinished file and puts it in place of the result.
    void PutInPlace();

    // The same, for a file that the next run makes again (the page): the old one is removed
    // first, so that the new one takes a name that is free. A file put over another is pushed to
    // the disk at once by some file systems (ext4 does, to keep the old contents safe), and a page
    // is not worth that wait. Should the run stop right between the two steps, there is no file
    // of that name until the next run; there is never a part of one.
    void PutInPlaceOfRemoved();

  private:
    void Remove();  // the unfinished file, closed and removed

    TextWriter& writer_;
    std::string resultName_;
    std::string unfinishedName_;
    bool placed_ = false;
};
