#pragma once

#include "window/window.h"

// The handle type of <windows.h>, declared here so that drawing code can use
// this header without the Windows headers.
struct HDC__;

// Copies picture (a device context holding the client area's image) into
// the window's own copy, which every repaint shows, and paints the client
// area from it now; does nothing without a window. Until the first picture
// the client area shows black.
void ShowClientPicture(WindowHandle window, HDC__* picture);
