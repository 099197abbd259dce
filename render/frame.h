#pragma once

#include "screen/screen_data.h"

class Canvas;

// One frame of the main window into the canvas's back buffer (width x
// height): the cleared background and the title, then the registration
// screen or the main screen of frame. The caller presents the picture.
void DrawFrame(Canvas& canvas, const ScreenFrame& frame, int width, int height);

// The title line, naming the author's blog when an address is given (not
// empty).
void DrawTitle(Canvas& canvas, const char* blogAddress);

// The lines that explain a search that could not start (a BluetoothFailure
// other than None), ending in a null pointer; each goes through Tr.
const char* const* BluetoothFailureLines(int32_t failure);
