#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

// File and clock services of the weight log.

// Opens the log file as a stream: "rb" reads it, "a" appends to it. A missing
// file is created readable and writable by its owner only, since weights are
// personal; an existing file keeps its mode. Any other mode, or a file that
// cannot be opened, gives null.
FILE* OpenLogStream(const char* path, const char* mode);

// Appends lines, each ending in a line feed, to a stream from
// OpenLogStream(path, "a") with a single write, so that other writers never
// split them, and flushes them to the disk. When the file's last line has no
// line end (an editor may save it so), CR LF goes first, so that the new
// lines start a line of their own; nothing already in the file changes.
// When not all of them get there (a full file system), the whole lines
// written stay and a cut line after them is taken out again, so the file
// only ever holds whole lines. Gives the number of the caller's bytes kept,
// always whole lines; errno then says why the rest was not (0 when the
// system did not say). Writers take turns through a lock on the file; a
// stream whose file was replaced meanwhile (RewriteLogFile on Linux) writes
// nothing and gives 0 with errno EAGAIN: open the log again and append
// there.
size_t AppendLines(FILE* stream, const char* text, size_t length);

// Gives the log's new text for its current text; 0 leaves the log as it is.
using LogTextEdit = std::function<int(const std::string& text, std::string* edited)>;

// Rewrites the log in one turn of its writers, so no record appended at
// the same moment is lost: the text is read under the writers' lock, edit
// gives the new text, and the old text is kept in backupPath before the
// log changes. On Linux the new text goes to a temporary file that is
// flushed and renamed over the log; a writer that waited for its turn
// finds its file replaced (see AppendLines). Windows renames over no file
// that others hold open, so there the log is written in place in the same
// turn and flushed, and a failed write puts the old text back. 1 when the
// log was rewritten; 0 otherwise, with errno (ECANCELED when edit
// declined), the log then as it was.
int RewriteLogFile(const std::string& path, const std::string& backupPath, const LogTextEdit& edit);

// The current local time.
void ReadLocalTime(struct tm* out);
