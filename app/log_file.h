#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>

// File and clock services of the weight log.

// Opens the log file as a stream: "rb" reads it, "a" appends to it (created
// with mode 0644 when missing). Any other mode, or a file that cannot be
// opened, gives null.
FILE* OpenLogStream(const char* path, const char* mode);

// Appends one whole line to a stream from OpenLogStream(path, "a") with a
// single write, so that concurrent writers never interleave parts of lines,
// and flushes it to the disk before returning. 1 on success, 0 on failure.
int AppendLineDurably(FILE* stream, const char* line, size_t length);

// The current local time.
void ReadLocalTime(struct tm* out);
