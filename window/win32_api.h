#pragma once

// The window framework has a PostQuitMessage of its own (app/window.h), a
// flag that the message loop reads; <windows.h> declares user32's under the
// same name. Windows files that see both include <windows.h> through here,
// which keeps user32's out of sight.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#define PostQuitMessage User32PostQuitMessage
#include <windows.h>
#undef PostQuitMessage
