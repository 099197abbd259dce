#pragma once

#include "window/window.h"

typedef struct _cairo_surface cairo_surface_t;

// Makes surface (an image of the client area's size) the picture of the
// window's client area; the window keeps a reference. Null clears it and
// the client area shows black.
void SetClientSurface(WindowHandle window, cairo_surface_t* surface);

// The client area's scale factor: device pixels per pixel of the client
// area, 2 on a display of double density (GDK_SCALE=2); 1 without a window.
int ClientScale(WindowHandle window);
