#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class SimDevice;

// How the virtual board introduces itself to the kernel.
struct UhidBoardIdentity {
  std::string name = "Nintendo RVL-WBC-01";
  std::string uniq = "00:1f:32:aa:bb:01";  // the Bluetooth address
  int vendor = 0x057E;
  int product = 0x0306;
};

// A Wii-family HID device made through /dev/uhid, so the kernel (its HID
// core, hidraw and its own Wii driver) sees it like a board connected over
// Bluetooth. The device side of the protocol is not decided here: every
// output report the host sends goes to the output handler, and the handler
// (usually a simulated board) answers through SendInput.
//
// Create and Destroy may be repeated: a board that is destroyed and created
// again with the same identity looks to the host like a board that went away
// and came back. PumpOnce and Run serve the kernel's requests on the calling
// thread, which is also the thread the handler runs on.
class UhidBoard {
 public:
  using OutputHandler = std::function<void(const uint8_t* report, int length)>;

  explicit UhidBoard(UhidBoardIdentity identity = {});
  ~UhidBoard();
  UhidBoard(const UhidBoard&) = delete;
  UhidBoard& operator=(const UhidBoard&) = delete;

  void SetOutputHandler(OutputHandler handler);
  // Lets device answer the host: output reports go to its HandleOutput and
  // its input reports to the host. device must outlive this board.
  void Attach(SimDevice& device);

  // Opens /dev/uhid when needed and announces the device. 1 on success.
  int Create();
  // Removes the device from the kernel; the uhid descriptor stays open.
  int Destroy();
  // Destroys the device and closes /dev/uhid.
  void Close();
  int IsCreated() const { return created.load(); }

  // Waits up to timeoutMs for one request from the kernel and serves it.
  // 1 when a request was served, 0 on time-out or error.
  int PumpOnce(int timeoutMs);
  // Serves requests until stop becomes true. 1 on a normal end, 0 on error.
  int Run(const std::atomic<bool>& stop);

  // Sends one input report (report id in byte 0) to the host. 1 on success.
  int SendInput(const uint8_t* report, int length);

  // Drops the next count output reports without passing them on, as a
  // board that has not started listening yet.
  void SilenceNext(int count) { silentOutputs.store(count); }

  // Every output report received since the last call, silenced ones
  // included, in arrival order.
  std::vector<std::vector<uint8_t>> TakeOutputs();

  // The report descriptor the device announces: the protocol's output
  // reports 0x10..0x1A and input reports 0x20..0x3F with their lengths.
  static std::vector<uint8_t> ReportDescriptor();

 private:
  int Write(const void* event);
  void OnOutput(const uint8_t* data, int length);
  void RejectRequest(uint32_t type, uint32_t id);

  UhidBoardIdentity identity;
  int fd = -1;
  std::atomic<int> created{0};
  std::atomic<int> silentOutputs{0};
  std::mutex handlerLock;
  OutputHandler handler;
  std::mutex outputsLock;
  std::vector<std::vector<uint8_t>> outputs;
};
