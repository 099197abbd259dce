#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/documents.h"
#include "app_test_helpers.h"

namespace {

// The desktop's folder settings are read once per process, so each case
// looks them up in a child process of its own.
std::string LogPathInChild(const TempFolder& home) {
  int pipeEnds[2];
  EXPECT_EQ(pipe(pipeEnds), 0);
  pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    std::string path = LogFilePath();
    ssize_t written = write(pipeEnds[1], path.data(), path.size());
    _exit(written == static_cast<ssize_t>(path.size()) ? 0 : 1);
  }
  close(pipeEnds[1]);
  std::string path;
  char buffer[256];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
    path.append(buffer, static_cast<size_t>(got));
  }
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  return path;
}

TEST(DocumentsTest, LogLivesInTheConfiguredDocumentsFolder) {
  TempFolder home;
  std::filesystem::create_directories(home.File("config"));
  std::filesystem::create_directories(home.File("Dokumente"));
  WriteWholeFile(home.File("config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  EXPECT_EQ(LogPathInChild(home), home.File("Dokumente/Gravimo_log.txt"));
}

TEST(DocumentsTest, LogFallsBackToTheHomeFolder) {
  TempFolder home;
  EXPECT_EQ(LogPathInChild(home), home.File("Gravimo_log.txt"));
}

}  // namespace
