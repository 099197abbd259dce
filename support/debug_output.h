#pragma once

#include <cstddef>

// Where the debug output goes on this platform. line holds length bytes of
// text, its CR LF ending included, followed by a NUL; the whole line is
// passed on at once, so lines from several threads do not interleave.
void WriteDebugLine(const char* line, std::size_t length);
