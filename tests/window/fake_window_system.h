#pragma once

#include <memory>
#include <string>
#include <vector>

#include "window/window.h"
#include "window/window_system.h"

struct FakeWindow {
  std::string title;
  int hasMenu = 0;
  int32_t slot = -1;
  int visible = 0;
  int clientWidth = 0;
  int clientHeight = 0;
  int destroyed = 0;  // the window is gone from the screen
  int released = 0;   // its owner let go of the handle
  uint16_t checkedRadioItem = 0;
};

struct Message {
  WindowHandle window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;

  bool operator==(const Message&) const = default;
};

// A window system without a display. Its windows keep their slot in a plain
// field; closing and destroying send the destroy message the way the real
// one does, so the routing code runs unchanged.
class FakeWindowSystem final : public ktWindowSystem {
 public:
  WindowHandle CreateMainWindow(const char* title, int withMenu) override;
  void ShowMainWindow(WindowHandle window, const char* title, int clientWidth,
                      int clientHeight) override;
  void DestroyWindow(WindowHandle window) override;
  void SetWindowSlot(WindowHandle window, int32_t slot) override;
  int32_t GetWindowSlot(WindowHandle window) override;
  void CheckMenuRadioItem(WindowHandle window, uint16_t checked) override;
  void SetMenuItemText(WindowHandle, uint16_t, const char*) override {}
  intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override;

  FakeWindow* Find(WindowHandle window);

  std::vector<std::unique_ptr<FakeWindow>> windows;
  std::vector<Message> defaultCalls;
  intptr_t defaultResult = 0;
  int failCreate = 0;
  int destroyCalls = 0;
};
