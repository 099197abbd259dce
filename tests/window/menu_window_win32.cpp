#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "english_locale.h"
#include "resources/menu.h"
#include "resources/tr.h"
#include "window/message_loop.h"
#include "window/message_loop_win32.h"
#include "window/win32_api.h"
#include "window/window.h"
#include "window/window_system.h"

namespace {

std::wstring Utf16(const char* text) {
  std::wstring wide(64, L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), 64) - 1);
  return wide;
}

struct MenuEntry {
  std::wstring text;
  UINT id = 0;
  UINT type = 0;
  HMENU popup = nullptr;
};

MenuEntry ReadEntry(HMENU menu, int position) {
  wchar_t text[64] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STRING | MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
  info.dwTypeData = text;
  info.cch = 64;
  if (!GetMenuItemInfoW(menu, position, TRUE, &info)) {
    return {};
  }
  return {text, info.wID, info.fType, info.hSubMenu};
}

// The menu bar lists the table's popups, ids and kinds, in the same order,
// with the texts of the screen's language.
void ExpectMenuOfTheTable(HMENU bar) {
  ASSERT_EQ(GetMenuItemCount(bar), resources::kMainMenuPopupCount);
  for (int p = 0; p < resources::kMainMenuPopupCount; ++p) {
    const resources::MenuPopup& popup = resources::kMainMenu[p];
    const MenuEntry top = ReadEntry(bar, p);
    EXPECT_EQ(top.text, Utf16(Tr(popup.title)));
    ASSERT_NE(top.popup, nullptr) << popup.title;
    ASSERT_EQ(GetMenuItemCount(top.popup), popup.itemCount) << popup.title;
    for (int i = 0; i < popup.itemCount; ++i) {
      const resources::MenuItem& item = popup.items[i];
      const MenuEntry entry = ReadEntry(top.popup, i);
      EXPECT_EQ(entry.text, Utf16(Tr(item.text)));
      EXPECT_EQ(entry.id, item.commandId) << item.text;
      EXPECT_EQ((entry.type & MFT_RADIOCHECK) != 0, item.kind == resources::MenuItemKind::Radio)
          << item.text;
      EXPECT_EQ(entry.type & MFT_SEPARATOR, 0u) << item.text;
    }
  }
}

// English Windows shows the English menu, as GTK does.
TEST(MainMenu, IsBuiltFromTheTableInTheScreensLanguage) {
  WindowHandle source = GetWindowSystem()->CreateMainWindow(kWindowTitle, 1);
  ASSERT_NE(source, nullptr);
  ExpectMenuOfTheTable(GetMenu(static_cast<HWND>(source)));
  GetWindowSystem()->DestroyWindow(source);

  EnglishLocale english;
  WindowHandle translated = GetWindowSystem()->CreateMainWindow(kWindowTitle, 1);
  ASSERT_NE(translated, nullptr);
  HMENU bar = GetMenu(static_cast<HWND>(translated));
  ExpectMenuOfTheTable(bar);
  EXPECT_EQ(ReadEntry(bar, 2).text, L"Measure");
  GetWindowSystem()->DestroyWindow(translated);
}

struct Received {
  uint32_t message;
  uintptr_t wParam;
};

class RecordingWindow : public ktWindow {
 public:
  RecordingWindow() : ktWindow(nullptr) {}

  int OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == kWmCommand || message == kWmKeyDown) {
      received.push_back({message, wParam});
    }
    return ktWindow::OnMessage(window, message, wParam, lParam);
  }

  int Got(uint32_t message, uintptr_t wParam) const {
    int count = 0;
    for (const Received& r : received) {
      count += r.message == message && r.wParam == wParam;
    }
    return count;
  }

  HWND Hwnd() const { return static_cast<HWND>(GetHandle()); }
  HWND Picture() const { return GetDlgItem(Hwnd(), 1); }

  std::vector<Received> received;
};

