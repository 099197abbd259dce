#pragma once

// The arrival and removal of HID device interfaces, as an event descriptor of
// the Windows I/O seam that a wait can include: a hidden window of a thread
// of its own registers for the HID class's device-interface notifications
// and signals the event on each one.

// Windows' name for the watch's window class, so that a test can find the
// window and hand it a notification.
inline constexpr const wchar_t* kHidWatchWindowClass = L"GravimoHidWatch";

// The event descriptor, or -1 when no watch could be made.
int OpenHidWatch();
// Ends the watch's thread and window and closes the descriptor.
void CloseHidWatch(int watch);
