#include "render/text.h"

#include <cstdio>

#include "render/canvas.h"

namespace {

// Drops a multi-byte UTF-8 sequence that the cut at the buffer's end left
// incomplete, so a long text never ends in half a character.
void TrimPartialCharacter(char* text, int length) {
  int start = length;
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80)
    --start;
  if (start == 0)
    return;
  const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
  int expected = 1;
  if ((lead & 0xE0) == 0xC0)
    expected = 2;
  if ((lead & 0xF0) == 0xE0)
    expected = 3;
  if ((lead & 0xF8) == 0xF0)
    expected = 4;
  if (length - (start - 1) < expected)
    text[start - 1] = '\0';
}

}  // namespace

void DrawFormattedTextV(Canvas& canvas, int x, int y, const char* format, va_list args) {
  char buffer[kTextBufferSize];
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (length < 0)
    return;
  if (length >= kTextBufferSize)
    TrimPartialCharacter(buffer, kTextBufferSize - 1);
  canvas.DrawText(x, y, buffer);
}

void DrawFormattedText(Canvas& canvas, int x, int y, const char* format, ...) {
  va_list args;
  va_start(args, format);
  DrawFormattedTextV(canvas, x, y, format, args);
  va_end(args);
}
