// Windows first: commdlg.h builds on it.
#include "window/win32_api.h"

#include <commdlg.h>

#include <string>

#include "platform/export_dialogs.h"
#include "resources/chart_texts.h"
#include "resources/tr.h"
#include "support/wide_text.h"

namespace {

// Room for a long path that the dialog may return.
constexpr size_t kPathRoom = 32768;

// The filter as pairs of NUL-ended texts, the list ending in a second NUL.
constexpr wchar_t kCsvFilter[] = L"CSV (*.csv)\0*.csv\0";

}  // namespace

// The system's save dialog; it asks before replacing an existing file and
// adds ".csv" to a name typed without an extension.
std::string AskSavePath(WindowHandle owner, const char* title, const std::string& folder,
                        const char* suggestedName) {
  std::wstring path = WideText(suggestedName);
  path.resize(kPathRoom, L'\0');
  const std::wstring wideTitle = WideText(title);
  const std::wstring wideFolder = WideText(folder);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = static_cast<HWND>(owner);
  dialog.lpstrFilter = kCsvFilter;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = wideFolder.empty() ? nullptr : wideFolder.c_str();
  dialog.lpstrTitle = wideTitle.c_str();
  dialog.lpstrDefExt = L"csv";
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog))
    return "";
  path.resize(path.find(L'\0'));
  return Utf8Text(path);
}

void ShowExportMessage(WindowHandle owner, const std::string& text, int isError) {
  MessageBoxW(static_cast<HWND>(owner), WideText(text).c_str(),
              WideText(Tr(resources::kCsvDialogTitle)).c_str(),
              MB_OK | (isError ? MB_ICONERROR : MB_ICONINFORMATION));
}
