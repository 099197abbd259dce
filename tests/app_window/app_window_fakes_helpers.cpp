#include "app_window_fakes_helpers.h"

#include <thread>

#include "platform/web_pages.h"
#include "render/canvas_recording.h"

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void FakeWiiLib::Release() {
  if (onRelease) {
    onRelease();
  }
  ++releases;
}

int FakeWiiLib::Start(int vendorId, int productId) {
  ++starts;
  startedVendor = vendorId;
  startedProduct = productId;
  return 1;
}

int FakeWiiLib::RequestUpdate() {
  ++updates;
  return 1;
}

void BluetoothScript::OpenInquiry() {
  std::lock_guard<std::mutex> hold(mutex);
  inquiryOpen = true;
  changed.notify_all();
}

int BluetoothScript::Snapshot(int BluetoothScript::*field) {
  std::lock_guard<std::mutex> hold(mutex);
  return this->*field;
}

void FakeBluetoothLib::Release() {
  {
    std::lock_guard<std::mutex> hold(script.mutex);
    ++script.released;
  }
  delete this;
}

int FakeBluetoothLib::AddDevices(int timeoutMultiplier) {
  lastMultiplier = timeoutMultiplier;
  std::unique_lock<std::mutex> hold(script.mutex);
  ++script.inquiries;
  ++script.running;
  script.changed.notify_all();
  script.changed.wait(hold, [this] { return script.inquiryOpen || cancelled; });
  --script.running;
  return cancelled ? 0 : script.found;
}

void FakeBluetoothLib::Cancel() {
  std::lock_guard<std::mutex> hold(script.mutex);
  cancelled = true;
  ++script.cancels;
  script.changed.notify_all();
}

BluetoothFailure FakeBluetoothLib::LastFailure() {
  std::lock_guard<std::mutex> hold(script.mutex);
  return script.failure;
}

BluetoothScript* currentScript = nullptr;

ktBluetoothLib* CreateFakeBluetoothLib() {
  std::lock_guard<std::mutex> hold(currentScript->mutex);
  ++currentScript->created;
  return new FakeBluetoothLib(*currentScript);
}

std::vector<std::string> openedUris;

int RecordUri(const char* uri) {
  openedUris.push_back(uri);
  return 1;
}

std::vector<std::string> pageNotices;

namespace {

void RecordPageNotice(WindowHandle, const std::string& text) {
  pageNotices.push_back(text);
}

}  // namespace

AppWindowFixture::AppWindowFixture() {
  currentScript = &script;
  openedUris.clear();
  pageNotices.clear();
  SetUriOpener(RecordUri);
  SetPageNotice(RecordPageNotice);
  window.logPath = folder + "/Gravimo_log.txt";
  window.settingsFolder = folder + "/settings";
  window.createWiiLib = [this] { return wiiLib; };
  window.createBluetoothLib = CreateFakeBluetoothLib;
  window.frameSleepMs = 0;
  window.canvas = CreateRecordingCanvas();
  window.Setup();
}

AppWindowFixture::~AppWindowFixture() {
  // Let any inquiry end on its own, then shut down as the program does.
  script.OpenInquiry();
  window.Cleanup();
  SetUriOpener(nullptr);
  SetPageNotice(nullptr);
  TakeQuitMessage(nullptr);
  currentScript = nullptr;
}

// Fontconfig (under the window's real canvas) keeps its caches for the life
// of the process and sets itself up on a thread of its own, outside the
// sanitizers' view; the checkers still report everything of the program's own.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" const char* __tsan_default_suppressions() {
  return "race:libfontconfig.so\n";
}
