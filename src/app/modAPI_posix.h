#pragma once

// Helpers the platform layer's own files share; nothing outside src/app includes this.

#include <cstddef>
#include <sys/types.h>

struct statx;

namespace modAPI {

struct FileInfo;

namespace posix {

void FillInfo(const struct statx& sx, FileInfo& info);
// Retries interrupted and short writes.
bool WriteAll(int fd, const char* data, size_t size);
// Fills the buffer unless the file ends first; the count read, or -1 with errno set.
ssize_t ReadFully(int fd, char* buffer, size_t size);
// Renames without ever replacing a file at the target; 0 or the errno. Where the kernel or
// the file system has no no-replace rename (FUSE, some network shares, FAT), the target
// name is claimed by an exclusive create and the rename then replaces only that claim.
int RenameNoReplaceAt(int fromDir, const char* from, int toDir, const char* to);

} // namespace posix
} // namespace modAPI
