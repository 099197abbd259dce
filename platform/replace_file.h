#pragma once

#include <string>

// Writes contents to a new temporary file in the folder of path, flushes it
// to the disk and renames it to path, so that path holds either its old
// contents or all of the new ones, never a part. The temporary file is
// removed on every failure. 1 on success; 0 on failure, with errno saying
// why. An existing file's permissions are kept; a new one is readable and
// writable by its owner only.
int ReplaceFileContents(const std::string& path, const std::string& contents);
