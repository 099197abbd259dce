#include "app_test_helpers.h"

struct tm pinnedTime = {};

void ReadPinnedTime(struct tm* out) {
  *out = pinnedTime;
}

void PinTime(int year, int month, int day, int hour, int minute, int second) {
  pinnedTime = {};
  pinnedTime.tm_year = year - 1900;
  pinnedTime.tm_mon = month - 1;
  pinnedTime.tm_mday = day;
  pinnedTime.tm_hour = hour;
  pinnedTime.tm_min = minute;
  pinnedTime.tm_sec = second;
}

AppWindowTest::AppWindowTest() {
  PinTime(2024, 5, 6, 7, 8, 9);
  window.logPath = folder.File("Gravimo_log.txt");
  window.localTime = ReadPinnedTime;
}

void AppWindowTest::Append(int user, float weight) {
  DeviceEntry entry;
  entry.userWeight[user] = weight;
  window.currentUser = user;
  window.AppendLog(entry);
}
