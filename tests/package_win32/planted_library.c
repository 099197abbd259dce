/* A library that someone put beside the program under a system library's
   name: when a process loads it, it leaves a file named "planted library
   loaded" beside itself, which the package test looks for. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') {
      --length;
    }
    lstrcpyW(path + length, L"planted library loaded");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (marker != INVALID_HANDLE_VALUE) {
      CloseHandle(marker);
    }
  }
  return TRUE;
}
