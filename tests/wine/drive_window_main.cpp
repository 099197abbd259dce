// Drives the program's main window from outside, as a user would, and reads
// what it shows. Reads its steps from standard input, one per line:
//   window [PERCENT]   wait for the main window; check that it is fixed in size and
//                      has a menu bar and a client area of 600 x 400 at PERCENT
//                      (default 100) of the standard 96 dots per inch
//   title              print the window's title
//   wait MS TEXT       wait up to MS ms until the screen's description holds
//                      TEXT (or one of the texts parted by "||")
//   key VK             a key press (virtual-key code) posted to the window
//   type VK            a key typed on the keyboard, with the window in front
//   command ID         a menu command to the window
//   point X Y          the pointer moved to (X, Y) of the 600 x 400 picture, in
//                      the display's pixels, as the system tells the picture
//   close              the close box
//   gone MS            wait up to MS ms until the window is gone
//   picture FILE       write the client area as a 24-bit BMP file
//   dialog MS TITLE    wait up to MS ms for a dialog box of the program with this title
//   dialogpicture FILE write the dialog's client area as a 24-bit BMP file
//   dialogtype TEXT    type the text into the dialog, which is brought to the front
//   dialogkey VK       a key typed into the dialog
//   dialoggone MS      wait up to MS ms until the dialog is gone
// Prints every description it sees, with the milliseconds since it started;
// exits 0 when every step held, 1 at the first that did not.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// The main window's class; the demo's title says more.
constexpr char kClass[] = "Gravimo v1.10";
constexpr int kPictureId = 1;
constexpr int kWidth = 600;
constexpr int kHeight = 400;
constexpr int kWindowWaitMs = 60000;
constexpr auto kPoll = std::chrono::milliseconds(2);

using Clock = std::chrono::steady_clock;
const Clock::time_point started = Clock::now();

long long Elapsed() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
}

HWND window = nullptr;
HWND dialog = nullptr;
std::string lastDescription;
// The client area the window is to have, at the display's scale.
int clientWidth = kWidth;
int clientHeight = kHeight;

