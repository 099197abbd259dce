#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "bluetooth/bluetooth_lib.h"
#include "mock_bluez.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kAdapter = "hci0";
constexpr const char* kBoardAddress = "00:19:1D:00:00:01";
constexpr const char* kRemoteAddress = "00:19:1D:00:00:02";
constexpr const char* kPhoneAddress = "00:19:1D:00:00:03";
constexpr const char* kDevice = "org.bluez.Device1";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kAgentManager = "/org/bluez";

// One inquiry unit, and the same with a wide margin for slow, sanitised builds.
constexpr milliseconds kOneInquiry{1280};
constexpr milliseconds kMargin{3000};
constexpr milliseconds kOneInquiryBound = kOneInquiry + kMargin;
// How long discovery waits at most for the names of the devices it found.
constexpr milliseconds kNamedSearchBound{15000};
constexpr milliseconds kPromptly{500};

struct LibRelease {
  void operator()(ktBluetoothLib* lib) const { lib->Release(); }
};
using LibPtr = std::unique_ptr<ktBluetoothLib, LibRelease>;

milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// A private bus with only the daemon on it: no BlueZ.
class BluetoothWithoutBluez : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(mock.BusReady()); }

  // Runs AddDevices with the shortest inquiry and notes how long it took.
  int AddDevices() {
    Clock::time_point start = Clock::now();
    int count = lib->AddDevices(1);
    elapsed = Since(start);
    return count;
  }

  MockBluez mock;
  LibPtr lib{CreateBluetoothLib()};
  milliseconds elapsed{0};
};

class BluetoothRegistration : public BluetoothWithoutBluez {
 protected:
  void SetUp() override {
    BluetoothWithoutBluez::SetUp();
    ASSERT_TRUE(mock.StartBluez());
    adapter = mock.AddAdapter(kAdapter);
  }

  std::string Device(const char* address) const { return MockBluez::DevicePath(kAdapter, address); }

  // Pair, Trusted and Connect: what makes a board a HID device without a PIN.
  void ExpectRegistered(const std::string& device) {
    EXPECT_EQ(mock.CallCount(device, "Pair"), 1) << device;
    EXPECT_TRUE(mock.BoolProperty(device, kDevice, "Trusted")) << device;
    EXPECT_EQ(mock.CallCount(device, "Connect"), 1) << device;
  }

  void ExpectUntouched(const std::string& device) {
    EXPECT_EQ(mock.CallCount(device, "Pair"), 0) << device;
    EXPECT_EQ(mock.CallCount(device, "Connect"), 0) << device;
    EXPECT_FALSE(mock.BoolProperty(device, kDevice, "Trusted")) << device;
  }

  std::string adapter;
};

TEST_F(BluetoothRegistration, RegistersEveryWiiDeviceInRangeAndNothingElse) {
  mock.PutInRange(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");
  mock.PutInRange(kAdapter, kRemoteAddress, "Nintendo RVL-CNT-01");
  mock.PutInRange(kAdapter, kPhoneAddress, "Phone");

  EXPECT_EQ(AddDevices(), 2);
  EXPECT_GE(elapsed, kOneInquiry);
  EXPECT_LT(elapsed, kOneInquiryBound);
  ExpectRegistered(Device(kBoardAddress));
  ExpectRegistered(Device(kRemoteAddress));
  ExpectUntouched(Device(kPhoneAddress));

  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 1);
  EXPECT_EQ(mock.CallCount(adapter, "StopDiscovery"), 1);
  EXPECT_NE(mock.Calls(adapter, "SetDiscoveryFilter").find("'bredr'"), std::string::npos);
  EXPECT_NE(mock.Calls(kAgentManager, "RegisterAgent").find("'NoInputNoOutput'"),
            std::string::npos);
  EXPECT_EQ(mock.CallCount(kAgentManager, "UnregisterAgent"), 1);
}

