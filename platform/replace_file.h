#pragma once

#include <string>

// Writes contents to a new temporary file in the folder of path, flushes it
// to the disk and renames it to path, so that path holds either its old
// contents or all of the new ones, never a part. The temporary file is
// removed on every failure. 1 on success; 0 on failure, with errno saying
// why. An existing file's permissions are kept; a new one is readable and
// writable by its owner only.
int ReplaceFileContents(const std::string& path, const std::string& contents);

// Writes contents to the destination a user named, without replacing what
// is not a plain file: "-" is standard output; a named pipe or a character
// device (a terminal, /dev/null) is written to as a stream; a symbolic link
// is followed and its target replaced as ReplaceFileContents does, the link
// kept; a missing file is made that way. An existing file the user may not
// write is refused (EACCES), and so are a folder (EISDIR) and anything else
// (EINVAL): nothing but a regular file, or nothing, is ever renamed over.
// 1 on success; 0 on failure, with errno saying why.
int WriteToDestination(const std::string& path, const std::string& contents);

// 1 when both paths name one existing file (the same device and inode; on
// Windows the same volume and file index), links followed; "-" names
// standard output. 0 otherwise, also when either is missing.
int IsSameFile(const std::string& first, const std::string& second);
