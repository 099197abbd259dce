#include "transport/hid_watch_win32.h"

// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include <cstring>
#include <map>
#include <mutex>

#include "transport/hid_binding.h"
#include "transport/io_system.h"

namespace {

struct Watch {
  int event = -1;
  HANDLE ready = nullptr;
  HANDLE thread = nullptr;
  HWND window = nullptr;
  HDEVNOTIFY notification = nullptr;
};

std::mutex watchesMutex;
std::map<int, Watch*> watches;

bool IsInterfaceChange(WPARAM change, LPARAM data) {
  if (change != DBT_DEVICEARRIVAL && change != DBT_DEVICEREMOVECOMPLETE) {
    return false;
  }
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
}

LRESULT CALLBACK WatchProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* watch = reinterpret_cast<Watch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_DEVICECHANGE && watch != nullptr && IsInterfaceChange(wParam, lParam)) {
    IoSignalEvent(watch->event);
    return TRUE;
  }
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WatchProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHidWatchWindowClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  return registered;
}

// Notifications for the HID class only; the GUID is the binding's.
HDEVNOTIFY RegisterForHidInterfaces(HWND window) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  static_assert(sizeof filter.dbcc_classguid == sizeof kHidInterfaceClass);
  std::memcpy(&filter.dbcc_classguid, &kHidInterfaceClass, sizeof kHidInterfaceClass);
  return RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

// The window lives on this thread, which only pumps its messages.
DWORD WINAPI WatchThread(void* argument) {
  auto* watch = static_cast<Watch*>(argument);
  watch->window = CreateWindowExW(0, kHidWatchWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
  if (watch->window != nullptr) {
    SetWindowLongPtrW(watch->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(watch));
    watch->notification = RegisterForHidInterfaces(watch->window);
  }
  bool watching = watch->notification != nullptr;
  if (!watching && watch->window != nullptr) {
    DestroyWindow(watch->window);
  }
  SetEvent(watch->ready);
  MSG message;
  while (watching && GetMessageW(&message, nullptr, 0, 0) > 0) {
    DispatchMessageW(&message);
  }
  return 0;
}

void Free(Watch* watch) {
  if (watch->thread != nullptr) {
    WaitForSingleObject(watch->thread, INFINITE);
    CloseHandle(watch->thread);
  }
  if (watch->notification != nullptr) {
    UnregisterDeviceNotification(watch->notification);
  }
  if (watch->ready != nullptr) {
    CloseHandle(watch->ready);
  }
  IoClose(watch->event);
  delete watch;
}

}  // namespace

int OpenHidWatch() {
  if (!RegisterWindowClass()) {
    return -1;
  }
  auto* watch = new Watch;
  watch->event = IoCreateEvent();
  watch->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (watch->event >= 0 && watch->ready != nullptr) {
    watch->thread = CreateThread(nullptr, 0, WatchThread, watch, 0, nullptr);
  }
  if (watch->thread == nullptr) {
    Free(watch);
    return -1;
  }
  WaitForSingleObject(watch->ready, INFINITE);
  if (watch->notification == nullptr) {
    Free(watch);
    return -1;
  }
  std::lock_guard lock(watchesMutex);
  watches[watch->event] = watch;
  return watch->event;
}

void CloseHidWatch(int watch) {
  Watch* found = nullptr;
  {
    std::lock_guard lock(watchesMutex);
    auto entry = watches.find(watch);
    if (entry == watches.end()) {
      return;
    }
    found = entry->second;
    watches.erase(entry);
  }
  PostMessageW(found->window, WM_CLOSE, 0, 0);
  Free(found);
}
