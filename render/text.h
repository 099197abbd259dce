#pragma once

#include <cstdarg>

#include "support/trace.h"

class Canvas;

// Longest text one call draws, terminator included; longer results are cut.
inline constexpr int kTextBufferSize = 512;

// Formats printf-style and draws the result at (x, y) in the canvas's
// current font and colours.
void DrawFormattedText(Canvas& canvas, int x, int y, const char* format, ...) GRAVIMO_PRINTF(4, 5);
void DrawFormattedTextV(Canvas& canvas, int x, int y, const char* format, va_list args)
    GRAVIMO_PRINTF(4, 0);
