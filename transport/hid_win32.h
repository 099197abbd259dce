#pragma once

#include <string>

#include "transport/hid_binding.h"

// Windows' own HID devices: the modules "hid" and "setupapi" are the system
// libraries of those names, loaded at run time from the system folder only
// and looked up by export name, and a device interface path is opened as an
// overlapped file. Arrivals and removals of HID interfaces are watched.
class ktWin32HidProvider final : public ktHidProvider {
 public:
  // The library files that serve the two modules.
  ktWin32HidProvider(std::string hidLibrary, std::string setupLibrary)
      : hidLibrary(std::move(hidLibrary)), setupLibrary(std::move(setupLibrary)) {}

  ktHidModule* LoadModule(const char* name) override;
  HidHandle OpenDevice(const char* path, int nonBlocking) override;
  int OpenChangeWatch() override;
  int TakeChanges(int watch) override;
  void CloseChangeWatch(int watch) override;
  int WholeOutputReports() override { return 1; }
  int SilentWhenGone() override { return 1; }
  void CancelPending(HidHandle device) override;

 private:
  std::string hidLibrary;
  std::string setupLibrary;
};