std::string WindowText(HWND of) {
  wchar_t text[1024] = {};
  GetWindowTextW(of, text, 1024);
  char utf8[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
  return utf8;
}

std::string Description() {
  std::string line = WindowText(GetDlgItem(window, kPictureId));
  for (char& c : line) {
    c = c == '\n' ? '|' : c;
  }
  return line;
}

void NoteDescription() {
  const std::string now = Description();
  if (now != lastDescription) {
    lastDescription = now;
    std::printf("+%lld ms: %s\n", Elapsed(), now.c_str());
    std::fflush(stdout);
  }
}

bool Fail(const std::string& why) {
  std::printf("FAILED: %s\n", why.c_str());
  return false;
}

// The program first shows a small pop-up and then restyles and resizes it,
// so the window counts as there once it has its caption and its final
// client area; until the bound, any earlier look may be one in between.
bool FinalWindowShown(RECT* client) {
  window = FindWindowA(kClass, nullptr);
  return window && IsWindowVisible(window) && (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) &&
         GetClientRect(window, client) && client->right == clientWidth &&
         client->bottom == clientHeight;
}

bool FindWindowStep(int percent) {
  clientWidth = kWidth * percent / 100;
  clientHeight = kHeight * percent / 100;
  RECT client{};
  while (!FinalWindowShown(&client)) {
    if (Elapsed() > kWindowWaitMs) {
      return Fail(window ? "client area is not " + std::to_string(clientWidth) + " x " +
                               std::to_string(clientHeight) + " (" + std::to_string(client.right) +
                               " x " + std::to_string(client.bottom) + ")"
                         : "no main window");
    }
    std::this_thread::sleep_for(kPoll);
  }
  std::printf("window after %lld ms\n", Elapsed());
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  if (style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) {
    return Fail("the window can be resized or maximised");
  }
  // Menus belong to their process under Wine, so the menu bar is checked by
  // the room it takes: the frame of the client area with a menu.
  RECT outer, expected{0, 0, clientWidth, clientHeight};
  GetWindowRect(window, &outer);
  AdjustWindowRectEx(&expected, static_cast<DWORD>(style), TRUE, WS_EX_APPWINDOW);
  std::printf("client %ld x %ld, window %ld x %ld, with a menu bar %ld x %ld\n", client.right,
              client.bottom, outer.right - outer.left, outer.bottom - outer.top,
              expected.right - expected.left, expected.bottom - expected.top);
  return outer.bottom - outer.top == expected.bottom - expected.top || Fail("no menu bar");
}

bool Holds(const std::string& description, const std::string& texts) {
  for (size_t start = 0; start <= texts.size();) {
    const size_t end = std::min(texts.find("||", start), texts.size());
    if (description.find(texts.substr(start, end - start)) != std::string::npos) {
      return true;
    }
    start = end + 2;
  }
  return false;
}

bool WaitStep(long long ms, const std::string& text) {
  const long long until = Elapsed() + ms;
  do {
    NoteDescription();
    if (Holds(lastDescription, text)) {
      return true;
    }
    std::this_thread::sleep_for(kPoll);
  } while (Elapsed() < until && IsWindow(window));
  return Fail("no description with \"" + text + "\" within " + std::to_string(ms) + " ms");
}

bool GoneStep(long long ms) {
  const long long until = Elapsed() + ms;
  while (IsWindow(window)) {
    if (Elapsed() > until) {
      return Fail("window still there");
    }
    std::this_thread::sleep_for(kPoll);
  }
  std::printf("window gone after %lld ms\n", Elapsed());
  return true;
}

// The client area of `shown`, width x height, as a 24-bit BMP file.
bool WritePicture(HWND shown, int width, int height, const std::string& path) {
  // The screen holds what the window shows; another process's window DC
  // shows nothing of it under Wine.
  POINT origin{0, 0};
  ClientToScreen(shown, &origin);
  HDC source = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  // Rows are padded to four bytes; a negative height keeps them top-down.
  std::vector<unsigned char> bgr;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = static_cast<const uint32_t*>(bits)[y * width + x];
      bgr.push_back(pixel & 0xFF);
      bgr.push_back((pixel >> 8) & 0xFF);
      bgr.push_back((pixel >> 16) & 0xFF);
    }
    while (bgr.size() % 4 != 0)
      bgr.push_back(0);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, source);
  BITMAPINFOHEADER header = info.bmiHeader;
  header.biBitCount = 24;
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;
  fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(header);
  fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(bgr.size());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    return Fail("cannot write " + path);
  }
  std::fwrite(&fileHeader, sizeof(fileHeader), 1, file);
  std::fwrite(&header, sizeof(header), 1, file);
  std::fwrite(bgr.data(), 1, bgr.size(), file);
  std::fclose(file);
  return true;
}

bool PictureStep(const std::string& path) {
  return WritePicture(GetDlgItem(window, kPictureId), clientWidth, clientHeight, path);
}

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
  return wide;
}

bool DialogStep(long long ms, const std::string& title) {
  const long long until = Elapsed() + ms;
  const std::wstring wide = Wide(title);
  while (!(dialog = FindWindowW(L"#32770", wide.c_str())) || !IsWindowVisible(dialog)) {
    if (Elapsed() > until) {
      return Fail("no dialog " + title);
    }
    std::this_thread::sleep_for(kPoll);
  }
  std::printf("dialog after %lld ms\n", Elapsed());
  return true;
}

bool DialogPictureStep(const std::string& path) {
  RECT client{};
  return (dialog && GetClientRect(dialog, &client))
             ? WritePicture(dialog, client.right, client.bottom, path)
             : Fail("no dialog to picture");
}

bool TypeIntoDialog(const std::vector<INPUT>& keys) {
  if (!dialog) {
    return Fail("no dialog to type into");
  }
  SetForegroundWindow(dialog);
  std::vector<INPUT> input = keys;
  return SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)) == input.size() ||
         Fail("keyboard input refused");
}

