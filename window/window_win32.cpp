#include <string>

#include "resources/menu.h"
#include "resources/tr.h"
#include "support/wide_text.h"
#include "window/message_loop.h"
#include "window/message_loop_win32.h"
#include "window/win32_api.h"
#include "window/window.h"
#include "window/window_system.h"

namespace {

// The main window's class is named after the program's title, which a
// second start looks for to bring the first one to the front.
// The window is a Unicode one, so that a title names any folder whole.
const std::wstring kMainClass = WideText(kWindowTitle);
// The client area is one child window that shows the picture and carries its
// accessible name as its window text.
constexpr wchar_t kPictureClass[] = L"Gravimo picture";
constexpr int kPictureId = 1;
// The window's own copy of the last picture it was given, kept with the main
// window, so that repaints never depend on the drawing's lifetime.
constexpr char kPictureProperty[] = "GravimoPicture";

struct PictureCopy {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
};

constexpr DWORD kPopupStyle = WS_POPUP | WS_VISIBLE;
// Fixed in size, as on the other platforms: no sizing border, no maximise.
constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW & ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
constexpr DWORD kMainExStyle = WS_EX_APPWINDOW;
constexpr int kDefaultDpi = 96;
constexpr int kIconId = 1;  // the programs' icon in their resources (resources/gravimo.rc.in)
constexpr int kPopupWidth = 256;
constexpr int kPopupHeight = 32;

HWND AsHwnd(WindowHandle window) {
  return static_cast<HWND>(window);
}

HWND PictureOf(HWND window) {
  return window ? GetDlgItem(window, kPictureId) : nullptr;
}

// The program declares itself aware of each display's dots per inch, so
// Windows does not stretch its window into a blur: the window itself shows
// the 600 x 400 picture scaled to the display (900 x 600 at 150 %), pixel
// by pixel. The calls of Windows 10 are looked up, so that an older system
// falls back to the whole screen's dots per inch.
template <typename Call>
Call User32Function(const char* name) {
  return reinterpret_cast<Call>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

int WindowDpi(HWND window) {
  using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowCall>("GetDpiForWindow");
  UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
  if (dpi == 0) {
    HDC screen = GetDC(nullptr);
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? static_cast<int>(dpi) : kDefaultDpi;
}

int Scaled(int size, int dpi) {
  return MulDiv(size, dpi, kDefaultDpi);
}

void AdjustFrame(RECT* frame, bool withMenu, int dpi) {
  using AdjustForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Function<AdjustForDpiCall>("AdjustWindowRectExForDpi");
  if (adjustForDpi == nullptr ||
      !adjustForDpi(frame, kMainStyle, withMenu, kMainExStyle, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(frame, kMainStyle, withMenu, kMainExStyle);
  }
}

// The window's size for its client area at its display's dots per inch,
// and the picture filling that client area.
void FitToDisplay(HWND window, const RECT* suggested) {
  const int dpi = WindowDpi(window);
  const int width = Scaled(kClientWidth, dpi);
  const int height = Scaled(kClientHeight, dpi);
  RECT frame{0, 0, width, height};
  AdjustFrame(&frame, GetMenu(window) != nullptr, dpi);
  if (suggested != nullptr) {
    SetWindowPos(window, nullptr, suggested->left, suggested->top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
  }
  SetWindowPos(PictureOf(window), nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

PictureCopy* CopyOf(HWND window) {
  return static_cast<PictureCopy*>(GetPropA(window, kPictureProperty));
}

PictureCopy* MakeCopy(HWND window, HDC like) {
  auto* copy = new PictureCopy;
  copy->dc = CreateCompatibleDC(like);
  copy->bitmap = CreateCompatibleBitmap(like, kClientWidth, kClientHeight);
  if (!copy->dc || !copy->bitmap) {
    DeleteDC(copy->dc);
    DeleteObject(copy->bitmap);
    delete copy;
    return nullptr;
  }
  copy->previous = SelectObject(copy->dc, copy->bitmap);
  SetPropA(window, kPictureProperty, copy);
  return copy;
}

void DeleteCopy(HWND window) {
  PictureCopy* copy = static_cast<PictureCopy*>(RemovePropA(window, kPictureProperty));
  if (copy) {
    SelectObject(copy->dc, copy->previous);
    DeleteObject(copy->bitmap);
    DeleteDC(copy->dc);
    delete copy;
  }
}

// Scaled pixel by pixel: each pixel of the picture becomes a block of the
// display's, never a blend of its neighbours.
void CopyPicture(HDC target, HWND window) {
  RECT all{0, 0, kClientWidth, kClientHeight};
  ::GetClientRect(PictureOf(window), &all);
  if (PictureCopy* copy = CopyOf(window)) {
    SetStretchBltMode(target, COLORONCOLOR);
    StretchBlt(target, 0, 0, all.right, all.bottom, copy->dc, 0, 0, kClientWidth, kClientHeight,
               SRCCOPY);
    return;
  }
  FillRect(target, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

const resources::MenuItem* FindMenuItem(uint16_t command, int* popup, int* position) {
  for (int p = 0; p < resources::kMainMenuPopupCount; ++p) {
    const resources::MenuPopup& entries = resources::kMainMenu[p];
    for (int i = 0; i < entries.itemCount; ++i) {
      if (entries.items[i].commandId == command) {
        *popup = p;
        *position = i;
        return &entries.items[i];
      }
    }
  }
  return nullptr;
}

// A check item flips with every choice, as the user sees it on a menu.
void FlipCheckItem(HWND window, uint16_t command) {
  int popup = 0, position = 0;
  const resources::MenuItem* item = FindMenuItem(command, &popup, &position);
  HMENU menu = GetMenu(window);
  if (!item || item->kind != resources::MenuItemKind::Check || !menu) {
    return;
  }
  const UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
  CheckMenuItem(menu, command, MF_BYCOMMAND | ((state & MF_CHECKED) ? MF_UNCHECKED : MF_CHECKED));
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == 0 && lParam == 0) {
    FlipCheckItem(window, LOWORD(wParam));
  } else if (message == WM_DPICHANGED) {
    // Moved to a display of other dots per inch: the place Windows suggests,
    // the size of the picture there.
    FitToDisplay(window, reinterpret_cast<const RECT*>(lParam));
    return 0;
  } else if (message == WM_NCDESTROY) {
    DeleteCopy(window);
  }
  return ktWindow::WindowProc(window, message, wParam, lParam);
}

// A pointer position over the picture, in the display's pixels, as a
// position on the picture itself (kClientWidth x kClientHeight), which the
// picture shows scaled to the display.
LPARAM PicturePoint(HWND picture, LPARAM lParam) {
  RECT shown;
  GetClientRect(picture, &shown);
  if (shown.right <= 0 || shown.bottom <= 0) {
    return lParam;
  }
  const int x = MulDiv(static_cast<short>(LOWORD(lParam)), kClientWidth, shown.right);
  const int y = MulDiv(static_cast<short>(HIWORD(lParam)), kClientHeight, shown.bottom);
  return MAKELPARAM(x, y);
}

// The picture paints itself from the memory device context; key presses
// belong to the main window, which the picture passes them on to while it
// has the focus, and so do the pointer's moves over it, in the picture's
// own pixels.
LRESULT CALLBACK PictureProc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(picture, &paint);
    CopyPicture(target, GetParent(picture));
    EndPaint(picture, &paint);
    return 0;
  }
  if (message == WM_ERASEBKGND) {
    return 1;
  }
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
    return SendMessageW(GetParent(picture), message, wParam, lParam);
  }
  if (message == WM_MOUSEMOVE) {
    return SendMessageW(GetParent(picture), message, wParam, PicturePoint(picture, lParam));
  }
  return DefWindowProcW(picture, message, wParam, lParam);
}

int RegisterClasses() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW main{};
  main.style = CS_HREDRAW | CS_VREDRAW;
  main.lpfnWndProc = MainWindowProc;
  main.hInstance = instance;
  main.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  main.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  main.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
  main.lpszClassName = kMainClass.c_str();
  WNDCLASSW picture{};
  picture.lpfnWndProc = PictureProc;
  picture.hInstance = instance;
  picture.hCursor = main.hCursor;
  picture.lpszClassName = kPictureClass;
  // A second registration fails as the class exists already, which is fine.
  RegisterClassW(&main);
  RegisterClassW(&picture);
  WNDCLASSW found;
  return GetClassInfoW(instance, kMainClass.c_str(), &found) ? 1 : 0;
}

// The menu bar from the menu table, in the texts of the screen's language.
HMENU BuildMenuBar() {
  HMENU bar = CreateMenu();
  for (int p = 0; bar && p < resources::kMainMenuPopupCount; ++p) {
    const resources::MenuPopup& entries = resources::kMainMenu[p];
    HMENU popup = CreatePopupMenu();
    for (int i = 0; popup && i < entries.itemCount; ++i) {
      const resources::MenuItem& item = entries.items[i];
      const std::wstring text = WideText(Tr(item.text));
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_STRING | MIIM_ID | MIIM_FTYPE;
      info.fType = item.kind == resources::MenuItemKind::Radio ? MFT_RADIOCHECK : MFT_STRING;
      info.wID = item.commandId;
      info.dwTypeData = const_cast<wchar_t*>(text.c_str());
      InsertMenuItemW(popup, static_cast<UINT>(i), TRUE, &info);
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                WideText(Tr(entries.title)).c_str());
  }
  return bar;
}

class ktWindowSystemWin32 final : public ktWindowSystem {
 public:
  WindowHandle CreateMainWindow(const char* title, int withMenu) override {
    RegisterClasses();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = CreateWindowExW(0, kMainClass.c_str(), WideText(title).c_str(), kPopupStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, kPopupWidth, kPopupHeight, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) {
      return nullptr;
    }
    if (withMenu) {
      SetMenu(window, BuildMenuBar());
    }
    CreateWindowExW(0, kPictureClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, kClientWidth, kClientHeight,
                    window, reinterpret_cast<HMENU>(kPictureId), instance, nullptr);
    return window;
  }

  // Only the size changes: the window keeps the place it was given when it
  // was made.
  // The client area is always the picture's, kClientWidth x kClientHeight,
  // scaled to the display.
  void ShowMainWindow(WindowHandle handle, const char* title, int, int) override {
    HWND window = AsHwnd(handle);
    if (!IsWindow(window)) {
      return;
    }
    SetWindowLongW(window, GWL_STYLE, kMainStyle);
    SetWindowLongW(window, GWL_EXSTYLE, kMainExStyle);
    SetWindowTextW(window, WideText(title).c_str());
    FitToDisplay(window, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    // The picture takes the focus, so that a screen reader presents it when
    // the window opens.
    SetFocus(PictureOf(window));
  }

  void DestroyWindow(WindowHandle window) override {
    if (IsWindow(AsHwnd(window))) {
      ::DestroyWindow(AsHwnd(window));
    }
  }

  // Stored off by one, so that a window without a slot, whose user data is
  // 0, reads as -1 and never reaches the object in slot 0.
  void SetWindowSlot(WindowHandle window, int32_t slot) override {
    SetWindowLongPtrW(AsHwnd(window), GWLP_USERDATA, slot + 1);
  }

  int32_t GetWindowSlot(WindowHandle window) override {
    if (!window) {
      return -1;
    }
    return static_cast<int32_t>(GetWindowLongPtrW(AsHwnd(window), GWLP_USERDATA) - 1);
  }

  // A radio item is checked among the radio items of its popup; a check
  // item is set on.
  void CheckMenuRadioItem(WindowHandle window, uint16_t checked) override {
    int popup = 0, position = 0;
    const resources::MenuItem* item = FindMenuItem(checked, &popup, &position);
    HMENU menu = IsWindow(AsHwnd(window)) ? GetMenu(AsHwnd(window)) : nullptr;
    if (!item || !menu) {
      return;
    }
    if (item->kind == resources::MenuItemKind::Check) {
      CheckMenuItem(menu, checked, MF_BYCOMMAND | MF_CHECKED);
    } else if (item->kind == resources::MenuItemKind::Radio) {
      const resources::MenuPopup& entries = resources::kMainMenu[popup];
      int first = position, last = position;
      while (first > 0 && entries.items[first - 1].kind == resources::MenuItemKind::Radio) {
        --first;
      }
      while (last + 1 < entries.itemCount &&
             entries.items[last + 1].kind == resources::MenuItemKind::Radio) {
        ++last;
      }
      ::CheckMenuRadioItem(GetSubMenu(menu, popup), first, last, position, MF_BYPOSITION);
    }
  }

  void SetMenuItemText(WindowHandle window, uint16_t command, const char* text) override {
    HMENU menu = IsWindow(AsHwnd(window)) ? GetMenu(AsHwnd(window)) : nullptr;
    if (!menu) {
      return;
    }
    std::wstring wide = WideText(text);
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = wide.data();
    SetMenuItemInfoW(menu, command, FALSE, &info);
    DrawMenuBar(AsHwnd(window));
  }

  // The focus goes on to the picture whenever the window gets it back.
  intptr_t DefaultWindowProc(WindowHandle handle, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) override {
    HWND window = AsHwnd(handle);
    if (message == WM_SETFOCUS && PictureOf(window)) {
      SetFocus(PictureOf(window));
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

}  // namespace

ktWindowSystem* PlatformWindowSystem() {
  static ktWindowSystemWin32 system;
  return &system;
}

// Windows always has a desktop; Wine has none without a display, and then
// no window can be made. A hidden window made and destroyed at once tells.
int InitWindowSystem() {
  HWND trial = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (!trial) {
    return 0;
  }
  ::DestroyWindow(trial);
  return RegisterClasses();
}

// A quit message of the system (WM_QUIT) and the framework's own end the
// loop alike, with their exit code.
int DrainMessages(int* exitCode) {
  MSG message;
  while (!IsQuitPosted() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return TakeQuitMessage(exitCode);
}

void ShowClientPicture(WindowHandle handle, HDC__* picture) {
  HWND window = AsHwnd(handle);
  if (!IsWindow(window) || !picture) {
    return;
  }
  PictureCopy* copy = CopyOf(window);
  if (!copy && !(copy = MakeCopy(window, picture))) {
    return;
  }
  BitBlt(copy->dc, 0, 0, kClientWidth, kClientHeight, picture, 0, 0, SRCCOPY);
  InvalidateClient(handle);
}

void InvalidateClient(WindowHandle window) {
  HWND picture = PictureOf(AsHwnd(window));
  if (!picture) {
    return;
  }
  if (!IsWindowVisible(picture)) {
    InvalidateRect(picture, nullptr, FALSE);
    return;
  }
  HDC target = GetDC(picture);
  CopyPicture(target, AsHwnd(window));
  ReleaseDC(picture, target);
}

void BringToFront(WindowHandle window) {
  HWND main = AsHwnd(window);
  if (!main || !IsWindow(main)) {
    return;
  }
  if (IsIconic(main)) {
    ShowWindow(main, SW_RESTORE);
  }
  SetForegroundWindow(main);
}

// The picture's window text is what screen readers read as its name: the
// screen's name, then the description of what it shows.
void SetClientDescription(WindowHandle window, const char* name, const char* description) {
  HWND picture = PictureOf(AsHwnd(window));
  if (picture) {
    SetWindowTextW(picture, WideText(std::string(name) + "\n" + description).c_str());
  }
}

// The picture's place within the window's outer rectangle.
int GetClientRect(WindowHandle window, int* x, int* y, int* width, int* height) {
  HWND picture = PictureOf(AsHwnd(window));
  RECT outer, inner;
  if (!picture || !GetWindowRect(AsHwnd(window), &outer) || !GetWindowRect(picture, &inner)) {
    return 0;
  }
  *x = inner.left - outer.left;
  *y = inner.top - outer.top;
  *width = inner.right - inner.left;
  *height = inner.bottom - inner.top;
  return 1;
}
