#include "files/stops.h"

#include <cerrno>

void FailIo(int code, const std::string& file) {
    throw IoFailure{code != 0 ? code : EIO, file};
}
