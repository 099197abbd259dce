#pragma once

#include <cstdarg>
#include <string>

#include "support/trace.h"

class Canvas;

// Longest text one call draws, terminator included; longer results are cut.
inline constexpr int kTextBufferSize = 512;

// Formats printf-style and draws the result at (x, y) in the canvas's
// current font and colours.
void DrawFormattedText(Canvas& canvas, int x, int y, const char* format, ...) GRAVIMO_PRINTF(4, 5);
void DrawFormattedTextV(Canvas& canvas, int x, int y, const char* format, va_list args)
    GRAVIMO_PRINTF(4, 0);

// One character of a UTF-8 text as a line shows it: a control character
// or a byte that starts no valid sequence becomes '?', and every character
// beyond ASCII counts as full width, which no glyph of the font exceeds.
struct ShownCharacter {
  std::string text;
  int columns = 1;
};
ShownCharacter NextShownCharacter(const unsigned char* text);

// The half-width cells a text takes, counted as NextShownCharacter does.
int TextColumns(const char* text);
