#include "wine_probe.h"

#include "device/wii_lib_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr char kProbeProgram[] = "/wine/wii_lib_probe.exe";
constexpr char kWineOutput[] = "/tmp/wine-probe.log";
// Wine's first start in the emulated machine brings up its services and
// the HID bus; bounds are for failures only.
constexpr int kStartTimeoutMs = 120000;
constexpr int kAnswerTimeoutMs = 10000;
constexpr int kWeighTimeoutMs = 10000;
constexpr float kWeighTolerance = 0.1f;

// Whether a process holds open a file for which held(path) is true; a
// removed node's path reads "PATH (deleted)".
template <typename Match>
bool FileHeld(Match held) {
  DIR* processes = opendir("/proc");
  if (!processes)
    return false;
  bool found = false;
  while (dirent* process = readdir(processes)) {
    const std::string fds = std::string("/proc/") + process->d_name + "/fd";
    DIR* open = opendir(fds.c_str());
    if (!open)
      continue;
    while (dirent* fd = readdir(open)) {
      char target[256];
      const ssize_t length = readlink((fds + "/" + fd->d_name).c_str(), target, sizeof target - 1);
      if (length <= 0)
        continue;
      found = found || held(std::string(target, static_cast<size_t>(length)));
    }
    closedir(open);
  }
  closedir(processes);
  return found;
}

}  // namespace

bool WaitNodeReleased(const std::string& node, int timeoutMs) {
  return WaitFor(
      [&] {
        return !FileHeld(
            [&](const std::string& path) { return path == node || path == node + " (deleted)"; });
      },
      timeoutMs, 50);
}

bool WaitEarlierBoardsReleased(VmScenario& scenario) {
  const auto start = std::chrono::steady_clock::now();
  const bool released = WaitFor(
      [] {
        return !FileHeld([](const std::string& path) { return path.rfind("/dev/hidraw", 0) == 0; });
      },
      kStartTimeoutMs, 50);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
  if (waited >= 50)
    scenario.Note("a hidraw node was still held for %lld ms", static_cast<long long>(waited));
  return scenario.Check(released, "Wine still holds an earlier board's node");
}

bool ProbedDevice::Identified() const {
  return Listed() && open == 1 && extension == kExtBalanceBoard && readState == 0;
}

WineProbe::WineProbe(VmScenario& scenario) : scenario(scenario) {}

WineProbe::~WineProbe() {
  if (child < 0)
    return;
  Ask("quit", kAnswerTimeoutMs);
  close(toProbe);
  int status = 0;
  if (!WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, kAnswerTimeoutMs)) {
    scenario.Check(false, "the probe did not end after quit");
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  close(fromProbe);
  if (!scenario.Passed())
    NoteWineOutput();
}

bool WineProbe::Start() {
  // A probe that ended must fail the scenario, not end it by SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  int input[2], output[2];
  if (!scenario.Check(pipe(input) == 0 && pipe(output) == 0, "no pipes for the probe"))
    return false;
  child = fork();
  if (child == 0) {
    dup2(input[0], 0);
    dup2(output[1], 1);
    const int log = open(kWineOutput, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log, 2);
    for (int fd : {input[0], input[1], output[0], output[1], log})
      close(fd);
    execlp("wine", "wine", kProbeProgram, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(input[0]);
  close(output[1]);
  toProbe = input[1];
  fromProbe = output[0];
  return scenario.Check(child > 0 && !Ask("state 0", kStartTimeoutMs).empty(),
                        "the probe under Wine did not answer");
}

std::string WineProbe::Ask(const char* command, int timeoutMs) {
  char line[64];
  const int length = std::snprintf(line, sizeof line, "%s\n", command);
  if (write(toProbe, line, static_cast<size_t>(length)) != length)
    return "";
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t newline = received.find('\n');
    if (newline != std::string::npos) {
      // The probe's standard output is in text mode: lines end in CR LF.
      std::string answer = received.substr(0, newline);
      received.erase(0, newline + 1);
      if (!answer.empty() && answer.back() == '\r')
        answer.pop_back();
      return answer;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd ready{fromProbe, POLLIN, 0};
    char buffer[256];
    ssize_t got = 0;
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0 ||
        (got = read(fromProbe, buffer, sizeof buffer)) <= 0)
      return "";
    received.append(buffer, static_cast<size_t>(got));
  }
}

ProbedDevice WineProbe::State(unsigned index) {
  ProbedDevice device;
  char command[32];
  std::snprintf(command, sizeof command, "state %u", index);
  device.answer = Ask(command, kAnswerTimeoutMs);
  std::istringstream answer(device.answer);
  std::string word;
  answer >> word >> device.count >> device.identity;
  if (word != "state" || device.identity == "0") {
    device.identity.clear();
    return device;
  }
  answer >> device.open >> std::hex >> device.extension >> std::dec >> device.readState >>
      std::hex >> device.buttons >> std::dec >> device.weight;
  for (float& cell : device.cells)
    answer >> cell;
  return device;
}

void WineProbe::SetZeroAdjust(unsigned index, bool on) {
  char command[32];
  std::snprintf(command, sizeof command, "zero %u %d", index, on ? 1 : 0);
  Ask(command, kAnswerTimeoutMs);
}

bool WineProbe::WaitIdentified(unsigned index, int timeoutMs, ProbedDevice& device,
                               const char* failure) {
  const bool identified =
      WaitFor([&] { return (device = State(index)).Identified(); }, timeoutMs, 50);
  return scenario.Check(identified, "%s (probe: \"%s\")", failure, device.answer.c_str());
}

bool WineProbe::ZeroAdjustAndWeigh(unsigned index, SimBoard& board, float kg) {
  const bool adjusted =
      ZeroAdjustThrough([&](bool on) { SetZeroAdjust(index, on); },
                        {[this, index] { return State(index).buttons; }}, {&board});
  return scenario.Check(adjusted, "a zero-adjust report was not handled") &&
         Weighs(index, board, kg);
}

bool WineProbe::Weighs(unsigned index, SimBoard& board, float kg) {
  board.SetTotalLoad(kg);
  ProbedDevice device;
  const bool close =
      WaitFor([&] { return std::fabs((device = State(index)).weight - kg) < kWeighTolerance; },
              kWeighTimeoutMs, 50);
  return scenario.Check(close,
                        "weighs %.2f kg with %.2f kg on the board (cells %.1f %.1f %.1f %.1f, "
                        "open %d, extension %04x)",
                        device.weight, kg, device.cells[0], device.cells[1], device.cells[2],
                        device.cells[3], device.open, device.extension);
}

// The last lines Wine wrote, as notes.
void WineProbe::NoteWineOutput() {
  std::ifstream log(kWineOutput);
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) {
    if (line.rfind("Fontconfig error", 0) != 0)
      lines.push_back(line);
  }
  for (size_t i = lines.size() > 10 ? lines.size() - 10 : 0; i < lines.size(); ++i)
    scenario.Note("wine: %s", lines[i].c_str());
}
