#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "app/app_window.h"
#include "platform/temp_folder.h"
#include "support/debug_output_capture.h"

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
