#pragma once

#include <cstdint>
#include <string>

#include "support/memory.h"

// Opaque handle of a platform window (a GtkWindow on Linux).
using WindowHandle = void*;

// Message numbers keep the values of the classic window messages so that the
// handler tables read as written.
inline constexpr uint32_t kWmDestroy = 0x0002;
inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmQuit = 0x0012;
inline constexpr uint32_t kWmKeyDown = 0x0100;
inline constexpr uint32_t kWmMouseMove = 0x0200;  // lParam: x | y << 16 on the 600 x 400 picture
inline constexpr uint32_t kWmCommand = 0x0111;

inline constexpr int kWindowTableSize = 32;
inline constexpr int kClientWidth = 600;
inline constexpr int kClientHeight = 400;
inline constexpr const char* kWindowTitle = "Gravimo v1.10";

// The program's thin window base class: owns one window, creates it, sizes
// it to its client area, and routes its messages to OnMessage of the owning
// object through windowTable. OnMessage returns 0 when it handled a message
// and non-zero to pass it on to the default handling.
class ktWindow : public ktAllocator16 {
 public:
  enum : uint32_t { HasMenu = 1 };

  explicit ktWindow(void* instance);
  virtual ~ktWindow();
  ktWindow(const ktWindow&) = delete;
  ktWindow& operator=(const ktWindow&) = delete;

  virtual int OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

  // Creates the window with its menu, hidden; returns null on failure. An
  // object that already has a window keeps it and returns it.
  WindowHandle Create();
  // Gives the window its client area of kClientWidth x kClientHeight below
  // the menu and shows it; does nothing without a window.
  void Show();
  // Destroys the window (if the user has not already) and frees the table
  // slot; returns the old slot, -1 when there was none. May be repeated.
  int Destroy();

  static intptr_t WindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam);

  // Checks the radio item `checked` of the window's menu; does nothing
  // without a window.
  void CheckMenuRadioItem(uint16_t checked);
  // Gives the menu item of the command another text; does nothing without
  // a window.
  void SetMenuItemText(uint16_t command, const char* text);

  WindowHandle GetHandle() const { return handle; }

  // The title Show gives the window.
  std::string title = kWindowTitle;
  int GetSlot() const { return slot; }

 protected:
  WindowHandle handle = nullptr;
  void* instance = nullptr;
  uint32_t flags = 0;
  int32_t slot = -1;

 private:
  int Dispatch(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

  // Set while the window is being destroyed: from then on its messages reach
  // only ktWindow's own handler, as the derived part may be gone already.
  int32_t destroying = 0;
};

extern ktWindow* windowTable[kWindowTableSize];

// Posts the quit message that ends the program's message loop.
void PostQuitMessage(int exitCode);
// 1 while a quit message waits to be taken.
int IsQuitPosted();
// Takes the waiting quit message: returns 1 and its exit code in *exitCode
// (when not null), or 0 when none was posted.
int TakeQuitMessage(int* exitCode);