TEST_F(BluetoothRegistration, NamesMatchOnlyWholeAndWithTheirCase) {
  mock.PutInRange(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01 ");
  mock.PutInRange(kAdapter, kRemoteAddress, "nintendo rvl-wbc-01");
  mock.PutInRange(kAdapter, kPhoneAddress, "Nintendo RVL-CNT-0");

  EXPECT_EQ(AddDevices(), 0);
  ExpectUntouched(Device(kBoardAddress));
  ExpectUntouched(Device(kRemoteAddress));
  ExpectUntouched(Device(kPhoneAddress));
  EXPECT_EQ(mock.CallCount(kAgentManager, "RegisterAgent"), 0);
}

// A board sends no extended inquiry response: the stack learns its name by a
// remote-name request after the inquiry, so discovery goes on for it.
TEST_F(BluetoothRegistration, BoardWhoseNameComesAfterTheInquiryCounts) {
  constexpr milliseconds kNameDelay{2500};
  mock.PutInRange(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01", kNameDelay.count());

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_GE(elapsed, kNameDelay);
  EXPECT_LT(elapsed, kNameDelay + kMargin);
  ExpectRegistered(Device(kBoardAddress));
}

TEST_F(BluetoothRegistration, DeviceThatNeverTellsItsNameEndsTheSearchAtTheBound) {
  mock.PutInRange(kAdapter, kPhoneAddress, "Phone", -1);
  mock.PutInRange(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_GE(elapsed, kNamedSearchBound);
  EXPECT_LT(elapsed, kNamedSearchBound + kMargin);
  ExpectRegistered(Device(kBoardAddress));
}

// Each adapter that sees a board has its own object for it; the board is
// paired once, through the adapter that heard it rather than one that only
// remembers it.
TEST_F(BluetoothRegistration, OneAddressOnTwoAdaptersIsOneDevice) {
  std::string second = mock.AddAdapter("hci1");
  std::string remembered = mock.AddKnownDevice(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");
  mock.PutInRange("hci1", kBoardAddress, "Nintendo RVL-WBC-01");

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(mock.CallCount(second, "StartDiscovery"), 1);
  ExpectRegistered(MockBluez::DevicePath("hci1", kBoardAddress));
  ExpectUntouched(remembered);
}

TEST_F(BluetoothRegistration, ConnectedBoardIsLeftAlone) {
  std::string board = mock.AddKnownDevice(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");
  mock.MarkPaired(kAdapter, kBoardAddress);
  mock.MarkConnected(kAdapter, kBoardAddress);

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(mock.CallCount(adapter, "RemoveDevice"), 0);
  ExpectUntouched(board);
}

TEST_F(BluetoothRegistration, RememberedBoardOutOfRangeCounts) {
  std::string board = mock.AddKnownDevice(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");

  EXPECT_EQ(AddDevices(), 1);
  ExpectRegistered(board);
}

TEST_F(BluetoothRegistration, StalePairingIsForgottenAndTheBoardFoundAgain) {
  std::string board = mock.AddKnownDevice(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");
  mock.MarkPaired(kAdapter, kBoardAddress);
  mock.PutInRange(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_NE(mock.Calls(adapter, "RemoveDevice").find(board), std::string::npos);
  // The object now at the board's path is the one discovery brought back.
  ExpectRegistered(board);
  EXPECT_TRUE(mock.BoolProperty(board, kDevice, "Paired"));
}

TEST_F(BluetoothRegistration, StaleBoardThatDoesNotReappearCountsWithoutPairing) {
  mock.AddKnownDevice(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");
  mock.MarkPaired(kAdapter, kBoardAddress);

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(mock.CallCount(adapter, "RemoveDevice"), 1);
  // A second, bounded discovery looked for it.
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 2);
  EXPECT_EQ(mock.CallCount(kAgentManager, "RegisterAgent"), 0);
  EXPECT_LT(elapsed, kOneInquiryBound + milliseconds(1280));
}

TEST_F(BluetoothRegistration, RefusedPairingCountsButDoesNotTrustOrConnect) {
  std::string board = mock.AddKnownDevice(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");
  mock.ReplaceMethod(board, kDevice, "Pair",
                     "raise dbus.exceptions.DBusException('refused', "
                     "name='org.bluez.Error.AuthenticationFailed')");

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(mock.CallCount(board, "Pair"), 1);
  EXPECT_EQ(mock.CallCount(board, "Connect"), 0);
  EXPECT_FALSE(mock.BoolProperty(board, kDevice, "Trusted"));
}

// Switching Bluetooth on is the user's choice: the failure says so instead.
TEST_F(BluetoothRegistration, SwitchedOffAdapterIsReportedAndLeftOff) {
  mock.SetBoolProperty(adapter, kAdapterInterface, "Powered", false);
  mock.PutInRange(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::AdapterOff);
  EXPECT_LT(elapsed, kPromptly);
  EXPECT_FALSE(mock.BoolProperty(adapter, kAdapterInterface, "Powered"));
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 0);

  // One adapter that is on is enough, and the search clears the failure.
  mock.AddAdapter("hci1");
  mock.PutInRange("hci1", kBoardAddress, "Nintendo RVL-WBC-01");
  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 0);
  EXPECT_FALSE(mock.BoolProperty(adapter, kAdapterInterface, "Powered"));
}

TEST_F(BluetoothWithoutBluez, NoAdapterGivesZero) {
  ASSERT_TRUE(mock.StartBluez());

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NoAdapter);
  EXPECT_LT(elapsed, kPromptly);
}

TEST_F(BluetoothWithoutBluez, NoBluezOnTheBusGivesZeroQuickly) {
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NoService);
  EXPECT_LT(elapsed, kPromptly);
}

TEST_F(BluetoothWithoutBluez, NoSystemBusGivesZeroQuickly) {
  setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/gravimo-test-bus", 1);

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_LT(elapsed, kPromptly);
}

// Starts AddDevices on another thread, cancels it once `beforeCancel` has
// returned and gives the time from Cancel to AddDevices' return.
struct CancelRun {
  int count = -1;
  milliseconds toReturn{0};
};

CancelRun CancelWhen(ktBluetoothLib& lib, int timeoutMultiplier,
                     const std::function<void()>& beforeCancel) {
  CancelRun run;
  auto result = std::async(std::launch::async, [&] { return lib.AddDevices(timeoutMultiplier); });
  beforeCancel();
  Clock::time_point cancelled = Clock::now();
  lib.Cancel();
  run.count = result.get();
  run.toReturn = Since(cancelled);
  return run;
}

TEST_F(BluetoothRegistration, CancelEndsARunningInquiryPromptly) {
  mock.PutInRange(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");

  CancelRun run = CancelWhen(*lib, 5, [] { std::this_thread::sleep_for(milliseconds(300)); });
  EXPECT_EQ(run.count, 0);
  EXPECT_LT(run.toReturn, kPromptly);
  EXPECT_EQ(mock.CallCount(Device(kBoardAddress), "Pair"), 0);

  // A cancelled object stays cancelled.
  Clock::time_point start = Clock::now();
  EXPECT_EQ(lib->AddDevices(5), 0);
  EXPECT_LT(Since(start), kPromptly);
}

TEST_F(BluetoothRegistration, CancelEndsAPairingThatHangs) {
  std::string board = mock.AddKnownDevice(kAdapter, kBoardAddress, "Nintendo RVL-WBC-01");
  // The mock leaves a mark when Pair arrives, then stops answering for a while.
  std::filesystem::path mark =
      std::filesystem::temp_directory_path() / ("gravimo-pair-" + std::to_string(getpid()));
  std::filesystem::remove(mark);
  mock.ReplaceMethod(board, kDevice, "Pair",
                     "open('" + mark.string() + "', 'w').close()\nimport time\ntime.sleep(4)");

  CancelRun run = CancelWhen(*lib, 1, [&] {
    Clock::time_point start = Clock::now();
    while (!std::filesystem::exists(mark) && Since(start) < milliseconds(20000)) {
      std::this_thread::sleep_for(milliseconds(10));
    }
  });
  EXPECT_TRUE(std::filesystem::remove(mark));
  EXPECT_LT(run.toReturn, kPromptly);
  // Answered once the mock wakes up again.
  EXPECT_EQ(mock.CallCount(board, "Pair"), 1);
  EXPECT_EQ(mock.CallCount(board, "Connect"), 0);
}

TEST_F(BluetoothRegistration, CancelBeforeAddDevicesTouchesNothing) {
  lib->Cancel();

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_LT(elapsed, kPromptly);
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 0);
}

}  // namespace
