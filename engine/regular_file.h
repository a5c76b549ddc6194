// Opening a file for reading only when it is a regular file. A FIFO would
// block open() until a writer appears, and a device or a directory is no
// source of sound, so both readers of the engine open sources through here.
#pragma once

#include <cstdio>
#include <string>

/// Opens `path` read-only as a file descriptor, without blocking on FIFOs
/// (O_NONBLOCK, cleared again once the file is known to be regular). Returns
/// -1 with errno set when it cannot be opened, EISDIR for a directory and
/// EINVAL for anything else that is not a regular file.
int OpenRegularFileDescriptor(const std::string& path);

/// True when the open descriptor `fd` is the file `path` names (same device
/// and inode, whatever the name); false when either cannot be examined.
bool DescriptorIsFile(int fd, const std::string& path);

/// The same, as a buffered stream in "rb" mode; null on failure (errno set).
std::FILE* OpenRegularFileStream(const std::string& path);
