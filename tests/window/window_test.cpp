#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/app_window.h"
#include "fake_window_system.h"
#include "window/window.h"

namespace {

// A window that records what reaches its handler and answers with a chosen
// result.
class RecordingWindow : public ktWindow {
 public:
  RecordingWindow() : ktWindow(nullptr) {}

  int OnMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    received.push_back({window, message, wParam, lParam});
    return result;
  }

  std::vector<Message> received;
  int result = 1;
};

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    previous = SetWindowSystem(&system);
    TakeQuitMessage(nullptr);
  }
  void TearDown() override {
    SetWindowSystem(previous);
    TakeQuitMessage(nullptr);
  }

  FakeWindowSystem system;
  ktWindowSystem* previous = nullptr;
};

TEST_F(WindowTest, CreateAndShowGiveTitledWindowWithMenuAndClientArea) {
  RecordingWindow window;
  WindowHandle handle = window.Create();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(window.GetHandle(), handle);
  FakeWindow* fake = system.Find(handle);
  EXPECT_EQ(fake->title, "Gravimo v1.10");
  EXPECT_TRUE(fake->hasMenu);
  EXPECT_FALSE(fake->visible);

  window.Show();
  EXPECT_TRUE(fake->visible);
  EXPECT_EQ(fake->clientWidth, 600);
  EXPECT_EQ(fake->clientHeight, 400);
}

// The unit's radio item is checked from the settings read at start-up and
// follows the user's choice.
TEST_F(WindowTest, UnitMenuShowsTheLoadedUnitAndFollowsTheChoice) {
  const std::filesystem::path folder = testing::TempDir() + "gravimo-window-settings";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "settings.ini") << "[Display]\nUnit=lb\n";
  {
    AppWindow window(nullptr);
    window.settingsFolder = folder.string();
    WindowHandle handle = window.Create();
    window.LoadUserSettings();
    EXPECT_EQ(system.Find(handle)->checkedRadioItem, 40021);
    ktWindow::WindowProc(handle, kWmCommand, 40022, 0);
    EXPECT_EQ(system.Find(handle)->checkedRadioItem, 40022);
    EXPECT_EQ(window.settings.unit, WeightUnit::StonesPounds);
  }
  std::filesystem::remove_all(folder);
}

TEST_F(WindowTest, FailedCreateLeavesNoHandleNoSlotAndShowDoesNothing) {
  system.failCreate = 1;
  RecordingWindow window;
  EXPECT_EQ(window.Create(), nullptr);
  EXPECT_EQ(window.GetSlot(), -1);
  window.Show();
  EXPECT_TRUE(system.windows.empty());
  EXPECT_EQ(window.Destroy(), -1);
  EXPECT_EQ(windowTable[0], nullptr);
}

TEST_F(WindowTest, SecondCreateKeepsTheWindowAndSlot) {
  RecordingWindow window;
  WindowHandle first = window.Create();
  EXPECT_EQ(window.Create(), first);
  EXPECT_EQ(system.windows.size(), 1u);
  EXPECT_EQ(window.GetSlot(), 0);
  EXPECT_EQ(windowTable[1], nullptr);
}

TEST_F(WindowTest, MessagesReachTheOwnerWithTheirArguments) {
  RecordingWindow first;
  RecordingWindow second;
  WindowHandle firstHandle = first.Create();
  WindowHandle secondHandle = second.Create();

  ktWindow::WindowProc(secondHandle, kWmCommand, 40005, 7);
  ktWindow::WindowProc(firstHandle, kWmKeyDown, 0x43, 1);

  EXPECT_EQ(first.received, (std::vector<Message>{{firstHandle, kWmKeyDown, 0x43, 1}}));
  EXPECT_EQ(second.received, (std::vector<Message>{{secondHandle, kWmCommand, 40005, 7}}));
}

TEST_F(WindowTest, ZeroFromOwnerSuppressesDefaultHandlingNonZeroPassesItOn) {
  RecordingWindow window;
  WindowHandle handle = window.Create();
  system.defaultResult = 5;

  window.result = 0;
  EXPECT_EQ(ktWindow::WindowProc(handle, kWmCommand, 40001, 0), 0);
  EXPECT_TRUE(system.defaultCalls.empty());

  window.result = 1;
  EXPECT_EQ(ktWindow::WindowProc(handle, kWmCommand, 40099, 3), 5);
  EXPECT_EQ(system.defaultCalls, (std::vector<Message>{{handle, kWmCommand, 40099, 3}}));
}

TEST_F(WindowTest, BaseHandlerPostsQuitOnDestroyOnly) {
  ktWindow window(nullptr);
  int exitCode = -1;
  EXPECT_EQ(window.OnMessage(nullptr, kWmCommand, 40001, 0), 1);
  EXPECT_EQ(window.OnMessage(nullptr, kWmClose, 0, 0), 1);
  EXPECT_FALSE(IsQuitPosted());

  EXPECT_EQ(window.OnMessage(nullptr, kWmDestroy, 0, 0), 0);
  EXPECT_TRUE(IsQuitPosted());
  EXPECT_EQ(TakeQuitMessage(&exitCode), 1);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(TakeQuitMessage(&exitCode), 0);
}

