// Reads arbitrary bytes as the weight log and checks that every history slot
// stays a NUL-terminated text within its 64 bytes.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "app/app_window.h"

namespace {

// One window for the whole run, reading a scratch file that is removed at exit.
struct FuzzWindow {
  AppWindow window{nullptr};

  FuzzWindow() {
    char path[] = "/tmp/gravimo-history-fuzz-XXXXXX";
    int descriptor = mkstemp(path);
    if (descriptor < 0) {
      abort();
    }
    close(descriptor);
    window.logPath = path;
  }
  ~FuzzWindow() { unlink(window.logPath.c_str()); }
};

AppWindow& Window() {
  static FuzzWindow fuzzWindow;
  return fuzzWindow.window;
}

void WriteLog(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr || fwrite(data, 1, size, file) != size || fclose(file) != 0) {
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AppWindow& window = Window();
  WriteLog(window.logPath, data, size);
  memset(window.history, 'X', sizeof window.history);
  window.LoadHistory();
  for (const auto& slot : window.history) {
    if (memchr(slot, '\0', sizeof slot) == nullptr) {
      abort();
    }
  }
  return 0;
}