bool DialogTypeStep(const std::string& text) {
  std::vector<INPUT> keys;
  for (wchar_t c : Wide(text)) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wScan = c;
    key.ki.dwFlags = KEYEVENTF_UNICODE;
    keys.push_back(key);
    key.ki.dwFlags |= KEYEVENTF_KEYUP;
    keys.push_back(key);
  }
  return TypeIntoDialog(keys);
}

bool DialogKeyStep(int virtualKey) {
  std::vector<INPUT> keys(2);
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = static_cast<WORD>(virtualKey);
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return TypeIntoDialog(keys);
}

bool DialogGoneStep(long long ms) {
  const long long until = Elapsed() + ms;
  while (dialog && IsWindow(dialog)) {
    if (Elapsed() > until) {
      return Fail("dialog still there");
    }
    std::this_thread::sleep_for(kPoll);
  }
  std::printf("dialog gone after %lld ms\n", Elapsed());
  return true;
}

bool TypeStep(int virtualKey) {
  SetForegroundWindow(window);
  INPUT press[2] = {};
  press[0].type = press[1].type = INPUT_KEYBOARD;
  press[0].ki.wVk = press[1].ki.wVk = static_cast<WORD>(virtualKey);
  press[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, press, sizeof(INPUT)) == 2 || Fail("keyboard input refused");
}

bool PointStep(int x, int y) {
  const LPARAM shown = MAKELPARAM(x * clientWidth / kWidth, y * clientHeight / kHeight);
  return PostMessageW(GetDlgItem(window, kPictureId), WM_MOUSEMOVE, 0, shown) ||
         Fail("pointer move refused");
}

bool Step(const std::string& line) {
  std::istringstream words(line);
  std::string verb;
  words >> verb;
  if (verb.empty()) {
    return true;
  }
  if (verb != "window" && !window) {
    return Fail("no window for: " + line);
  }
  long long number = 0;
  std::string rest;
  if (verb == "window") {
    return FindWindowStep(words >> number ? static_cast<int>(number) : 100);
  }
  if (verb == "title") {
    std::printf("title: %s\n", WindowText(window).c_str());
    return true;
  }
  if (verb == "wait" && words >> number && std::getline(words >> std::ws, rest)) {
    return WaitStep(number, rest);
  }
  if (verb == "key" && words >> number) {
    return PostMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(number), 1) || Fail(line);
  }
  if (verb == "type" && words >> number) {
    return TypeStep(static_cast<int>(number));
  }
  if (verb == "command" && words >> number) {
    return PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(number), 0) || Fail(line);
  }
  long long second = 0;
  if (verb == "point" && words >> number >> second) {
    return PointStep(static_cast<int>(number), static_cast<int>(second));
  }
  if (verb == "close") {
    return PostMessageA(window, WM_CLOSE, 0, 0) || Fail(line);
  }
  if (verb == "gone" && words >> number) {
    return GoneStep(number);
  }
  if (verb == "picture" && std::getline(words >> std::ws, rest)) {
    return PictureStep(rest);
  }
  if (verb == "dialog" && words >> number && std::getline(words >> std::ws, rest)) {
    return DialogStep(number, rest);
  }
  if (verb == "dialogpicture" && std::getline(words >> std::ws, rest)) {
    return DialogPictureStep(rest);
  }
  if (verb == "dialogtype" && std::getline(words >> std::ws, rest)) {
    return DialogTypeStep(rest);
  }
  if (verb == "dialogkey" && words >> number) {
    return DialogKeyStep(static_cast<int>(number));
  }
  if (verb == "dialoggone" && words >> number) {
    return DialogGoneStep(number);
  }
  return Fail("step not understood: " + line);
}

}  // namespace

int main() {
  // The window's sizes as the display has them, not as an old program
  // would be shown them.
  SetProcessDPIAware();
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    std::printf("> %s\n", line.c_str());
    std::fflush(stdout);
    if (!Step(line)) {
      return 1;
    }
  }
  return 0;
}