TEST_F(WindowTest, QuitMessageCarriesItsExitCodeOnce) {
  int exitCode = 0;
  PostQuitMessage(3);
  EXPECT_EQ(TakeQuitMessage(&exitCode), 1);
  EXPECT_EQ(exitCode, 3);
  EXPECT_FALSE(IsQuitPosted());
}

TEST_F(WindowTest, FirstWindowGetsSlotZeroAndFreesItOnDestroy) {
  RecordingWindow first;
  RecordingWindow second;
  first.Create();
  second.Create();
  EXPECT_EQ(first.GetSlot(), 0);
  EXPECT_EQ(second.GetSlot(), 1);
  EXPECT_EQ(windowTable[0], &first);
  EXPECT_EQ(system.Find(second.GetHandle())->slot, 1);

  EXPECT_EQ(first.Destroy(), 0);
  EXPECT_EQ(first.GetSlot(), -1);
  EXPECT_EQ(first.GetHandle(), nullptr);
  EXPECT_EQ(windowTable[0], nullptr);
  EXPECT_EQ(first.Destroy(), -1);
  EXPECT_EQ(system.destroyCalls, 1);

  RecordingWindow third;
  third.Create();
  EXPECT_EQ(third.GetSlot(), 0);
}

TEST_F(WindowTest, DestructorReleasesWindowAndSlot) {
  FakeWindow* fake = nullptr;
  {
    RecordingWindow window;
    fake = system.Find(window.Create());
  }
  EXPECT_TRUE(fake->released);
  EXPECT_EQ(windowTable[0], nullptr);
}

TEST_F(WindowTest, FullTableLeavesWindowWithoutSlotAndRoutesToDefault) {
  RecordingWindow windows[kWindowTableSize];
  for (int i = 0; i < kWindowTableSize; ++i) {
    windows[i].Create();
    ASSERT_EQ(windows[i].GetSlot(), i);
  }
  RecordingWindow extra;
  WindowHandle handle = extra.Create();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(extra.GetSlot(), -1);
  EXPECT_EQ(system.Find(handle)->slot, -1);

  ktWindow::WindowProc(handle, kWmCommand, 40003, 0);
  EXPECT_TRUE(extra.received.empty());
  for (const RecordingWindow& window : windows) {
    EXPECT_TRUE(window.received.empty());
  }
  EXPECT_EQ(system.defaultCalls.size(), 1u);

  windows[7].Destroy();
  RecordingWindow late;
  late.Create();
  EXPECT_EQ(late.GetSlot(), 7);
}

TEST_F(WindowTest, UnknownHandleGoesToDefaultHandling) {
  ktWindow::WindowProc(nullptr, kWmKeyDown, 0x41, 1);
  EXPECT_EQ(system.defaultCalls.size(), 1u);
}

TEST_F(WindowTest, CloseBoxEndsInQuitAndLaterDestroyDoesNotFail) {
  RecordingWindow window;
  WindowHandle handle = window.Create();

  ktWindow::WindowProc(handle, kWmClose, 0, 0);
  EXPECT_EQ(window.received,
            (std::vector<Message>{{handle, kWmClose, 0, 0}, {handle, kWmDestroy, 0, 0}}));
  EXPECT_TRUE(system.Find(handle)->destroyed);
  // The recording handler passed the destroy message on, so no quit yet.
  EXPECT_FALSE(IsQuitPosted());

  window.received.clear();
  EXPECT_EQ(window.Destroy(), 0);
  EXPECT_TRUE(window.received.empty());
  EXPECT_TRUE(system.Find(handle)->released);
  EXPECT_EQ(windowTable[0], nullptr);
}

TEST_F(WindowTest, CloseBoxOfBaseWindowPostsQuit) {
  ktWindow window(nullptr);
  ktWindow::WindowProc(window.Create(), kWmClose, 0, 0);
  EXPECT_TRUE(IsQuitPosted());
}

TEST_F(WindowTest, CloseHandledByOwnerKeepsWindow) {
  RecordingWindow window;
  window.result = 0;
  WindowHandle handle = window.Create();
  ktWindow::WindowProc(handle, kWmClose, 0, 0);
  EXPECT_FALSE(system.Find(handle)->destroyed);
}

TEST_F(WindowTest, DestroyRoutesTheDestroyMessageToTheBaseHandler) {
  RecordingWindow window;
  window.Create();
  window.Destroy();
  EXPECT_TRUE(window.received.empty());
  EXPECT_TRUE(IsQuitPosted());
}

}  // namespace
