// gravimo-virtual-board: a simulated Balance Board that the kernel sees as a
// Bluetooth HID device, so Gravimo can be tried without hardware. Needs write
// access to /dev/uhid (usually root). Runs until interrupted.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/sim_board.h"
#include "sim/virtual_board_uhid.h"

namespace {

constexpr char kUsage[] =
    "usage: gravimo-virtual-board [options]\n"
    "  --load KG            total load on the board (default 0)\n"
    "  --uniq ADDR          Bluetooth address the board reports (default 00:1f:32:aa:bb:01)\n"
    "  --silent-first N     ignore the first N output reports after the kernel's own\n"
    "                       driver has finished attaching, so the host's first reports\n"
    "                       go unanswered\n"
    "  --vanish-after S     remove the board S seconds after it appeared\n"
    "  --return-after S     bring it back, with the same address, S seconds after it\n"
    "                       vanished (needs --vanish-after)\n"
    "  SIGUSR1              switches the board off (it vanishes) or on again (it\n"
    "                       returns with the same address), at any time\n"
    "  --refuse-set-output  not possible with uhid; see below\n"
    "\n"
    "On Linux a set-output-report (HIDIOCSOUTPUT) and a plain write() on the\n"
    "hidraw node both reach a uhid device as the same output event, so a\n"
    "virtual board cannot refuse one and accept the other. Use --silent-first\n"
    "to make a host give up on its first reports instead.\n";

struct Options {
  float load = 0.0f;
  std::string uniq = "00:1f:32:aa:bb:01";
  int silentFirst = 0;
  double vanishAfter = -1.0;
  double returnAfter = -1.0;
};

// Settles when the kernel's driver has sent nothing for this long.
constexpr int kDriverQuietMs = 500;
constexpr int kPumpMs = 50;

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t switchRequested = 0;

void OnSignal(int) {
  stopRequested = 1;
}

void OnSwitch(int) {
  switchRequested = 1;
}

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// 1 when the options are usable, 0 after printing why not.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (option == "--refuse-set-output") {
      std::fputs("gravimo-virtual-board: --refuse-set-output cannot be honoured.\n\n", stderr);
      return 0;
    }
    double number = 0.0;
    const bool hasValue = i + 1 < argc;
    if (option == "--uniq" && hasValue) {
      options.uniq = argv[++i];
    } else if (option == "--load" && hasValue && ParseNumber(argv[++i], number)) {
      options.load = static_cast<float>(number);
    } else if (option == "--silent-first" && hasValue && ParseNumber(argv[++i], number) &&
               number >= 0) {
      options.silentFirst = static_cast<int>(number);
    } else if (option == "--vanish-after" && hasValue && ParseNumber(argv[++i], number) &&
               number >= 0) {
      options.vanishAfter = number;
    } else if (option == "--return-after" && hasValue && ParseNumber(argv[++i], number) &&
               number >= 0) {
      options.returnAfter = number;
    } else {
      std::fprintf(stderr, "gravimo-virtual-board: bad option %s\n\n", option.c_str());
      return 0;
    }
  }
  if (options.returnAfter >= 0 && options.vanishAfter < 0) {
    std::fputs("gravimo-virtual-board: --return-after needs --vanish-after\n\n", stderr);
    return 0;
  }
  return 1;
}

// Serves the kernel until its driver has been quiet for a while (or stop).
void WaitForDriverQuiet(UhidBoard& board) {
  int quietMs = 0;
  while (!stopRequested && quietMs < kDriverQuietMs) {
    quietMs = board.TakeOutputs().empty() ? quietMs + kPumpMs : 0;
    board.PumpOnce(kPumpMs);
  }
}

int Appear(UhidBoard& board, const Options& options) {
  if (!board.Create())
    return 0;
  std::printf("virtual board %s is present\n", options.uniq.c_str());
  std::fflush(stdout);
  return 1;
}

void Vanish(UhidBoard& board) {
  board.Destroy();
  std::puts("virtual board vanished");
  std::fflush(stdout);
}

// Serves the kernel for the given number of seconds, or until stopped when
// seconds is negative; a SIGUSR1 meanwhile switches the board off or on. 0
// when the board cannot come back.
int Serve(UhidBoard& board, const Options& options, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!stopRequested && (seconds < 0 || std::chrono::steady_clock::now() < end)) {
    if (switchRequested) {
      switchRequested = 0;
      if (board.IsCreated())
        Vanish(board);
      else if (!Appear(board, options))
        return 0;
    }
    board.PumpOnce(kPumpMs);
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGUSR1, OnSwitch);

  SimBoard sim;
  UhidBoard board({.uniq = options.uniq});
  board.Attach(sim);
  sim.SetTotalLoad(options.load);
  if (!Appear(board, options))
    return 1;
  if (options.silentFirst > 0) {
    WaitForDriverQuiet(board);
    board.SilenceNext(options.silentFirst);
    std::printf("ignoring the next %d output reports\n", options.silentFirst);
    std::fflush(stdout);
  }
  if (options.vanishAfter >= 0) {
    if (!Serve(board, options, options.vanishAfter))
      return 1;
    Vanish(board);
    if (options.returnAfter >= 0 && (!Serve(board, options, options.returnAfter) ||
                                     (!stopRequested && !Appear(board, options))))
      return 1;
  }
  return Serve(board, options, -1) ? 0 : 1;
}
