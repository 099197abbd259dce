#pragma once

#include <cstddef>
#include <string>

#include "screen/log_record.h"

// Reading the whole weight log back into records. Portable: the bytes come
// from a buffer or a stream, never through a platform call.

// Parses every line of the log text into *out, replacing what it held. A record line is "log ", the
// user (0..3), the date, the time and the weight with one decimal, as the log writes them, ending
// in LF, CR LF or the end of the text. Every other line that is not blank is skipped and counted;
// nothing in the bytes is fatal.
void ParseLog(const char* text, size_t length, LogRecords* out);

// Reads and parses the log file at path: 1 on success, 0 when the file
// cannot be opened or read (errno says why).
int ReadLogFile(const std::string& path, LogRecords* out);
