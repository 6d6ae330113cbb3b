#pragma once

#include <sys/types.h>

namespace FileUtil {

// The read and write calls the file copy makes on its open files. Tests
// swap them to provoke what a real disk rarely does on demand: interrupted
// calls, short transfers, failed reads. Nothing else should change them.
struct CopyIo
{
    ssize_t (*Read)(int fd, void *buffer, size_t count);
    ssize_t (*Write)(int fd, const void *buffer, size_t count);
};

// The calls in use; initially the system's read(2) and write(2).
CopyIo &CurrentCopyIo();

} // namespace FileUtil
