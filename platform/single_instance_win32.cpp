// Windows first: the window framework renames its clashing names.
#include "window/win32_api.h"

#include "platform/single_instance.h"
#include "window/message_loop.h"

// A mutex named for the program in the user's session (the "Local" space):
// the second copy finds it made already, and brings the first copy's window
// (its class carries the program's title) to the front itself, as the
// program the user just started may.

namespace {

constexpr wchar_t kMutexName[] = L"Local\\io.github.gravimo.Gravimo";

HANDLE claim = nullptr;

}  // namespace

int ClaimSingleInstance(std::function<void()>) {
  ReleaseSingleInstance();
  claim = CreateMutexW(nullptr, FALSE, kMutexName);
  if (claim == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) {
    return 1;
  }
  ReleaseSingleInstance();
  BringToFront(FindWindowA(kWindowTitle, nullptr));
  return 0;
}

void ReleaseSingleInstance() {
  if (claim != nullptr) {
    CloseHandle(claim);
    claim = nullptr;
  }
}
