#include "app/app_window.h"

#include "app/documents.h"
#include "render/canvas.h"
#include "transport/wii_lib.h"

// Every field starts at its declared value: all entries zero-adjust for their
// first frames, the start-up grace runs, the history is empty. Nothing here
// needs a window system, so the object can be built headless.
AppWindow::AppWindow(void* instance) : ktWindow(instance), logPath(LogFilePath()) {}

AppWindow::~AppWindow() {
  Cleanup();
}

// Releases what exists and marks it gone, so a second call does nothing.
void AppWindow::Cleanup() {
  // A running registration thread still uses wiiLib and this window: wait for
  // it before either goes away.
  registerThread.Join();
  registerThread.Close();
  if (canvas != nullptr) {
    canvas->Release();
    canvas = nullptr;
  }
  if (wiiLib != nullptr) {
    wiiLib->Release();
    wiiLib = nullptr;
  }
}
