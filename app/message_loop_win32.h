#pragma once

#include "app/win32_api.h"
#include "app/window.h"

// Makes picture (a memory device context holding the client area's image)
// the picture of the window's client area, which every repaint copies; the
// caller keeps it alive until it gives null, which shows black again.
void SetClientPicture(WindowHandle window, HDC picture);
