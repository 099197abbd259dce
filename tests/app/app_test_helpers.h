#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "app/app_window.h"

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path; }
  std::string File(const char* name) const { return path + "/" + name; }

 private:
  std::string path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& contents);

// The number of lines in captured debug output, each checked to end in CR LF.
int CountLines(const std::string& output);

// The clock every test window reads: 2024-05-06 07:08:09 unless a test sets
// another time.
extern struct tm pinnedTime;
void ReadPinnedTime(struct tm* out);
void PinTime(int year, int month, int day, int hour, int minute, int second);

// A window without a window system, logging into a temporary folder at the
// pinned time.
class AppWindowTest : public ::testing::Test {
 protected:
  AppWindowTest();

  // Records `weight` for `user` as a finished measurement does.
  void Append(int user, float weight);

  TempFolder folder;
  AppWindow window{nullptr};
};