// One window serves the suite, as every window made and shown under Wine
// without a window manager costs seconds.
class Win32WindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitWindowSystem();
    window.Create();
    window.Show();
  }
  static void TearDownTestSuite() { window.Destroy(); }

  void SetUp() override {
    ASSERT_NE(window.GetHandle(), nullptr);
    window.received.clear();
    TakeQuitMessage(nullptr);
  }
  void TearDown() override { TakeQuitMessage(nullptr); }

  static int Checked(uint16_t command) {
    return (GetMenuState(GetMenu(window.Hwnd()), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
  }

  static inline RecordingWindow window;
};

TEST_F(Win32WindowTest, ShowsAnOverlappedWindowWithMenuAndExactClientArea) {
  char className[64] = {};
  GetClassNameA(window.Hwnd(), className, sizeof(className));
  EXPECT_STREQ(className, kWindowTitle);
  EXPECT_NE(GetMenu(window.Hwnd()), nullptr);
  // Fixed in size, as on the other platforms.
  const LONG style = GetWindowLongA(window.Hwnd(), GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
  EXPECT_TRUE(IsWindowVisible(window.Hwnd()));
  RECT client;
  ASSERT_TRUE(::GetClientRect(window.Hwnd(), &client));
  EXPECT_EQ(client.right - client.left, kClientWidth);
  EXPECT_EQ(client.bottom - client.top, kClientHeight);
  int x = 0, y = 0, width = 0, height = 0;
  ASSERT_EQ(GetClientRect(window.GetHandle(), &x, &y, &width, &height), 1);
  EXPECT_EQ(width, kClientWidth);
  EXPECT_EQ(height, kClientHeight);
  EXPECT_GT(y, 0) << "the menu bar lies above the client area";
}

// Commands and keys reach the owner; keys also while the picture has the
// focus. A window without a slot reaches no object, not even slot 0's.
TEST_F(Win32WindowTest, RoutesCommandsAndKeysToTheOwner) {
  ASSERT_EQ(window.GetSlot(), 0);
  EXPECT_EQ(GetWindowSystem()->GetWindowSlot(window.GetHandle()), 0);
  SendMessageA(window.Hwnd(), WM_COMMAND, resources::kCommandZeroAdjust, 0);
  SendMessageA(window.Picture(), WM_KEYDOWN, 'A', 1);
  EXPECT_EQ(window.Got(kWmCommand, resources::kCommandZeroAdjust), 1);
  EXPECT_EQ(window.Got(kWmKeyDown, 'A'), 1);

  WindowHandle stray = GetWindowSystem()->CreateMainWindow(kWindowTitle, 1);
  ASSERT_NE(stray, nullptr);
  EXPECT_EQ(GetWindowSystem()->GetWindowSlot(stray), -1);
  SendMessageA(static_cast<HWND>(stray), WM_COMMAND, resources::kCommandExit, 0);
  EXPECT_EQ(window.Got(kWmCommand, resources::kCommandExit), 0);
  GetWindowSystem()->DestroyWindow(stray);
}

TEST_F(Win32WindowTest, SystemQuitMessageEndsTheLoopWithItsCode) {
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 7, 0);
  int exitCode = -1;
  EXPECT_EQ(DrainMessages(&exitCode), 1);
  EXPECT_EQ(exitCode, 7);
  EXPECT_EQ(DrainMessages(&exitCode), 0);
}

// A key typed on the keyboard goes to the picture, which has the focus, and
// from there to the owner.
TEST_F(Win32WindowTest, TypedKeyReachesTheOwner) {
  EXPECT_EQ(GetFocus(), window.Picture());
  INPUT press[2] = {};
  press[0].type = press[1].type = INPUT_KEYBOARD;
  press[0].ki.wVk = press[1].ki.wVk = 'C';
  press[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ASSERT_EQ(SendInput(2, press, sizeof(INPUT)), 2u);
  const DWORD until = GetTickCount() + 2000;
  while (!window.Got(kWmKeyDown, 'C') && GetTickCount() < until) {
    int exitCode = 0;
    DrainMessages(&exitCode);
    Sleep(5);
  }
  EXPECT_EQ(window.Got(kWmKeyDown, 'C'), 1);
}

// The program checks a radio item among its group; the user's choice of a
// check item flips it.
TEST_F(Win32WindowTest, KeepsOneUnitCheckedAndFlipsTheSpeechItem) {
  using namespace resources;
  window.CheckMenuRadioItem(kCommandUnitPounds);
  EXPECT_EQ(Checked(kCommandUnitPounds) + 2 * Checked(kCommandUnitKilograms) +
                4 * Checked(kCommandUnitStones),
            1);
  window.CheckMenuRadioItem(kCommandUnitStones);
  EXPECT_EQ(Checked(kCommandUnitPounds) + 2 * Checked(kCommandUnitKilograms) +
                4 * Checked(kCommandUnitStones),
            4);
  EXPECT_EQ(Checked(kCommandSpeech), 0);
  SendMessageA(window.Hwnd(), WM_COMMAND, kCommandSpeech, 0);
  EXPECT_EQ(Checked(kCommandSpeech), 1);
  SendMessageA(window.Hwnd(), WM_COMMAND, kCommandSpeech, 0);
  EXPECT_EQ(Checked(kCommandSpeech), 0);
  window.CheckMenuRadioItem(kCommandSpeech);
  EXPECT_EQ(Checked(kCommandSpeech), 1);
}

// The client area shows a copy of the last picture, also once the picture
// itself is gone; its name carries the screen's description in any script.
TEST_F(Win32WindowTest, ShowsThePictureAndItsDescription) {
  HDC screen = GetDC(nullptr);
  HDC picture = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kClientWidth, kClientHeight);
  HGDIOBJ old = SelectObject(picture, bitmap);
  const RECT all{0, 0, kClientWidth, kClientHeight};
  HBRUSH brush = CreateSolidBrush(RGB(0, 200, 40));
  FillRect(picture, &all, brush);
  ShowClientPicture(window.GetHandle(), picture);
  SelectObject(picture, old);
  DeleteObject(brush);
  DeleteObject(bitmap);
  DeleteDC(picture);
  ReleaseDC(nullptr, screen);
  HDC shown = GetDC(window.Picture());
  EXPECT_EQ(GetPixel(shown, 599, 399), RGB(0, 200, 40));
  SetPixel(shown, 599, 399, RGB(0, 0, 0));
  RedrawWindow(window.Picture(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(GetPixel(shown, 599, 399), RGB(0, 200, 40)) << "a repaint shows the copy";
  ReleaseDC(window.Picture(), shown);

  SetClientDescription(window.GetHandle(), "画面", "体重 60.0 kg");
  wchar_t text[64] = {};
  GetWindowTextW(window.Picture(), text, 64);
  EXPECT_EQ(std::wstring(text), Utf16("画面\n体重 60.0 kg"));
}

// Closing (the suite's last test) goes through the default handling to the destroy message and the
// quit message; destroying the object afterwards still frees its slot.
TEST_F(Win32WindowTest, CloseEndsTheLoopWithStatusZero) {
  PostMessageA(window.Hwnd(), WM_CLOSE, 0, 0);
  int exitCode = -1;
  EXPECT_EQ(DrainMessages(&exitCode), 1);
  EXPECT_EQ(exitCode, 0);
  EXPECT_FALSE(IsWindow(window.Hwnd()));
  EXPECT_EQ(window.Destroy(), 0);
  EXPECT_EQ(windowTable[0], nullptr);
}

}  // namespace
