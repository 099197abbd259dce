#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/documents.h"
#include "platform/settings_file.h"
#include "platform/temp_folder.h"

namespace {

// The desktop's folder settings are read once per process, so each case
// looks them up in a child process of its own: what `look` gives there.
std::string InChild(const std::function<std::string()>& look) {
  int pipeEnds[2];
  EXPECT_EQ(pipe(pipeEnds), 0);
  pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    const std::string text = look();
    ssize_t written = write(pipeEnds[1], text.data(), text.size());
    _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  close(pipeEnds[1]);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(got));
  }
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  return text;
}

// The path and the note on two lines.
std::string LogLocationInChild(const TempFolder& home) {
  return InChild([&] {
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    LogLocation location = ChooseLogLocation();
    return location.path + "\n" + location.note;
  });
}

void SetDocumentsFolder(const TempFolder& home, const char* folder) {
  std::filesystem::create_directories(home.File("config"));
  WriteWholeFile(home.File("config/user-dirs.dirs"),
                 std::string("XDG_DOCUMENTS_DIR=\"$HOME/") + folder + "\"\n");
}

TEST(DocumentsTest, LogLivesInTheConfiguredDocumentsFolder) {
  TempFolder home;
  SetDocumentsFolder(home, "Dokumente");
  std::filesystem::create_directories(home.File("Dokumente"));
  EXPECT_EQ(LogLocationInChild(home), home.File("Dokumente/Gravimo_log.txt") + "\n");
}

TEST(DocumentsTest, MissingDocumentsFolderIsMadeForItsOwnerOnly) {
  TempFolder home;
  SetDocumentsFolder(home, "Dokumente");
  std::string location = LogLocationInChild(home);
  EXPECT_EQ(location.substr(0, location.find('\n')), home.File("Dokumente/Gravimo_log.txt"));
  EXPECT_NE(location.find("made"), std::string::npos) << location;
  EXPECT_EQ(std::filesystem::status(home.File("Dokumente")).permissions(),
            std::filesystem::perms::owner_all);
}

TEST(DocumentsTest, LogFallsBackToTheHomeFolderAndSaysWhy) {
  TempFolder home;
  std::string location = LogLocationInChild(home);
  EXPECT_EQ(location.substr(0, location.find('\n')), home.File("Gravimo_log.txt"));
  EXPECT_NE(location.find("home folder"), std::string::npos) << location;

  SetDocumentsFolder(home, "gone/Dokumente");
  location = LogLocationInChild(home);
  EXPECT_EQ(location.substr(0, location.find('\n')), home.File("Gravimo_log.txt"));
  EXPECT_NE(location.find(home.File("gone/Dokumente")), std::string::npos) << location;
  EXPECT_FALSE(std::filesystem::exists(home.File("gone")));
}

// An empty HOME is the password database's, for the toolkit's folders as
// well; no log or settings file goes to the root or to a relative path.
TEST(DocumentsTest, AnEmptyHomeIsTakenFromThePasswordDatabase) {
  const std::string passwordHome = getpwuid(getuid())->pw_dir;
  TempFolder config;
  const std::string settled = InChild([&] {
    setenv("HOME", "", 1);
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    SettleHomeFolder();
    return std::string(getenv("HOME")) + "\n" + ChooseLogLocation().path;
  });
  EXPECT_EQ(settled, passwordHome + "\n" + passwordHome + "/Gravimo_log.txt");

  const std::string unsettled = InChild([] {
    setenv("HOME", "", 1);
    unsetenv("XDG_CONFIG_HOME");
    return std::string("[").append(UserSettingsFolder()).append("]");
  });
  EXPECT_EQ(unsettled, "[]");
}

}  // namespace
