#include "support/trace.h"

#include <cstdarg>
#include <cstdio>

#include "support/debug_output.h"

namespace {

constexpr int kLineBuffer = 512;
constexpr int kMaxText = kLineBuffer - 3;  // room for CR, LF and the NUL

void WriteLine(const char* format, va_list args) {
  char line[kLineBuffer];
  int length = vsnprintf(line, kMaxText + 1, format, args);
  if (length < 0) {
    length = 0;
  }
  if (length > kMaxText) {
    length = kMaxText;  // vsnprintf cut the text; keep the line ending
  }
  line[length++] = '\r';
  line[length++] = '\n';
  line[length] = '\0';
  WriteDebugLine(line, static_cast<size_t>(length));
}

}  // namespace

void DebugPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine(format, args);
  va_end(args);
}

void Trace(const char* format, ...) {
#if defined(GRAVIMO_TRACE)
  va_list args;
  va_start(args, format);
  WriteLine(format, args);
  va_end(args);
#else
  (void)format;
#endif
}
