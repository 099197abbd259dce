#pragma once

#include "window/window.h"

// Connects to the display; returns 1 on success, 0 when there is none.
int InitWindowSystem();

// Handles every waiting window event, stopping early once a quit message
// was posted. Returns 1 when the quit message was taken (its exit code in
// *exitCode when not null) and 0 when the queue is empty and no quit waits.
int DrainMessages(int* exitCode);

// Paints the client area from its picture (given by the platform's
// SetClientSurface or SetClientPicture) now, when the window is on the
// screen, and queues a redraw otherwise.
void InvalidateClient(WindowHandle window);

// Shows the window on top of the others and gives it the keyboard focus,
// restoring it when minimised; does nothing without a window.
void BringToFront(WindowHandle window);

// Gives the client area's picture its accessible name and description,
// which screen readers read; does nothing without a window.
void SetClientDescription(WindowHandle window, const char* name, const char* description);

// The client area's rectangle within the window; returns 0 when the window
// has no client area laid out yet.
int GetClientRect(WindowHandle window, int* x, int* y, int* width, int* height);
