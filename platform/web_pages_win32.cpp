// Windows first: the shell and COM headers build on it.
#include "window/win32_api.h"

#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "platform/web_pages.h"
#include "resources/tr.h"
#include "support/wide_text.h"

namespace {

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The shell opens the address with the user's browser, or a file with the
// program its type is associated with. SEE_MASK_NOASYNC: the call returns
// only when the shell has taken the address over, so nothing is lost when the
// program ends soon after.
int OpenUriWithDesktop(const char* uri) {
  const std::wstring wideUri = WideText(uri);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = wideUri.c_str();
  info.nShow = SW_SHOWNORMAL;
  // The shell may pass the address to extensions that need COM on this
  // thread; a thread that has COM already keeps its own.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int opened = ShellExecuteExW(&info) ? 1 : 0;
  if (SUCCEEDED(com))
    CoUninitialize();
  return opened;
}

// The message box is modal, as every message of the program is on Windows.
void ShowPageNoticeWithDesktop(WindowHandle owner, const std::string& text) {
  MessageBoxW(static_cast<HWND>(owner), WideText(text).c_str(), L"Gravimo", MB_OK | MB_ICONWARNING);
}

// The manual beside gravimo.exe, as the packages install it; the build
// folder's when the program runs from there.
std::string LocalManualPath() {
  // Japanese while the screen shows its texts as written, English when a
  // catalogue translates them.
  const bool japanese = ShowsSourceTexts() != 0;
  std::string path = Utf8Text(ProgramFolder()) + (japanese ? "manual.ja.html" : "manual.html");
  if (!IsFile(path))
    path = japanese ? GRAVIMO_BUILD_MANUAL_JA : GRAVIMO_BUILD_MANUAL;
  return path;
}

// A path as a file:// address: forward slashes, and every byte outside the
// plain ASCII of a path written as %XX (UTF-8 for other letters).
std::string FileUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = path.rfind("\\\\", 0) == 0 ? "file:" : path[0] == '/' ? "file://" : "file:///";
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::string("-._~/:").find(static_cast<char>(c)) != std::string::npos;
    if (c == '\\')
      uri += '/';
    else if (plain)
      uri += static_cast<char>(c);
    else
      uri.append({'%', kHex[c >> 4], kHex[c & 15]});
  }
  return uri;
}
