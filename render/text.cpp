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

ShownCharacter NextShownCharacter(const unsigned char* text) {
  const unsigned char lead = text[0];
  if (lead < 0x80)
    return {lead < 0x20 || lead == 0x7F ? "?" : std::string(1, static_cast<char>(lead)), 1};
  int length = lead >= 0xF5 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  for (int i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80)
      length = 0;
  }
  if (length == 0)
    return {"?", 1};
  return {std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length)), 2};
}

int TextColumns(const char* text) {
  int columns = 0;
  for (const unsigned char* next = reinterpret_cast<const unsigned char*>(text); *next;) {
    const ShownCharacter shown = NextShownCharacter(next);
    columns += shown.columns;
    next += shown.text.size();
  }
  return columns;
}
