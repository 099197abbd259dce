#pragma once

#include <cstdint>

#include "window/window.h"

// What the window framework needs from the platform's windowing: one main
// window with menu and client area, a slot number kept in the window, the
// default handling of messages the owner passes on, and destruction.
class ktWindowSystem {
 public:
  virtual WindowHandle CreateMainWindow(const char* title, int withMenu) = 0;
  virtual void ShowMainWindow(WindowHandle window, const char* title, int clientWidth,
                              int clientHeight) = 0;
  // Destroys the window unless the user already has, and lets go of the
  // handle; the handle is invalid afterwards.
  virtual void DestroyWindow(WindowHandle window) = 0;
  virtual void SetWindowSlot(WindowHandle window, int32_t slot) = 0;
  // The slot stored in the window, -1 when none was stored.
  virtual int32_t GetWindowSlot(WindowHandle window) = 0;
  // Checks the radio item `checked` of the menu and so unchecks the others
  // of its group, without delivering a command.
  virtual void CheckMenuRadioItem(WindowHandle window, uint16_t checked) = 0;
  // Gives the menu item of the command another text (UTF-8).
  virtual void SetMenuItemText(WindowHandle window, uint16_t command, const char* text) = 0;
  virtual intptr_t DefaultWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) = 0;

 protected:
  ~ktWindowSystem() = default;
};

// The platform's window system (GTK on Linux); lives as long as the program.
ktWindowSystem* PlatformWindowSystem();

// The window system in use: the platform's unless another was installed.
ktWindowSystem* GetWindowSystem();
// Installs another window system (tests use a fake one); null restores the
// platform's. Returns the one installed before.
ktWindowSystem* SetWindowSystem(ktWindowSystem* system);
