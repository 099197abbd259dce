#include "sim/virtual_board_uhid.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>

#include "sim/sim_device.h"
#include "support/trace.h"

namespace {

struct ReportShape {
  uint8_t id;
  uint8_t payload;  // bytes after the report id
};

// The reports a Wii-family device understands and sends, with the lengths
// a real one declares. The longest in each direction is 22 bytes with its
// id, which is the report length the host derives from the descriptor.
constexpr ReportShape kOutputReports[] = {
    {0x10, 1},  {0x11, 1}, {0x12, 2},  {0x13, 1}, {0x14, 1}, {0x15, 1},
    {0x16, 21}, {0x17, 6}, {0x18, 21}, {0x19, 1}, {0x1A, 1},
};
constexpr ReportShape kInputReports[] = {
    {0x20, 6},  {0x21, 21}, {0x22, 4},  {0x30, 2},  {0x31, 5},  {0x32, 10}, {0x33, 17},
    {0x34, 21}, {0x35, 21}, {0x36, 21}, {0x37, 21}, {0x3D, 21}, {0x3E, 21}, {0x3F, 21},
};

constexpr size_t kOutputHistory = 4096;

constexpr uint8_t kMainInput = 0x81;   // Input (Data, Variable, Absolute)
constexpr uint8_t kMainOutput = 0x91;  // Output (Data, Variable, Absolute)

void AppendReport(std::vector<uint8_t>& d, const ReportShape& shape, uint8_t main) {
  const uint8_t item[] = {
      0x85, shape.id,       // Report ID
      0x95, shape.payload,  // Report Count (bytes of 8 bits)
      0x09, 0x01,           // Usage (vendor 1)
      main, 0x02,
  };
  d.insert(d.end(), std::begin(item), std::end(item));
}

void CopyText(uint8_t* dest, size_t size, const std::string& text) {
  std::memset(dest, 0, size);
  std::memcpy(dest, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

UhidBoard::UhidBoard(UhidBoardIdentity identity) : identity(std::move(identity)) {}

UhidBoard::~UhidBoard() {
  Close();
}

void UhidBoard::SetOutputHandler(OutputHandler newHandler) {
  std::lock_guard guard(handlerLock);
  handler = std::move(newHandler);
}

void UhidBoard::Attach(SimDevice& device) {
  device.SetReportSink([this](const uint8_t* report, int length) { SendInput(report, length); });
  SetOutputHandler(
      [&device](const uint8_t* report, int length) { device.HandleOutput(report, length); });
}

std::vector<uint8_t> UhidBoard::ReportDescriptor() {
  std::vector<uint8_t> d = {
      0x06, 0x00, 0xFF,  // Usage Page (vendor defined)
      0x09, 0x01,        // Usage (vendor 1)
      0xA1, 0x01,        // Collection (Application)
      0x15, 0x00,        // Logical Minimum 0
      0x26, 0xFF, 0x00,  // Logical Maximum 255
      0x75, 0x08,        // Report Size 8
  };
  for (const ReportShape& shape : kOutputReports)
    AppendReport(d, shape, kMainOutput);
  for (const ReportShape& shape : kInputReports)
    AppendReport(d, shape, kMainInput);
  d.push_back(0xC0);  // End Collection
  return d;
}

int UhidBoard::Create() {
  if (created.load())
    return 1;
  if (fd < 0)
    fd = open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    DebugPrint("virtual board: cannot open /dev/uhid: %s", std::strerror(errno));
    return 0;
  }
  uhid_event ev{};
  ev.type = UHID_CREATE2;
  uhid_create2_req& req = ev.u.create2;
  CopyText(req.name, sizeof req.name, identity.name);
  CopyText(req.phys, sizeof req.phys, "gravimo-virtual-board");
  CopyText(req.uniq, sizeof req.uniq, identity.uniq);
  const std::vector<uint8_t> descriptor = ReportDescriptor();
  std::memcpy(req.rd_data, descriptor.data(), descriptor.size());
  req.rd_size = static_cast<uint16_t>(descriptor.size());
  req.bus = BUS_BLUETOOTH;
  req.vendor = static_cast<uint32_t>(identity.vendor);
  req.product = static_cast<uint32_t>(identity.product);
  if (!Write(&ev))
    return 0;
  created.store(1);
  return 1;
}

int UhidBoard::Destroy() {
  if (!created.load())
    return 1;
  uhid_event ev{};
  ev.type = UHID_DESTROY;
  created.store(0);
  return Write(&ev);
}

void UhidBoard::Close() {
  if (fd < 0)
    return;
  Destroy();
  close(fd);
  fd = -1;
}

int UhidBoard::Write(const void* event) {
  if (fd < 0)
    return 0;
  const ssize_t n = write(fd, event, sizeof(uhid_event));
  if (n == static_cast<ssize_t>(sizeof(uhid_event)))
    return 1;
  Trace("virtual board: uhid write failed: %s", std::strerror(errno));
  return 0;
}

int UhidBoard::SendInput(const uint8_t* report, int length) {
  if (!created.load() || length <= 0 || length > UHID_DATA_MAX)
    return 0;
  uhid_event ev{};
  ev.type = UHID_INPUT2;
  ev.u.input2.size = static_cast<uint16_t>(length);
  std::memcpy(ev.u.input2.data, report, static_cast<size_t>(length));
  return Write(&ev);
}

std::vector<std::vector<uint8_t>> UhidBoard::TakeOutputs() {
  std::lock_guard guard(outputsLock);
  return std::exchange(outputs, {});
}

void UhidBoard::OnOutput(const uint8_t* data, int length) {
  {
    std::lock_guard guard(outputsLock);
    // A board left running for hours keeps only the recent history.
    if (outputs.size() >= kOutputHistory)
      outputs.erase(outputs.begin(), outputs.begin() + kOutputHistory / 2);
    outputs.emplace_back(data, data + length);
  }
  int silent = silentOutputs.load();
  while (silent > 0 && !silentOutputs.compare_exchange_weak(silent, silent - 1)) {
  }
  if (silent > 0)
    return;
  std::lock_guard guard(handlerLock);
  if (handler)
    handler(data, length);
}

// The kernel waits for an answer to these; a board that speaks only in
// output and input reports refuses them at once.
void UhidBoard::RejectRequest(uint32_t type, uint32_t id) {
  uhid_event ev{};
  if (type == UHID_GET_REPORT) {
    ev.type = UHID_GET_REPORT_REPLY;
    ev.u.get_report_reply.id = id;
    ev.u.get_report_reply.err = EIO;
  } else {
    ev.type = UHID_SET_REPORT_REPLY;
    ev.u.set_report_reply.id = id;
    ev.u.set_report_reply.err = EIO;
  }
  Write(&ev);
}

int UhidBoard::PumpOnce(int timeoutMs) {
  if (fd < 0)
    return 0;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
    return 0;
  uhid_event ev{};
  if (read(fd, &ev, sizeof ev) <= 0)
    return 0;
  switch (ev.type) {
    case UHID_OUTPUT:
      OnOutput(ev.u.output.data, ev.u.output.size);
      break;
    case UHID_GET_REPORT:
      RejectRequest(ev.type, ev.u.get_report.id);
      break;
    case UHID_SET_REPORT:
      RejectRequest(ev.type, ev.u.set_report.id);
      break;
    default:  // start, stop, open, close: nothing to do
      break;
  }
  return 1;
}

int UhidBoard::Run(const std::atomic<bool>& stop) {
  constexpr int kStopCheckMs = 50;
  while (!stop.load()) {
    if (fd < 0)
      return 0;
    PumpOnce(kStopCheckMs);
  }
  return 1;
}
