#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "bluetooth/bluetooth_bluez.h"
#include "mock_bluez.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kAdapter = "hci0";
constexpr const char* kBoardAddress = "00:19:1D:00:00:01";
constexpr const char* kRemoteAddress = "00:19:1D:00:00:02";
constexpr const char* kPhoneAddress = "00:19:1D:00:00:03";
constexpr const char* kBoardName = "Nintendo RVL-WBC-01";
constexpr const char* kDevice = "org.bluez.Device1";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";
constexpr const char* kAgentManager = "/org/bluez";
constexpr unsigned kPhoneClass = 0x5a020c;

// The search of each registration here; one that must not run to its end
// searches far longer than any test waits.
constexpr milliseconds kSearch{1200};
constexpr milliseconds kEndless{120000};

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

  // Runs AddDevices and notes how long it took.
  int AddDevices() {
    Clock::time_point start = Clock::now();
    int count = lib->AddDevices(1);
    elapsed = Since(start);
    return count;
  }

  MockBluez mock;
  LibPtr lib{CreateBluetoothLibSearching(kSearch.count())};
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

  std::string PairedBoard(const char* address) {
    std::string board = mock.AddKnownDevice(kAdapter, address, kBoardName);
    mock.MarkPaired(kAdapter, address);
    return board;
  }

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
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName);
  mock.PutInRange(kAdapter, kRemoteAddress, "Nintendo RVL-CNT-01");
  mock.PutInRange(kAdapter, kPhoneAddress, "Phone", 0, kPhoneClass);

  EXPECT_EQ(AddDevices(), 2);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  // The whole search, not only until the first quiet moment.
  EXPECT_GE(elapsed, kSearch);
  ExpectRegistered(Device(kBoardAddress));
  ExpectRegistered(Device(kRemoteAddress));
  ExpectUntouched(Device(kPhoneAddress));

  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 1);
  EXPECT_EQ(mock.CallCount(adapter, "StopDiscovery"), 1);
  EXPECT_NE(mock.Calls(adapter, "SetDiscoveryFilter").find("'bredr'"), std::string::npos);
  EXPECT_NE(mock.Calls(adapter, "SetDiscoveryFilter").find("'DuplicateData': <true>"),
            std::string::npos);
  EXPECT_NE(mock.Calls(kAgentManager, "RegisterAgent").find("'NoInputNoOutput'"),
            std::string::npos);
  EXPECT_EQ(mock.CallCount(kAgentManager, "RequestDefaultAgent"), 0);
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
// remote-name request after the inquiry. An unnamed device of another kind
// is no concern of the user's.
TEST_F(BluetoothRegistration, BoardIsRegisteredWhenItsNameArrives) {
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName, kSearch.count() / 2);
  mock.PutInRange(kAdapter, kPhoneAddress, "Phone", -1, kPhoneClass);

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  ExpectRegistered(Device(kBoardAddress));
}

TEST_F(BluetoothRegistration, WiiDeviceThatNeverTellsItsNameIsReported) {
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName, -1);

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NameUnknown);
}

// Each adapter that sees a board has its own object for it; the board is
// paired once, through the adapter that heard it rather than one that only
// remembers it.
TEST_F(BluetoothRegistration, OneAddressOnTwoAdaptersIsOneDevice) {
  std::string second = mock.AddAdapter("hci1");
  std::string remembered = mock.AddKnownDevice(kAdapter, kBoardAddress, kBoardName);
  mock.PutInRange("hci1", kBoardAddress, kBoardName);

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(mock.CallCount(second, "StartDiscovery"), 1);
  ExpectRegistered(MockBluez::DevicePath("hci1", kBoardAddress));
  ExpectUntouched(remembered);
}

TEST_F(BluetoothRegistration, ConnectedBoardIsLeftAlone) {
  std::string board = PairedBoard(kBoardAddress);
  mock.MarkConnected(kAdapter, kBoardAddress);
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName);

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  EXPECT_EQ(mock.CallCount(adapter, "RemoveDevice"), 0);
  ExpectUntouched(board);
}

