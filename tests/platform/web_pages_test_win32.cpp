#include "window/win32_api.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/temp_folder.h"
#include "platform/web_pages.h"

namespace {

// An installed program finds its manual beside gravimo.exe, as the packages
// put it there; without it, the build folder's.
TEST(WebPagesWin32, TheManualBesideTheProgramComesFirst) {
  char program[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
  std::string folder = program;
  folder.resize(folder.rfind('\\'));
  const std::string manual = folder + "\\manual.ja.html";
  ASSERT_EQ(GetFileAttributesA(manual.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::string built = "/docs/manual.ja.html";
  const std::string fallback = LocalManualPath();
  ASSERT_GT(fallback.size(), built.size());
  EXPECT_EQ(fallback.substr(fallback.size() - built.size()), built);

  WriteWholeFile(manual, "<p>Gravimo</p>\n");
  EXPECT_EQ(LocalManualPath(), manual);
  std::string expected = "file:///" + manual;
  for (char& c : expected) {
    if (c == '\\')
      c = '/';
  }
  EXPECT_EQ(FileUri(LocalManualPath()), expected);
  DeleteFileA(manual.c_str());
}

// Nothing to open is a failure, said without a dialog in the way.
TEST(WebPagesWin32, TheShellSaysWhenItCannotOpen) {
  TempFolder folder;
  EXPECT_EQ(OpenUriWithDesktop(folder.File("missing.md").c_str()), 0);
}

}  // namespace
