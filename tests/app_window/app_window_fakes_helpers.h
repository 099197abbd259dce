#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/app_window.h"
#include "bluetooth/bluetooth_lib.h"
#include "platform/temp_folder.h"
#include "transport/wii_lib.h"

// Polls pred every millisecond until it holds or the limit passes.
bool WaitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds limit = std::chrono::seconds(5));

// A device manager without devices that counts what the window asks of it.
// The test owns it: Release only counts.
class FakeWiiLib : public ktWiiLib {
 public:
  void DumpDevices() override {}
  void Release() override;
  int GetDeviceCount() override { return 0; }
  ktWiiLibDevice* GetDevice(unsigned) override { return nullptr; }
  int Start(int vendorId, int productId) override;
  int RequestUpdate() override;

  std::atomic<int> starts{0};
  std::atomic<int> startedVendor{0};
  std::atomic<int> startedProduct{0};
  std::atomic<int> updates{0};
  std::atomic<int> releases{0};
  std::function<void()> onRelease;
};

// What the fake Bluetooth registrations of one test did, and how their
// inquiries behave: each AddDevices blocks until the test opens the gate or
// the object is cancelled, then returns found.
struct BluetoothScript {
  std::mutex mutex;
  std::condition_variable changed;
  bool inquiryOpen = true;
  int found = 0;
  BluetoothFailure failure = BluetoothFailure::None;  // what every inquiry reports
  int created = 0;
  int inquiries = 0;
  int running = 0;  // inquiries blocked right now
  int cancels = 0;
  int released = 0;

  void OpenInquiry();
  int Snapshot(int BluetoothScript::*field);
};

class FakeBluetoothLib : public ktBluetoothLib {
 public:
  explicit FakeBluetoothLib(BluetoothScript& script) : script(script) {}
  void Release() override;
  int AddDevices(int timeoutMultiplier) override;
  void Cancel() override;
  BluetoothFailure LastFailure() override;

  int lastMultiplier = 0;

 private:
  BluetoothScript& script;
  bool cancelled = false;
};

// The script the factory below hands to every new fake.
extern BluetoothScript* currentScript;
ktBluetoothLib* CreateFakeBluetoothLib();

// URIs handed to the recording opener, in order.
extern std::vector<std::string> openedUris;
int RecordUri(const char* uri);
// Messages about pages that could not be opened, in order.
extern std::vector<std::string> pageNotices;

// A headless main window with fake device manager and Bluetooth and a
// recording canvas, logging into a temporary folder, frames without pauses.
class AppWindowFixture : public ::testing::Test {
 protected:
  AppWindowFixture();
  ~AppWindowFixture() override;

  BluetoothScript script;
  FakeWiiLib fakeWiiLib;
  FakeWiiLib* wiiLib = &fakeWiiLib;
  TempFolder temp;
  const std::string folder = temp.Path();
  AppWindow window{nullptr};
};