// A second board, or a remote paired for other use, that is switched off
// keeps its pairing, and so does one the stack only remembers.
TEST_F(BluetoothRegistration, DevicesThatDoNotAnswerAreNotTouched) {
  std::string paired = PairedBoard(kBoardAddress);
  std::string remembered = mock.AddKnownDevice(kAdapter, kRemoteAddress, "Nintendo RVL-CNT-01");

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  EXPECT_EQ(mock.CallCount(adapter, "RemoveDevice"), 0);
  EXPECT_TRUE(mock.BoolProperty(paired, kDevice, "Paired"));
  ExpectUntouched(paired);
  ExpectUntouched(remembered);
}

// A paired board that answers in pairing mode has lost its key: the pairing
// is removed and the board, found again, is paired anew.
TEST_F(BluetoothRegistration, StalePairingIsForgottenAndTheBoardFoundAgain) {
  std::string board = PairedBoard(kBoardAddress);
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName);

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_NE(mock.Calls(adapter, "RemoveDevice").find(board), std::string::npos);
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 2);
  // The object now at the board's path is the one discovery brought back.
  ExpectRegistered(board);
  EXPECT_TRUE(mock.BoolProperty(board, kDevice, "Paired"));
}

// Where the stack tells Bonded, a pairing it keeps no key for is no stale
// pairing: the board is paired again without being removed.
TEST_F(BluetoothRegistration, BondedDecidesWhereTheStackTellsIt) {
  std::string board = mock.AddKnownDevice(kAdapter, kBoardAddress, kBoardName);
  mock.SetBoolProperty(board, kDevice, "Paired", true);
  mock.AddProperty(board, kDevice, "Bonded", g_variant_new_boolean(FALSE));
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName);

  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(mock.CallCount(adapter, "RemoveDevice"), 0);
  ExpectRegistered(board);
}

// Only a board that was paired, trusted and connected counts; anything else
// names its reason, and a pairing the stack would not trust is undone.
struct FailedStep {
  const char* interface;
  const char* method;
  const char* error;
  BluetoothFailure reason;
};

class BluetoothFailedStep : public BluetoothRegistration,
                            public ::testing::WithParamInterface<FailedStep> {};

TEST_P(BluetoothFailedStep, IsReportedAndNotCounted) {
  const FailedStep& step = GetParam();
  std::string board = mock.AddKnownDevice(kAdapter, kBoardAddress, kBoardName);
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName);
  mock.ReplaceMethod(
      board, step.interface, step.method,
      std::string("raise dbus.exceptions.DBusException('no', name='") + step.error + "')");

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), step.reason);
  const bool removed = mock.Calls(adapter, "RemoveDevice").find(board) != std::string::npos;
  EXPECT_EQ(removed, step.reason == BluetoothFailure::NotTrusted);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BluetoothFailedStep,
    ::testing::Values(FailedStep{kDevice, "Pair", "org.bluez.Error.AuthenticationFailed",
                                 BluetoothFailure::PairingRefused},
                      FailedStep{kDevice, "Pair", "org.bluez.Error.AuthenticationRejected",
                                 BluetoothFailure::PairingRefused},
                      FailedStep{kDevice, "Pair", "org.bluez.Error.ConnectionAttemptFailed",
                                 BluetoothFailure::PairingFailed},
                      FailedStep{"org.freedesktop.DBus.Properties", "Set", "org.bluez.Error.Failed",
                                 BluetoothFailure::NotTrusted},
                      FailedStep{kDevice, "Connect", "org.bluez.Error.Failed",
                                 BluetoothFailure::NotConnected}),
    [](const ::testing::TestParamInfo<FailedStep>& info) {
      return std::string(info.param.method) + std::to_string(info.index);
    });

// Switching Bluetooth on is the user's choice: the failure says so instead,
// and tells a radio switch apart.
TEST_F(BluetoothRegistration, SwitchedOffAdapterIsReportedAndLeftOff) {
  mock.SetBoolProperty(adapter, kAdapterInterface, "Powered", false);
  mock.PutInRange(kAdapter, kBoardAddress, kBoardName);

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::AdapterOff);
  EXPECT_FALSE(mock.BoolProperty(adapter, kAdapterInterface, "Powered"));
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 0);

  mock.AddProperty(adapter, kAdapterInterface, "PowerState", g_variant_new_string("off-blocked"));
  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::AdapterBlocked);

  // One adapter that is on is enough, and the search clears the failure.
  mock.AddAdapter("hci1");
  mock.PutInRange("hci1", kBoardAddress, kBoardName);
  EXPECT_EQ(AddDevices(), 1);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 0);
  EXPECT_FALSE(mock.BoolProperty(adapter, kAdapterInterface, "Powered"));
}

