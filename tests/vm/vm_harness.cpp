#include "vm_harness.h"

#include <dirent.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <fstream>

namespace {

std::string Format(const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

}  // namespace

VmScenario::VmScenario(const char* name) : name(name) {}

bool VmScenario::Check(bool ok, const char* format, ...) {
  if (ok || !failure.empty())
    return ok;
  va_list args;
  va_start(args, format);
  failure = Format(format, args);
  va_end(args);
  std::printf("VMNOTE %s failed: %s\n", name.c_str(), failure.c_str());
  std::fflush(stdout);
  return ok;
}

void VmScenario::Note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::printf("VMNOTE %s %s\n", name.c_str(), Format(format, args).c_str());
  va_end(args);
  std::fflush(stdout);
}

int VmScenario::Finish() {
  if (failure.empty()) {
    std::printf("VMTEST %s PASS\n", name.c_str());
  } else {
    std::printf("VMTEST %s FAIL %s\n", name.c_str(), failure.c_str());
  }
  std::fflush(stdout);
  return failure.empty() ? 0 : 1;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string FindHidraw(const std::string& uniq) {
  DIR* dir = opendir("/sys/class/hidraw");
  if (!dir)
    return "";
  std::string found;
  while (dirent* entry = readdir(dir)) {
    const std::string node = entry->d_name;
    if (node.rfind("hidraw", 0) != 0)
      continue;
    std::ifstream uevent("/sys/class/hidraw/" + node + "/device/uevent");
    for (std::string line; std::getline(uevent, line);) {
      if (line == "HID_UNIQ=" + uniq)
        found = "/dev/" + node;
    }
    if (!found.empty())
      break;
  }
  closedir(dir);
  return found;
}

BoardPump::BoardPump(UhidBoard& board) : thread([this, &board] { board.Run(stop); }) {}

BoardPump::~BoardPump() {
  stop.store(true);
  thread.join();
}
