#include <windows.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "resources/mo_catalogue.h"
#include "resources/tr.h"
#include "support/wide_text.h"

// Translations on Windows, where there is no gettext: the same compiled
// catalogues <folder>/<language>/LC_MESSAGES/gravimo.mo, read by the
// program itself.

namespace {

// Every catalogue read stays for the life of the program, as with gettext:
// texts that Tr returned stay valid when the translations are set up again.
std::vector<std::unique_ptr<MoCatalogue>> loadedCatalogues;
const MoCatalogue* current = nullptr;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring CatalogueFolder() {
  const std::wstring chosen = Environment(L"GRAVIMO_LOCALE_DIR");
  if (!chosen.empty())
    return chosen;
  // An installed program keeps its catalogues in "locale" beside it; one run
  // from the build folder takes the build's.
  const std::wstring folder = ProgramFolder() + L"locale";
  if (IsFolder(folder))
    return folder;
  return WideText(GRAVIMO_BUILD_LOCALE_DIR);
}

// The languages to try, best first. The environment decides as on Linux:
// LANGUAGE lists languages, then the locale (LC_ALL, LC_MESSAGES, LANG)
// names one, unless it is a C locale, which asks for the source texts.
// Without any, the user's language in Windows decides.
std::vector<std::wstring> WantedLanguages() {
  std::wstring locale;
  for (const wchar_t* name : {L"LC_ALL", L"LC_MESSAGES", L"LANG"}) {
    locale = Environment(name);
    if (!locale.empty())
      break;
  }
  std::vector<std::wstring> languages;
  const std::wstring list = Environment(L"LANGUAGE");
  for (size_t start = 0; start < list.size();) {
    const size_t end = std::min(list.find(L':', start), list.size());
    if (end > start)
      languages.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  const bool asksForNoLanguage =
      locale == L"C" || locale == L"POSIX" || locale.rfind(L"C.", 0) == 0;
  if (asksForNoLanguage) {
    return languages;
  }
  if (!locale.empty()) {
    languages.push_back(locale);
  } else {
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    if (GetLocaleInfoW(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), LOCALE_SISO639LANGNAME,
                       name, LOCALE_NAME_MAX_LENGTH) > 0)
      languages.push_back(name);
  }
  return languages;
}

std::string ReadFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return {};
  std::string bytes;
  LARGE_INTEGER size{};
  // A catalogue is a few kilobytes; anything beyond 16 MiB is not one.
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (16 << 20)) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
        read != bytes.size())
      bytes.clear();
  }
  CloseHandle(file);
  return bytes;
}

const MoCatalogue* LoadCatalogue(const std::wstring& folder, const std::wstring& language) {
  const std::string bytes = ReadFile(folder + L"\\" + language + L"\\LC_MESSAGES\\gravimo.mo");
  if (bytes.empty())
    return nullptr;
  auto catalogue = std::make_unique<MoCatalogue>();
  if (!catalogue->Parse(bytes))
    return nullptr;
  loadedCatalogues.push_back(std::move(catalogue));
  return loadedCatalogues.back().get();
}

// The catalogue for a language such as "en_GB.UTF-8@euro": "en_GB", else "en".
const MoCatalogue* FindCatalogue(const std::wstring& folder, const std::wstring& language) {
  const std::wstring full = language.substr(0, language.find_first_of(L".@"));
  const MoCatalogue* catalogue = LoadCatalogue(folder, full);
  const size_t territory = full.find(L'_');
  if (!catalogue && territory != std::wstring::npos)
    catalogue = LoadCatalogue(folder, full.substr(0, territory));
  return catalogue;
}

}  // namespace

const char* Tr(const char* msgid) {
  const char* translation = current && msgid[0] != '\0' ? current->Find(msgid) : nullptr;
  return translation ? translation : msgid;
}

void InitTranslations() {
  // The C runtime keeps its "C" locale, whose numbers have a decimal point.
  std::setlocale(LC_NUMERIC, "C");
  current = nullptr;
  const std::wstring folder = CatalogueFolder();
  for (const std::wstring& language : WantedLanguages()) {
    current = FindCatalogue(folder, language);
    if (current)
      return;
  }
}

int ShowsSourceTexts() {
  return current ? 0 : 1;
}