TEST_F(BluetoothRegistration, CancelEndsTheSearch) {
  lib.reset(CreateBluetoothLibSearching(kEndless.count()));
  auto result = std::async(std::launch::async, [&] { return AddDevices(); });
  while (mock.CallCount(adapter, "StartDiscovery") == 0) {
    std::this_thread::sleep_for(milliseconds(10));
  }

  lib->Cancel();
  EXPECT_EQ(result.get(), 0);
  EXPECT_LT(elapsed, kEndless / 2);
}

// Without a stack to search with, AddDevices gives up at once instead of
// searching; these objects would search for minutes.
class BluetoothCannotSearch : public BluetoothWithoutBluez {
 protected:
  void SetUp() override {
    BluetoothWithoutBluez::SetUp();
    lib.reset(CreateBluetoothLibSearching(kEndless.count()));
  }
};

TEST_F(BluetoothCannotSearch, NoAdapterGivesZero) {
  ASSERT_TRUE(mock.StartBluez());

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NoAdapter);
  EXPECT_LT(elapsed, kEndless / 2);
}

TEST_F(BluetoothCannotSearch, NoBluezOnTheBusGivesZero) {
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::None);
  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NoService);
  EXPECT_LT(elapsed, kEndless / 2);
}

TEST_F(BluetoothCannotSearch, NoSystemBusGivesZero) {
  setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/gravimo-test-bus", 1);

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(lib->LastFailure(), BluetoothFailure::NoService);
  EXPECT_LT(elapsed, kEndless / 2);
}

// The board's Pair leaves a mark and then waits, without answering, until
// the test lets it go on (or 30 s have passed).
class BluetoothPairingHeld : public BluetoothRegistration {
 protected:
  void SetUp() override {
    BluetoothRegistration::SetUp();
    lib.reset(CreateBluetoothLibSearching(kEndless.count()));
    TearDown();
    board = mock.AddKnownDevice(kAdapter, kBoardAddress, kBoardName);
    mock.PutInRange(kAdapter, kBoardAddress, kBoardName);
    mock.ReplaceMethod(board, kDevice, "Pair",
                       "import os, time\n"
                       "open('" +
                           arrived.string() +
                           "', 'w').close()\n"
                           "end = time.time() + 30\n"
                           "while not os.path.exists('" +
                           release.string() +
                           "') and time.time() < end:\n"
                           "    time.sleep(0.02)\n"
                           "open('" +
                           answered.string() + "', 'w').close()\n");
  }
  void TearDown() override {
    for (const auto& mark : {arrived, release, answered}) {
      std::filesystem::remove(mark);
    }
  }

  bool WaitForPair() const {
    Clock::time_point start = Clock::now();
    while (!std::filesystem::exists(arrived)) {
      if (Since(start) > kEndless / 4) {
        return false;
      }
      std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
  }

  const std::filesystem::path arrived =
      std::filesystem::temp_directory_path() / ("gravimo-pair-" + std::to_string(getpid()));
  const std::filesystem::path release =
      std::filesystem::temp_directory_path() / ("gravimo-go-" + std::to_string(getpid()));
  const std::filesystem::path answered =
      std::filesystem::temp_directory_path() / ("gravimo-paired-" + std::to_string(getpid()));
  std::string board;
};

TEST_F(BluetoothPairingHeld, CancelEndsAPairingThatHangs) {
  auto result = std::async(std::launch::async, [&] { return lib->AddDevices(1); });
  ASSERT_TRUE(WaitForPair());

  lib->Cancel();
  EXPECT_EQ(result.get(), 0);
  EXPECT_FALSE(std::filesystem::exists(answered)) << "waited for BlueZ's answer";
  std::ofstream(release.string()).close();
  EXPECT_EQ(mock.CallCount(board, "Pair"), 1);
  EXPECT_EQ(mock.CallCount(board, "Connect"), 0);
}

TEST_F(BluetoothPairingHeld, CancelledObjectStaysCancelled) {
  lib->Cancel();

  EXPECT_EQ(AddDevices(), 0);
  EXPECT_EQ(mock.CallCount(adapter, "StartDiscovery"), 0);
  EXPECT_EQ(mock.CallCount(board, "Pair"), 0);
}

}  // namespace
