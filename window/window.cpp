#include "window/window.h"

#include "window/window_system.h"

ktWindow* windowTable[kWindowTableSize] = {};

namespace {

struct QuitMessage {
  int posted = 0;
  int exitCode = 0;
};

QuitMessage quitMessage;
ktWindowSystem* installedSystem = nullptr;

int TakeFreeSlot(ktWindow* window) {
  for (int i = 0; i < kWindowTableSize; ++i) {
    if (!windowTable[i]) {
      windowTable[i] = window;
      return i;
    }
  }
  return -1;
}

ktWindow* ObjectAtSlot(int32_t slot) {
  if (slot < 0 || slot >= kWindowTableSize) {
    return nullptr;
  }
  return windowTable[slot];
}

}  // namespace

ktWindowSystem* GetWindowSystem() {
  return installedSystem ? installedSystem : PlatformWindowSystem();
}

ktWindowSystem* SetWindowSystem(ktWindowSystem* system) {
  ktWindowSystem* previous = installedSystem;
  installedSystem = system;
  return previous;
}

void PostQuitMessage(int exitCode) {
  quitMessage.posted = 1;
  quitMessage.exitCode = exitCode;
}

int IsQuitPosted() {
  return quitMessage.posted;
}

int TakeQuitMessage(int* exitCode) {
  if (!quitMessage.posted) {
    return 0;
  }
  if (exitCode) {
    *exitCode = quitMessage.exitCode;
  }
  quitMessage = QuitMessage{};
  return 1;
}

ktWindow::ktWindow(void* instance) : instance(instance) {}

ktWindow::~ktWindow() {
  Destroy();
}

int ktWindow::OnMessage(WindowHandle, uint32_t message, uintptr_t, intptr_t) {
  if (message == kWmDestroy) {
    PostQuitMessage(0);
    return 0;
  }
  return 1;
}

WindowHandle ktWindow::Create() {
  if (handle) {
    return handle;
  }
  ktWindowSystem* system = GetWindowSystem();
  flags |= HasMenu;
  destroying = 0;
  handle = system->CreateMainWindow(kWindowTitle, (flags & HasMenu) != 0);
  if (!handle) {
    return nullptr;
  }
  slot = TakeFreeSlot(this);
  if (slot >= 0) {
    system->SetWindowSlot(handle, slot);
  }
  return handle;
}

void ktWindow::Show() {
  if (!handle) {
    return;
  }
  GetWindowSystem()->ShowMainWindow(handle, title.c_str(), kClientWidth, kClientHeight);
}

void ktWindow::CheckMenuRadioItem(uint16_t checked) {
  if (handle) {
    GetWindowSystem()->CheckMenuRadioItem(handle, checked);
  }
}

void ktWindow::SetMenuItemText(uint16_t command, const char* text) {
  if (handle) {
    GetWindowSystem()->SetMenuItemText(handle, command, text);
  }
}

int ktWindow::Destroy() {
  destroying = 1;
  const int oldSlot = slot;
  if (handle) {
    WindowHandle window = handle;
    handle = nullptr;
    GetWindowSystem()->DestroyWindow(window);
  }
  if (slot >= 0) {
    windowTable[slot] = nullptr;
    slot = -1;
  }
  return oldSlot;
}

int ktWindow::Dispatch(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (destroying) {
    return ktWindow::OnMessage(window, message, wParam, lParam);
  }
  return OnMessage(window, message, wParam, lParam);
}

intptr_t ktWindow::WindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) {
  ktWindowSystem* system = GetWindowSystem();
  ktWindow* object = ObjectAtSlot(system->GetWindowSlot(window));
  if (object && object->Dispatch(window, message, wParam, lParam) == 0) {
    return 0;
  }
  return system->DefaultWindowProc(window, message, wParam, lParam);
}
