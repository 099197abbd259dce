#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/temp_folder.h"
#include "platform/web_pages.h"

namespace {

// An installed program finds its manual beside gravimo.exe, as the packages
// put it there; without it, the source tree's (the case of a build folder).
TEST(WebPagesWin32, TheManualBesideTheProgramComesFirst) {
  char program[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
  std::string folder = program;
  folder.resize(folder.rfind('\\'));
  const std::string manual = folder + "\\manual.ja.md";
  ASSERT_EQ(GetFileAttributesA(manual.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::string source = "/docs/manual.ja.md";
  const std::string fallback = LocalManualUri();
  ASSERT_GT(fallback.size(), source.size());
  EXPECT_EQ(fallback.substr(fallback.size() - source.size()), source);

  WriteWholeFile(manual, "# Gravimo\n");
  std::string expected = "file:///" + manual;
  for (char& c : expected) {
    if (c == '\\')
      c = '/';
  }
  EXPECT_EQ(LocalManualUri(), expected);
  DeleteFileA(manual.c_str());
}

// Nothing to open is a failure, said without a dialog in the way.
TEST(WebPagesWin32, TheShellSaysWhenItCannotOpen) {
  TempFolder folder;
  EXPECT_EQ(OpenUriWithDesktop(folder.File("missing.md").c_str()), 0);
}

}  // namespace
