// gravimo-demo: Gravimo on a simulated board, no hardware needed. The board
// sits on an in-process HID bus and walks through a weigh-in of two people;
// its button presses start the measurements, so records appear by
// themselves. The log goes to a new temporary folder, named on start.
//
//   gravimo-demo [--steady KG]
//     --steady KG  instead of the weigh-in, leave the board empty while the
//                  zero point is taken, then hold KG kg on it for good
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
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
  DemoBoard() : device(bus.AddDevice("virtual:board0")) {
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

std::string MakeLogFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string folder =
      std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/gravimo-demo-XXXXXX";
  std::vector<char> name(folder.begin(), folder.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    return "";
  }
  return name.data();
}

bool ParseSteady(int argc, char** argv, float* kg, bool* steady) {
  *steady = false;
  if (argc == 1) {
    return true;
  }
  if (argc != 3 || std::strcmp(argv[1], "--steady") != 0) {
    return false;
  }
  char* end = nullptr;
  const double value = std::strtod(argv[2], &end);
  if (end == argv[2] || *end != '\0' || !(value >= 0.0 && value <= 300.0)) {
    return false;
  }
  *kg = static_cast<float>(value);
  *steady = true;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = Clock::now();
  InitTranslations();
  float steadyKg = 0.0f;
  bool steady = false;
  if (!ParseSteady(argc, argv, &steadyKg, &steady)) {
    std::fprintf(stderr, "%s", Tr("usage: gravimo-demo [--steady KG]   (KG from 0 to 300)\n"));
    return kExitUsage;
  }
  const std::string folder = MakeLogFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "%s", Tr("gravimo-demo: cannot make a temporary folder\n"));
    return 1;
  }
  std::printf(Tr("Gravimo demo: log folder %s\n"), folder.c_str());
  std::fflush(stdout);

  DemoBoard board;
  if (steady) {
    board.Play({{ScenarioPhase::kEmpty, kEmptyWhileZeroing, 0.0f}}, steadyKg);
  } else {
    board.Play(TwoUserScript(), 0.0f);
  }
  ProgramSetup setup;
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
