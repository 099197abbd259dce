// Windows first: commdlg.h builds on it.
#include "window/win32_api.h"

#include <commdlg.h>

#include <cwctype>
#include <string>

#include "platform/export_dialogs.h"
#include "resources/chart_texts.h"
#include "resources/tr.h"
#include "support/wide_text.h"

namespace {

// Room for a long path that the dialog may return.
constexpr size_t kPathRoom = 32768;

// The suggested name's extension, without its point: "csv".
std::wstring ExtensionOf(const char* name) {
  const std::string text = name;
  const size_t point = text.rfind('.');
  return point == std::string::npos ? L"" : WideText(text.substr(point + 1));
}

// The filter as pairs of NUL-ended texts, the list ending in a second NUL:
// "CSV (*.csv)", "*.csv".
std::wstring FilterFor(const std::wstring& extension) {
  std::wstring upper = extension;
  for (wchar_t& c : upper)
    c = towupper(c);
  const std::wstring pattern = L"*." + extension;
  std::wstring filter = upper + L" (" + pattern + L")";
  filter.push_back(L'\0');
  filter += pattern;
  filter.push_back(L'\0');
  return filter;
}

// A window the user has closed already owns no dialog (the question at exit
// comes after it).
HWND Owner(WindowHandle owner) {
  HWND window = static_cast<HWND>(owner);
  return window && IsWindow(window) ? window : nullptr;
}

// The system's file dialog's settings and the texts they point to.
struct FileDialog {
  FileDialog(WindowHandle owner, const char* title, const std::string& folder,
             const std::wstring& extension, const char* name)
      : path(WideText(name)),
        wideTitle(WideText(title)),
        wideFolder(WideText(folder)),
        filter(FilterFor(extension)) {
    path.resize(kPathRoom, L'\0');
    info.lStructSize = sizeof info;
    info.hwndOwner = Owner(owner);
    info.lpstrFilter = filter.c_str();
    info.lpstrFile = path.data();
    info.nMaxFile = static_cast<DWORD>(path.size());
    info.lpstrInitialDir = wideFolder.empty() ? nullptr : wideFolder.c_str();
    info.lpstrTitle = wideTitle.c_str();
    info.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  }
  FileDialog(const FileDialog&) = delete;
  FileDialog& operator=(const FileDialog&) = delete;

  // The path chosen, or "" when the dialog was cancelled.
  std::string Path(BOOL chosen) {
    if (!chosen)
      return "";
    path.resize(path.find(L'\0'));
    return Utf8Text(path);
  }

  std::wstring path;
  const std::wstring wideTitle;
  const std::wstring wideFolder;
  const std::wstring filter;
  OPENFILENAMEW info = {};
};

}  // namespace

// The system's save dialog; it asks before replacing an existing file
// (unless the file is only added to) and adds the suggested name's
// extension to a name typed without one.
std::string AskSavePath(WindowHandle owner, const SaveQuestion& question) {
  const std::wstring extension = ExtensionOf(question.suggestedName);
  FileDialog dialog(owner, question.title, question.folder, extension, question.suggestedName);
  dialog.info.lpstrDefExt = extension.c_str();
  dialog.info.Flags |= question.appends ? 0 : OFN_OVERWRITEPROMPT;
  return dialog.Path(GetSaveFileNameW(&dialog.info));
}

std::string AskOpenPath(WindowHandle owner, const char* title, const std::string& folder) {
  FileDialog dialog(owner, title, folder, L"csv", "");
  dialog.info.Flags |= OFN_FILEMUSTEXIST;
  return dialog.Path(GetOpenFileNameW(&dialog.info));
}

void ShowExportMessage(WindowHandle owner, const std::string& text, int isError) {
  MessageBoxW(Owner(owner), WideText(text).c_str(),
              WideText(Tr(resources::kCsvDialogTitle)).c_str(),
              MB_OK | (isError ? MB_ICONERROR : MB_ICONINFORMATION));
}

// The text ends in the question, which Yes and No answer.
int AskToSaveElsewhere(WindowHandle owner, const std::string& text) {
  return MessageBoxW(Owner(owner), WideText(text).c_str(),
                     WideText(Tr(resources::kUnwrittenTitle)).c_str(),
                     MB_YESNO | MB_ICONWARNING) == IDYES;
}
