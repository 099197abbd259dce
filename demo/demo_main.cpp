// gravimo-demo: Gravimo on a simulated board, no hardware needed. The board
// sits on an in-process HID bus and walks through a weigh-in of two people;
// its button presses start the measurements, so records appear by
// themselves. The log goes to a new temporary folder, named on start.
//
//   gravimo-demo [--steady KG] [--battery LEVEL]
//     --steady KG      instead of the weigh-in, leave the board empty while the
//                      zero point is taken, then hold KG kg on it for good
//     --battery LEVEL  the battery level (0..255) the board reports; fresh
//                      cells report 192, a board that needs new ones less
//                      than 120
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "demo/log_folder.h"
#include "platform/process.h"
#include "resources/tr.h"
#include "sim/scenario.h"
#include "sim/sim_board.h"
#include "transport/virtual_hid_bus.h"
#include "transport/wii_lib.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStep = std::chrono::milliseconds(20);
constexpr double kEmptyWhileZeroing = 4.0;  // seconds, longer than the zero adjustment

// The weigh-in of two people. The second person presses the button twice:
// the first press starts User0, the second moves the measurement on to User1.
std::vector<ScenarioPhase> TwoUserScript() {
  std::vector<ScenarioPhase> phases = WeighInScript();
  int presses = 0;
  for (auto it = phases.begin(); it != phases.end(); ++it) {
    if (it->kind == ScenarioPhase::kPressButton && ++presses == 2) {
      phases.insert(it + 1,
                    {{ScenarioPhase::kEmpty, 0.4, 0.0f}, {ScenarioPhase::kPressButton, 0.3, 0.0f}});
      break;
    }
  }
  return phases;
}

// One simulated board on its own bus, played by a thread in real time. The
// scenario's clock starts once the program has set the board up, so the
// zero adjustment always finds it empty.
class DemoBoard {
 public:
  explicit DemoBoard(int battery) : device(bus.AddDevice("virtual:board0")) {
    board.SetBattery(battery);
    board.SetReportSink(
        [this](const uint8_t* report, int length) { bus.SendInput(device, report, length); });
    bus.SetOutputHandler(
        device, [this](const uint8_t* report, int length) { board.HandleOutput(report, length); });
  }
  ~DemoBoard() { Stop(); }

  // Plays the phases, then keeps holdKg on the board.
  void Play(std::vector<ScenarioPhase> phases, float holdKg) {
    player =
        std::thread([this, phases = std::move(phases), holdKg] { PlayerMain(phases, holdKg); });
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> hold(mutex);
      stopping = true;
    }
    wake.notify_all();
    if (player.joinable()) {
      player.join();
    }
  }

  VirtualHidBus& Bus() { return bus; }

 private:
  // Sleeps one step; false once the demo is ending.
  bool Pause() {
    std::unique_lock<std::mutex> hold(mutex);
    return !wake.wait_for(hold, kStep, [this] { return stopping; });
  }

  void PlayerMain(const std::vector<ScenarioPhase>& phases, float holdKg) {
    while (board.ReportingMode() == 0) {
      if (!Pause()) {
        return;
      }
    }
    Scenario scenario(phases);
    auto last = Clock::now();
    while (!scenario.Done()) {
      if (!Pause()) {
        return;
      }
      const auto now = Clock::now();
      const double seconds = std::chrono::duration<double>(now - last).count();
      last = now;
      bus.Run([&] { scenario.Advance(board, seconds); });
    }
    bus.Run([&] { board.SetTotalLoad(holdKg); });
  }

  // The board outlives the bus, whose thread hands it the host's reports
  // until the bus is gone.
  SimBoard board;
  VirtualHidBus bus;
  const int device;
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::thread player;
};

struct DemoOptions {
  bool steady = false;
  float steadyKg = 0.0f;
  int battery = SimBoardOptions{}.battery;
};

// A number in [low, high], the whole text.
bool ParseNumber(const char* text, double low, double high, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && *value >= low && *value <= high;
}

bool ParseOptions(const std::vector<std::string>& arguments, DemoOptions* options) {
  for (size_t i = 1; i < arguments.size(); i += 2) {
    double value = 0.0;
    if (i + 1 >= arguments.size()) {
      return false;
    }
    const char* number = arguments[i + 1].c_str();
    if (arguments[i] == "--steady" && ParseNumber(number, 0.0, 300.0, &value)) {
      options->steady = true;
      options->steadyKg = static_cast<float>(value);
    } else if (arguments[i] == "--battery" && ParseNumber(number, 0.0, 255.0, &value) &&
               value == static_cast<int>(value)) {
      options->battery = static_cast<int>(value);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = Clock::now();
  InitTranslations();
  DemoOptions options;
  if (!ParseOptions(ProgramArguments(argc, argv), &options)) {
    std::fprintf(stderr, "%s",
                 Tr("usage: gravimo-demo [--steady KG] [--battery LEVEL]   (KG from 0 to 300, "
                    "LEVEL from 0 to 255)\n"));
    return kExitUsage;
  }
  const std::string folder = MakeLogFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "%s", Tr("gravimo-demo: cannot make a temporary folder\n"));
    return 1;
  }

  DemoBoard board(options.battery);
  if (options.steady) {
    board.Play({{ScenarioPhase::kEmpty, kEmptyWhileZeroing, 0.0f}}, options.steadyKg);
  } else {
    board.Play(TwoUserScript(), 0.0f);
  }
  char told[1024];
  std::snprintf(told, sizeof told, Tr("Gravimo demo: log folder %s\n"), folder.c_str());
  std::fputs(told, stdout);
  std::fflush(stdout);
  ProgramSetup setup;
  TellLogFolderInWindow(told, setup);
  setup.createWiiLib = [&board] { return CreateWiiLibOn(board.Bus()); };
  setup.logPath = folder + "/Gravimo_log.txt";
  setup.firstPresent = [started] {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    std::printf(Tr("Gravimo demo: first frame after %lld ms\n"), static_cast<long long>(ms));
    std::fflush(stdout);
  };
  const int status = RunProgram(setup);
  board.Stop();
  return status;
}
