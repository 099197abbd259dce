#include "fake_window_system.h"

WindowHandle FakeWindowSystem::CreateMainWindow(const char* title, int withMenu) {
  if (failCreate) {
    return nullptr;
  }
  windows.push_back(std::make_unique<FakeWindow>());
  windows.back()->title = title;
  windows.back()->hasMenu = withMenu;
  return windows.back().get();
}

void FakeWindowSystem::ShowMainWindow(WindowHandle window, const char*, int clientWidth,
                                      int clientHeight) {
  FakeWindow* fake = Find(window);
  fake->visible = 1;
  fake->clientWidth = clientWidth;
  fake->clientHeight = clientHeight;
}

void FakeWindowSystem::DestroyWindow(WindowHandle window) {
  ++destroyCalls;
  FakeWindow* fake = Find(window);
  if (!fake->destroyed) {
    fake->destroyed = 1;
    ktWindow::WindowProc(window, kWmDestroy, 0, 0);
  }
  fake->released = 1;
}

void FakeWindowSystem::SetWindowSlot(WindowHandle window, int32_t slot) {
  Find(window)->slot = slot;
}

int32_t FakeWindowSystem::GetWindowSlot(WindowHandle window) {
  FakeWindow* fake = Find(window);
  return fake ? fake->slot : -1;
}

void FakeWindowSystem::CheckMenuRadioItem(WindowHandle window, uint16_t checked) {
  if (FakeWindow* fake = Find(window)) {
    fake->checkedRadioItem = checked;
  }
}

intptr_t FakeWindowSystem::DefaultWindowProc(WindowHandle window, uint32_t message,
                                             uintptr_t wParam, intptr_t lParam) {
  defaultCalls.push_back({window, message, wParam, lParam});
  FakeWindow* fake = Find(window);
  if (message == kWmClose && fake && !fake->destroyed) {
    fake->destroyed = 1;
    ktWindow::WindowProc(window, kWmDestroy, 0, 0);
  }
  return defaultResult;
}

FakeWindow* FakeWindowSystem::Find(WindowHandle window) {
  for (auto& fake : windows) {
    if (fake.get() == window) {
      return fake.get();
    }
  }
  return nullptr;
}
