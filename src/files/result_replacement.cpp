#include "files/result_replacement.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/file_ops.h"
#include "files/stops.h"
#include "files/text_writer.h"

ResultReplacement::ResultReplacement(TextWriter& writer, const std::string& resultName)
    : writer_(writer), resultName_(resultName), unfinishedName_(resultName + kUnfinishedSuffix) {
    if (!CanWriteFile(resultName_)) {
        throw ErrorStop{"ERROR: File " + resultName_ + " in use.", true};
    }
    writer_.Create(unfinishedName_);
    struct stat status {};
    if (stat(resultName_.c_str(), &status) != 0) return;
    try {
        writer_.SetMode(status.st_mode & 07777);
    } catch (...) {
        Remove();
        throw;
    }
}

void ResultReplacement::Remove() {
    writer_.Discard();
    unlink(unfinishedName_.c_str());
}

void ResultReplacement::PutInPlace() {
    writer_.Close();
    ReplaceFile(unfinishedName_, resultName_);
    placed_ = true;
}

void ResultReplacement::PutInPlaceOfRemoved() {
    writer_.Close();
    if (unlink(resultName_.c_str()) != 0 && errno != ENOENT) FailIo(errno, resultName_);
    ReplaceFile(unfinishedName_, resultName_);
    placed_ = true;
}

ResultReplacement::~ResultReplacement() {
    if (!placed_) Remove();
}
