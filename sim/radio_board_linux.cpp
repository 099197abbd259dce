#include "sim/radio_board_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>

#include "sim/sim_device.h"
#include "sim/virtual_board_uhid.h"

namespace {

// The kernel's HCI socket interface (include/net/bluetooth/hci_sock.h).
constexpr int kBtProtoHci = 1;
constexpr unsigned short kHciChannelUser = 1;
struct SockaddrHci {
  sa_family_t family;
  unsigned short device;
  unsigned short channel;
};

enum : uint8_t { kCommandPacket = 0x01, kAclPacket = 0x02, kEventPacket = 0x04 };

enum : uint16_t {
  kCreateConnection = 0x0405,
  kDisconnect = 0x0406,
  kAcceptConnection = 0x0409,
  kRejectConnection = 0x040A,
  kLinkKeyReply = 0x040B,
  kLinkKeyNegativeReply = 0x040C,
  kPinCodeReply = 0x040D,
  kInquiry = 0x0401,
  kInquiryCancel = 0x0402,
  kRemoteNameRequest = 0x0419,
  kReset = 0x0C03,
  kWriteLocalName = 0x0C13,
  kWriteScanEnable = 0x0C1A,
  kWriteClassOfDevice = 0x0C24,
  kWriteInquiryMode = 0x0C45,
  kReadBufferSize = 0x1005,
  kReadAddress = 0x1009,
};

enum : uint8_t {
  kEventInquiryComplete = 0x01,
  kEventInquiryResult = 0x02,
  kEventConnectionComplete = 0x03,
  kEventConnectionRequest = 0x04,
  kEventDisconnectionComplete = 0x05,
  kEventAuthenticationComplete = 0x06,
  kEventRemoteNameComplete = 0x07,
  kEventCommandComplete = 0x0E,
  kEventCommandStatus = 0x0F,
  kEventPinCodeRequest = 0x16,
  kEventLinkKeyRequest = 0x17,
  kEventLinkKeyNotification = 0x18,
  kEventInquiryResultWithRssi = 0x22,
};

// HCI error codes: disconnection reasons and command statuses.
constexpr uint8_t kAuthenticationFailure = 0x05;
constexpr uint8_t kConnectionTimeout = 0x08;
constexpr uint8_t kLimitedResources = 0x0D;
constexpr uint8_t kRemoteUserTerminated = 0x13;
constexpr uint8_t kPowerOff = 0x15;
constexpr uint8_t kPageTimeout = 0x04;

constexpr uint8_t kScanInquiry = 0x01;
constexpr uint8_t kScanPage = 0x02;
constexpr uint8_t kScanInquiryAndPage = 0x03;
// Peripheral, joystick: what the Wii family reports.
constexpr uint8_t kClassOfDevice[3] = {0x04, 0x25, 0x00};

// L2CAP.
constexpr uint16_t kSignalCid = 0x0001;
enum : uint8_t {
  kCommandReject = 0x01,
  kConnectionRequest = 0x02,
  kConnectionResponse = 0x03,
  kConfigureRequest = 0x04,
  kConfigureResponse = 0x05,
  kDisconnectionRequest = 0x06,
  kDisconnectionResponse = 0x07,
  kEchoRequest = 0x08,
  kEchoResponse = 0x09,
  kInformationRequest = 0x0A,
  kInformationResponse = 0x0B,
};
constexpr uint16_t kPsmSdp = 0x0001;
constexpr uint16_t kPsmHidControl = 0x0011;
constexpr uint16_t kPsmHidInterrupt = 0x0013;
constexpr uint16_t kResultRefusedPsm = 0x0002;
constexpr int kDefaultMtu = 672;

// HID transaction headers.
constexpr uint8_t kHidHandshakeOk = 0x00;
constexpr uint8_t kHidHandshakeUnsupported = 0x03;
constexpr uint8_t kHidVirtualCableUnplug = 0x15;
constexpr uint8_t kHidSetReportOutput = 0x52;
constexpr uint8_t kHidDataInput = 0xA1;
constexpr uint8_t kHidDataOutput = 0xA2;

constexpr int kCommandTimeoutMs = 2000;
constexpr int kPollMs = 50;

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void PutLe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(value & 0xFF);
  out.push_back(value >> 8);
}

void Put(std::vector<uint8_t>& out, const uint8_t* data, int length) {
  out.insert(out.end(), data, data + length);
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

RadioBoard::Address ReadAddress(const uint8_t* p) {
  RadioBoard::Address a;
  std::copy(p, p + 6, a.begin());
  return a;
}

std::string AddressToText(const RadioBoard::Address& address) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", address[5], address[4],
                address[3], address[2], address[1], address[0]);
  return text;
}

// The controller's HCI user channel, or -1.
int OpenUserChannel(int hciIndex) {
  const int fd = socket(AF_BLUETOOTH, SOCK_RAW | SOCK_CLOEXEC, kBtProtoHci);
  if (fd < 0)
    return -1;
  const SockaddrHci where{AF_BLUETOOTH, static_cast<unsigned short>(hciIndex), kHciChannelUser};
  // The kernel refuses while it still sets the controller up after it appeared.
  const int64_t end = NowMs() + kCommandTimeoutMs;
  int bound = -1;
  while ((bound = bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where)) != 0 &&
         errno == EBUSY && NowMs() < end)
    usleep(50 * 1000);
  if (bound != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendCommand(int fd, uint16_t opcode, const std::vector<uint8_t>& parameters) {
  std::vector<uint8_t> packet{kCommandPacket};
  PutLe16(packet, opcode);
  packet.push_back(static_cast<uint8_t>(parameters.size()));
  packet.insert(packet.end(), parameters.begin(), parameters.end());
  return write(fd, packet.data(), packet.size()) == static_cast<ssize_t>(packet.size());
}

// Waits up to timeoutMs for the event `code` that `wanted` accepts (given
// its parameters), dropping anything else; data holds its parameters.
bool WaitEvent(int fd, uint8_t code, int timeoutMs, std::vector<uint8_t>& data,
               const std::function<bool(const std::vector<uint8_t>&)>& wanted) {
  const int64_t end = NowMs() + timeoutMs;
  uint8_t packet[1024];
  for (int64_t now = NowMs(); now < end; now = NowMs()) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(end - now)) <= 0)
      return false;
    const ssize_t n = read(fd, packet, sizeof packet);
    if (n >= 3 && packet[0] == kEventPacket && packet[1] == code) {
      data.assign(packet + 3, packet + n);
      if (wanted(data))
        return true;
    }
  }
  return false;
}

// Used before any serving thread runs: waits for the command's completion.
// reply holds its return parameters.
bool WaitCommandComplete(int fd, uint16_t opcode, std::vector<uint8_t>& reply) {
  std::vector<uint8_t> data;
  if (!WaitEvent(fd, kEventCommandComplete, kCommandTimeoutMs, data,
                 [opcode](const auto& d) { return d.size() >= 3 && Le16(&d[1]) == opcode; }))
    return false;
  reply.assign(data.begin() + 3, data.end());
  return !reply.empty() && reply[0] == 0;
}

bool ParseAddress(const std::string& text, RadioBoard::Address& address) {
  unsigned b[6];
  if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x", &b[5], &b[4], &b[3], &b[2], &b[1], &b[0]) != 6)
    return false;
  for (int i = 0; i < 6; ++i)
    address[i] = static_cast<uint8_t>(b[i]);
  return true;
}

}  // namespace

RadioBoard::RadioBoard(SimDevice& device, std::string name)
    : device(device),
      name(std::move(name)),
      sdp(this->name.c_str(), UhidBoard::ReportDescriptor()) {
  device.SetReportSink([this](const uint8_t* report, int length) { SendInput(report, length); });
}

RadioBoard::~RadioBoard() {
  Detach();
  device.SetReportSink(nullptr);
}

int RadioBoard::Attach(int hciIndex) {
  fd = OpenUserChannel(hciIndex);
  if (fd < 0)
    return 0;
  if (!Setup()) {
    close(fd);
    fd = -1;
    return 0;
  }
  stop.store(false);
  thread = std::thread([this] { Serve(); });
  return 1;
}

void RadioBoard::Detach() {
  if (fd < 0)
    return;
  stop.store(true);
  thread.join();
  close(fd);
  fd = -1;
  ResetLink();
  placeholderLinks = 0;
}

bool RadioBoard::Setup() {
  std::vector<uint8_t> reply;
  if (!Command(kReset, {}) || !WaitComplete(kReset, reply))
    return false;
  if (!Command(kReadAddress, {}) || !WaitComplete(kReadAddress, reply) || reply.size() < 7)
    return false;
  address = ReadAddress(&reply[1]);
  if (!Command(kReadBufferSize, {}) || !WaitComplete(kReadBufferSize, reply) || reply.size() < 3)
    return false;
  aclMtu = Le16(&reply[1]);
  std::vector<uint8_t> localName(name.begin(), name.end());
  localName.resize(248, 0);
  std::vector<uint8_t> reply2;
  return Command(kWriteLocalName, localName) && WaitComplete(kWriteLocalName, reply2) &&
         Command(kWriteClassOfDevice, {kClassOfDevice, kClassOfDevice + 3}) &&
         WaitComplete(kWriteClassOfDevice, reply2) && Command(kWriteScanEnable, {0}) &&
         WaitComplete(kWriteScanEnable, reply2);
}

bool RadioBoard::Command(uint16_t opcode, const std::vector<uint8_t>& parameters) {
  return SendCommand(fd, opcode, parameters);
}

bool RadioBoard::WaitComplete(uint16_t opcode, std::vector<uint8_t>& reply) {
  return WaitCommandComplete(fd, opcode, reply);
}

void RadioBoard::Serve() {
  uint8_t packet[2048];
  while (!stop.load()) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kPollMs) > 0) {
      const ssize_t n = read(fd, packet, sizeof packet);
      if (n > 0)
        OnPacket(packet, static_cast<int>(n));
    }
    std::lock_guard<std::recursive_mutex> hold(lock);
    if (syncUntilMs != 0 && NowMs() >= syncUntilMs)
      LeavePairingMode();
    // A host that paired and opened no HID channel is left, as a board in
    // pairing mode does.
    if (pairedAtMs != 0 && handle >= 0 && !HidOpen() &&
        NowMs() >= pairedAtMs + kUnusedLinkSeconds * 1000) {
      pairedAtMs = 0;
      Disconnect(kRemoteUserTerminated);
    }
    if (wakeUntilMs != 0 && (handle >= 0 || NowMs() >= wakeUntilMs))
      wakeUntilMs = 0;
    if (wakeUntilMs != 0 && !paging)
      PageHost();
  }
}

void RadioBoard::OnPacket(const uint8_t* packet, int length) {
  if (packet[0] == kEventPacket && length >= 3 && packet[2] == length - 3)
    OnEvent(packet[1], packet + 3, length - 3);
  else if (packet[0] == kAclPacket && length >= 5 && Le16(packet + 3) == length - 5)
    OnAcl(packet + 1, length - 1);
}

void RadioBoard::OnEvent(uint8_t code, const uint8_t* data, int length) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (code == kEventConnectionComplete && length >= 11) {
    OnConnectionComplete(data);
  } else if (code == kEventConnectionRequest && length >= 10) {
    OnConnectionRequest(data);
  } else if (code == kEventDisconnectionComplete && length >= 4 &&
             (Le16(data + 1) & 0x0FFF) == handle) {
    // A PIN answered and no key made: the host's PIN was wrong.
    if (pinAnswered)
      LeavePairingMode();
    ResetLink();
  } else if (code == kEventAuthenticationComplete && length >= 3) {
    OnAuthenticationComplete(data);
  } else if (code == kEventPinCodeRequest && length >= 6) {
    // The board's PIN is the address of the host that pairs with it.
    std::vector<uint8_t> reply(data, data + 6);
    reply.push_back(6);
    Put(reply, data, 6);
    reply.resize(6 + 1 + 16, 0);
    Command(kPinCodeReply, reply);
    pinAnswered = true;
  } else if (code == kEventLinkKeyRequest && length >= 6) {
    const auto key = keys.find(ReadAddress(data));
    std::vector<uint8_t> reply(data, data + 6);
    if (key != keys.end())
      Put(reply, key->second.data(), 16);
    Command(key != keys.end() ? kLinkKeyReply : kLinkKeyNegativeReply, reply);
  } else if (code == kEventLinkKeyNotification && length >= 22) {
    const Address host = ReadAddress(data);
    std::copy(data + 6, data + 22, keys[host].begin());
    lastHost = host;
    hasLastHost = true;
    if (pinAnswered)
      pairedAtMs = NowMs();
    pinAnswered = false;
  }
}

void RadioBoard::OnConnectionComplete(const uint8_t* data) {
  if (placing) {
    placing = false;
    placeholderLinks += data[0] == 0;
    return;
  }
  const bool ours = paging;
  paging = false;
  if (data[0] != 0 || data[9] != 0x01 || handle >= 0)
    return;
  handle = Le16(data + 1) & 0x0FFF;
  peer = ReadAddress(data + 3);
  woke = ours;
  if (woke)
    OpenChannel(kPsmHidControl);
}

void RadioBoard::OnConnectionRequest(const uint8_t* data) {
  std::vector<uint8_t> reply(data, data + 6);
  if (handle < 0 && data[9] == 0x01) {
    reply.push_back(0x01);  // stays peripheral
    Command(kAcceptConnection, reply);
  } else {
    reply.push_back(kLimitedResources);
    Command(kRejectConnection, reply);
  }
}

// A host that proved a key the board no longer has, or failed to prove one,
// gets no further.
void RadioBoard::OnAuthenticationComplete(const uint8_t* data) {
  if ((Le16(data + 1) & 0x0FFF) == handle && (data[0] != 0 || !KnowsHost(peer)))
    Disconnect(kAuthenticationFailure);
}

// After a failed pairing the board stops answering until SYNC is pressed again.
void RadioBoard::LeavePairingMode() {
  syncUntilMs = 0;
  SetScan(0);
}

void RadioBoard::OnAcl(const uint8_t* data, int length) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  const bool continuation = ((Le16(data) >> 12) & 0x3) == 0x1;
  if (!continuation)
    pending.clear();
  Put(pending, data + 4, length - 4);
  if (pending.size() < 4 || pending.size() < 4u + Le16(pending.data()))
    return;
  const std::vector<uint8_t> frame(pending.begin(), pending.begin() + 4 + Le16(pending.data()));
  pending.clear();
  OnFrame(Le16(&frame[2]), frame.data() + 4, static_cast<int>(frame.size()) - 4);
}

void RadioBoard::OnFrame(uint16_t cid, const uint8_t* data, int length) {
  if (cid == kSignalCid) {
    OnSignal(data, length);
  } else if (Channel* channel = FindChannel(cid)) {
    OnChannelData(*channel, data, length);
  }
}

void RadioBoard::OnSignal(const uint8_t* data, int length) {
  while (length >= 4) {
    const int size = Le16(data + 2);
    if (size > length - 4)
      return;
    OnSignalCommand(data[0], data[1], data + 4, size);
    data += 4 + size;
    length -= 4 + size;
  }
}

void RadioBoard::OnSignalCommand(uint8_t code, uint8_t ident, const uint8_t* data, int length) {
  std::vector<uint8_t> reply;
  if (code == kConnectionRequest && length >= 4) {
    OnChannelRequest(ident, data);
  } else if (code == kConnectionResponse && length >= 8) {
    OnChannelResponse(data);
  } else if (code == kConfigureRequest && length >= 4) {
    OnConfigureRequest(ident, data);
  } else if (code == kConfigureResponse && length >= 6) {
    OnConfigureResponse(data);
  } else if (code == kDisconnectionRequest && length >= 4) {
    SendSignal(kDisconnectionResponse, ident, {data, data + 4});
    CloseChannel(Le16(data));
  } else if (code == kDisconnectionResponse && length >= 4) {
    CloseChannel(Le16(data + 2));
  } else if (code == kEchoRequest) {
    SendSignal(kEchoResponse, ident, {data, data + length});
  } else if (code == kInformationRequest && length >= 2) {
    Put(reply, data, 2);
    PutLe16(reply, 0x0001);  // not supported
    SendSignal(kInformationResponse, ident, reply);
  } else if (code != kCommandReject && code != kInformationResponse) {
    SendSignal(kCommandReject, ident, {0, 0});
  }
}

// The host opens a channel: SDP and both HID channels are served.
void RadioBoard::OnChannelRequest(uint8_t ident, const uint8_t* data) {
  const uint16_t psm = Le16(data);
  const bool served = psm == kPsmSdp || psm == kPsmHidControl || psm == kPsmHidInterrupt;
  Channel channel{psm, served ? nextCid++ : uint16_t{0}, Le16(data + 2)};
  std::vector<uint8_t> reply;
  PutLe16(reply, channel.local);
  PutLe16(reply, channel.remote);
  PutLe16(reply, served ? 0 : kResultRefusedPsm);
  PutLe16(reply, 0);
  SendSignal(kConnectionResponse, ident, reply);
  if (served) {
    channels.push_back(channel);
    Configure(channels.back());
  }
}

// The host's answer to a channel the board opened: success (0), pending (1)
// or a refusal.
void RadioBoard::OnChannelResponse(const uint8_t* data) {
  Channel* channel = FindChannel(Le16(data + 2));
  if (!channel)
    return;
  const uint16_t result = Le16(data + 4);
  if (result == 0) {
    channel->remote = Le16(data);
    Configure(*channel);
  } else if (result != 1) {
    ++refusedChannels;
    CloseChannel(channel->local);
  }
}

// Any configuration the host asks for is accepted.
void RadioBoard::OnConfigureRequest(uint8_t ident, const uint8_t* data) {
  Channel* channel = FindChannel(Le16(data));
  if (!channel)
    return;
  std::vector<uint8_t> reply;
  PutLe16(reply, channel->remote);
  PutLe16(reply, 0);  // flags
  PutLe16(reply, 0);  // success
  SendSignal(kConfigureResponse, ident, reply);
  channel->configuredIn = true;
  if (channel->Open())
    ChannelOpened(*channel);
}

void RadioBoard::OnConfigureResponse(const uint8_t* data) {
  Channel* channel = FindChannel(Le16(data));
  if (!channel || Le16(data + 4) != 0)
    return;
  channel->configuredOut = true;
  if (channel->Open())
    ChannelOpened(*channel);
}

void RadioBoard::CloseChannel(uint16_t local) {
  std::erase_if(channels, [local](const Channel& c) { return c.local == local; });
}

void RadioBoard::OpenChannel(uint16_t psm) {
  channels.push_back({psm, nextCid++, 0});
  std::vector<uint8_t> request;
  PutLe16(request, psm);
  PutLe16(request, channels.back().local);
  SendSignal(kConnectionRequest, nextIdent++, request);
}

void RadioBoard::Configure(Channel& channel) {
  std::vector<uint8_t> request;
  PutLe16(request, channel.remote);
  PutLe16(request, 0);  // flags; no options: the default MTU
  SendSignal(kConfigureRequest, nextIdent++, request);
}

// A board that woke opens the interrupt channel once the control one is up.
void RadioBoard::ChannelOpened(const Channel& channel) {
  if (woke && channel.psm == kPsmHidControl && !FindPsm(kPsmHidInterrupt))
    OpenChannel(kPsmHidInterrupt);
  if (HidOpen())
    ++hidOpenings;
}

void RadioBoard::OnChannelData(Channel& channel, const uint8_t* data, int length) {
  if (channel.psm == kPsmSdp) {
    SendFrame(channel.remote, sdp.Answer(data, length, kDefaultMtu));
  } else if (channel.psm == kPsmHidControl) {
    OnHidControl(data, length);
  } else if (length >= 2 && data[0] == kHidDataOutput) {
    device.HandleOutput(data + 1, length - 1);
  }
}

void RadioBoard::OnHidControl(const uint8_t* data, int length) {
  if (length < 1)
    return;
  Channel* control = FindPsm(kPsmHidControl);
  if (data[0] == kHidVirtualCableUnplug) {
    Disconnect(kRemoteUserTerminated);
  } else if ((data[0] == kHidSetReportOutput || data[0] == kHidDataOutput) && length >= 2) {
    SendFrame(control->remote, {kHidHandshakeOk});
    device.HandleOutput(data + 1, length - 1);
  } else if ((data[0] >> 4) != 0x1) {  // other HID_CONTROL operations need no answer
    SendFrame(control->remote, {kHidHandshakeUnsupported});
  }
}

void RadioBoard::SendInput(const uint8_t* report, int length) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  Channel* interrupt = FindPsm(kPsmHidInterrupt);
  if (!interrupt || !interrupt->Open())
    return;
  std::vector<uint8_t> payload{kHidDataInput};
  Put(payload, report, length);
  SendFrame(interrupt->remote, payload);
}

void RadioBoard::SendSignal(uint8_t code, uint8_t ident, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> command{code, ident};
  PutLe16(command, static_cast<uint16_t>(data.size()));
  command.insert(command.end(), data.begin(), data.end());
  SendFrame(kSignalCid, command);
}

// One L2CAP frame, cut into ACL packets that fit the controller.
void RadioBoard::SendFrame(uint16_t cid, const std::vector<uint8_t>& payload) {
  if (handle < 0 || fd < 0)
    return;
  std::vector<uint8_t> frame;
  PutLe16(frame, static_cast<uint16_t>(payload.size()));
  PutLe16(frame, cid);
  frame.insert(frame.end(), payload.begin(), payload.end());
  const size_t piece = aclMtu > 0 ? aclMtu : frame.size();
  for (size_t offset = 0; offset < frame.size(); offset += piece) {
    const size_t size = std::min(piece, frame.size() - offset);
    std::vector<uint8_t> packet{kAclPacket};
    PutLe16(packet, static_cast<uint16_t>(handle | ((offset == 0 ? 0x2 : 0x1) << 12)));
    PutLe16(packet, static_cast<uint16_t>(size));
    packet.insert(packet.end(), frame.begin() + offset, frame.begin() + offset + size);
    if (write(fd, packet.data(), packet.size()) != static_cast<ssize_t>(packet.size()))
      return;
  }
}

RadioBoard::Channel* RadioBoard::FindChannel(uint16_t local) {
  for (Channel& channel : channels) {
    if (channel.local == local)
      return &channel;
  }
  return nullptr;
}

RadioBoard::Channel* RadioBoard::FindPsm(uint16_t psm) {
  for (Channel& channel : channels) {
    if (channel.psm == psm)
      return &channel;
  }
  return nullptr;
}

bool RadioBoard::KnowsHost(const Address& host) const {
  return keys.count(host) > 0;
}

void RadioBoard::ResetLink() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  handle = -1;
  pinAnswered = false;
  pairedAtMs = 0;
  paging = false;
  woke = false;
  pending.clear();
  channels.clear();
}

void RadioBoard::SetScan(uint8_t mode) {
  scan = mode;
  Command(kWriteScanEnable, {mode});
}

void RadioBoard::Disconnect(uint8_t reason) {
  if (handle < 0)
    return;
  std::vector<uint8_t> parameters;
  PutLe16(parameters, static_cast<uint16_t>(handle));
  parameters.push_back(reason);
  Command(kDisconnect, parameters);
}

std::string RadioBoard::AddressText() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return AddressToText(address);
}

void RadioBoard::PressSync() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  syncUntilMs = NowMs() + kSyncSeconds * 1000;
  SetScan(kScanInquiryAndPage);
}

void RadioBoard::SyncEnds() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  LeavePairingMode();
}

void RadioBoard::PressButton() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (handle < 0 && hasLastHost)
    wakeUntilMs = NowMs() + kWakeSeconds * 1000;
}

void RadioBoard::PageHost() {
  paging = Page(lastHost);
}

bool RadioBoard::Page(const Address& whom) {
  std::vector<uint8_t> parameters(whom.begin(), whom.end());
  PutLe16(parameters, 0xCC18);  // packet types DM1..DH5
  parameters.push_back(0x01);   // page scan repetition R1
  parameters.push_back(0x00);
  PutLe16(parameters, 0x0000);  // no clock offset known
  parameters.push_back(0x00);   // no role switch
  return Command(kCreateConnection, parameters);
}

void RadioBoard::HoldPlaceholderLink(const std::string& address) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  Address bystander{};
  if (ParseAddress(address, bystander))
    placing = Page(bystander);
}

int RadioBoard::PlaceholderLinks() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return placeholderLinks;
}

void RadioBoard::PowerOff() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  syncUntilMs = 0;
  SetScan(0);
  Disconnect(kPowerOff);
}

void RadioBoard::GoOutOfRange() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  syncUntilMs = 0;
  SetScan(0);
  Disconnect(kConnectionTimeout);
}

void RadioBoard::ForgetPairings() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  keys.clear();
  hasLastHost = false;
}

void RadioBoard::RememberHost(const std::string& hostAddress, const LinkKey& key) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  Address host{};
  if (!ParseAddress(hostAddress, host))
    return;
  keys[host] = key;
  lastHost = host;
  hasLastHost = true;
}

bool RadioBoard::Connected() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return handle >= 0;
}

int RadioBoard::LinkHandle() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return handle;
}

bool RadioBoard::HidOpen() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  const auto open = [this](uint16_t psm) {
    for (const Channel& channel : channels) {
      if (channel.psm == psm && channel.Open())
        return true;
    }
    return false;
  };
  return open(kPsmHidControl) && open(kPsmHidInterrupt);
}

int RadioBoard::RefusedChannels() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return refusedChannels;
}

int RadioBoard::HidOpenings() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return hidOpenings;
}

int RadioBoard::PairedHostCount() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return static_cast<int>(keys.size());
}

AirBystander::~AirBystander() {
  Detach();
}

int AirBystander::Attach(int hciIndex) {
  fd = OpenUserChannel(hciIndex);
  if (fd < 0)
    return 0;
  std::vector<uint8_t> reply;
  if (SendCommand(fd, kReset, {}) && WaitCommandComplete(fd, kReset, reply) &&
      SendCommand(fd, kReadAddress, {}) && WaitCommandComplete(fd, kReadAddress, reply) &&
      reply.size() >= 7) {
    address = ReadAddress(&reply[1]);
    return 1;
  }
  Detach();
  return 0;
}

void AirBystander::Detach() {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

std::string AirBystander::AddressText() const {
  return AddressToText(address);
}

bool AirBystander::TakeLink(const std::function<void()>& page, int timeoutMs) {
  if (!SetScan(kScanPage))
    return false;
  page();
  const bool linked = AcceptLink(timeoutMs);
  return SetScan(0) && linked;
}

bool AirBystander::AcceptLink(int timeoutMs) {
  const auto atLeast = [](size_t size) {
    return [size](const std::vector<uint8_t>& parameters) { return parameters.size() >= size; };
  };
  std::vector<uint8_t> event;
  if (!WaitEvent(fd, kEventConnectionRequest, timeoutMs, event, atLeast(10)))
    return false;
  std::vector<uint8_t> accept(event.begin(), event.begin() + 6);
  accept.push_back(0x01);  // stays peripheral
  return SendCommand(fd, kAcceptConnection, accept) &&
         WaitEvent(fd, kEventConnectionComplete, timeoutMs, event, atLeast(11)) && event[0] == 0;
}

bool AirBystander::SetScan(uint8_t mode) {
  std::vector<uint8_t> reply;
  return SendCommand(fd, kWriteScanEnable, {mode}) &&
         WaitCommandComplete(fd, kWriteScanEnable, reply);
}

RadioBoard::Address RadioBoard::BoardAddress() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return address;
}

bool RadioBoard::Discoverable() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return (scan & kScanInquiry) != 0;
}

bool RadioBoard::Reachable() const {
  std::lock_guard<std::recursive_mutex> hold(lock);
  return (scan & kScanPage) != 0 || handle >= 0;
}

HostRadio::HostRadio(std::vector<const RadioBoard*> boards) : boards(std::move(boards)) {}

HostRadio::~HostRadio() {
  Detach();
}

int HostRadio::Attach(int hciIndex) {
  channel = OpenUserChannel(hciIndex);
  vhci = open("/dev/vhci", O_RDWR | O_CLOEXEC);
  // A primary controller at once; the kernel answers with its index.
  const uint8_t create[] = {0xFF, 0x00};
  uint8_t created[4] = {};
  pollfd p{vhci, POLLIN, 0};
  if (channel < 0 || vhci < 0 || write(vhci, create, sizeof create) != sizeof create ||
      poll(&p, 1, kCommandTimeoutMs) != 1 || read(vhci, created, sizeof created) != 4 ||
      created[0] != 0xFF) {
    Detach();
    return 0;
  }
  kernelIndex = Le16(created + 2);
  stop.store(false);
  thread = std::thread([this] { Serve(); });
  return 1;
}

void HostRadio::Detach() {
  stop.store(true);
  if (thread.joinable())
    thread.join();
  for (int* fd : {&vhci, &channel}) {
    if (*fd >= 0)
      close(*fd);
    *fd = -1;
  }
}

void HostRadio::Serve() {
  uint8_t packet[2048];
  while (!stop.load()) {
    pollfd p[2] = {{vhci, POLLIN, 0}, {channel, POLLIN, 0}};
    if (poll(p, 2, kPollMs) > 0) {
      if (p[0].revents & POLLIN) {
        const ssize_t n = read(vhci, packet, sizeof packet);
        if (n > 0)
          FromHost(packet, static_cast<int>(n));
      }
      if (p[1].revents & POLLIN) {
        const ssize_t n = read(channel, packet, sizeof packet);
        if (n > 0)
          FromController(packet, static_cast<int>(n));
      }
    }
    if (inquiring)
      ReportDiscoverableBoards();
    FailDueNames();
  }
}

void HostRadio::FromHost(const uint8_t* packet, int length) {
  if (packet[0] == kCommandPacket && length >= 4) {
    const uint16_t opcode = Le16(packet + 1);
    const uint8_t* parameters = packet + 4;
    if (opcode == kInquiry) {
      inquiring = true;
      reported.clear();
    } else if (opcode == kInquiryCancel) {
      inquiring = false;
    } else if (opcode == kWriteInquiryMode && length >= 5) {
      inquiryMode = parameters[0];
    } else if (opcode == kRemoteNameRequest && length >= 10) {
      const RadioBoard* board = Board(ReadAddress(parameters));
      if (board && !board->Reachable()) {
        std::vector<uint8_t> status{0, 1};
        PutLe16(status, opcode);
        ToHost(kEventCommandStatus, status);
        failingNames.push_back({ReadAddress(parameters), NowMs() + kPageTimeoutMs});
        return;
      }
    }
  }
  (void)!write(channel, packet, length);
}

void HostRadio::FromController(const uint8_t* packet, int length) {
  std::vector<uint8_t> copy(packet, packet + length);
  if (packet[0] == kEventPacket && length >= 3) {
    const uint8_t code = packet[1];
    if (code == kEventInquiryComplete)
      inquiring = false;
    if ((code == kEventInquiryResult || code == kEventInquiryResultWithRssi) && length >= 10)
      reported.push_back(ReadAddress(packet + 4));
    if (code == kEventConnectionComplete && length >= 3 + 11 && packet[3] == 0)
      hostHandles[ReadAddress(packet + 6)] = Le16(packet + 4) & 0x0FFF;
  } else if (packet[0] == kAclPacket && length >= 5) {
    ToHostHandle(copy.data() + 1);
  }
  (void)!write(vhci, copy.data(), copy.size());
}

// A board's ACL data arrive under the board's handle of the link.
void HostRadio::ToHostHandle(uint8_t* acl) const {
  const uint16_t header = Le16(acl);
  for (const RadioBoard* board : boards) {
    const auto host = hostHandles.find(board->BoardAddress());
    if (board->LinkHandle() == (header & 0x0FFF) && host != hostHandles.end()) {
      const uint16_t translated = static_cast<uint16_t>((header & 0xF000) | host->second);
      acl[0] = translated & 0xFF;
      acl[1] = translated >> 8;
      return;
    }
  }
}

void HostRadio::ReportDiscoverableBoards() {
  for (const RadioBoard* board : boards) {
    const RadioBoard::Address whom = board->BoardAddress();
    if (!board->Discoverable() ||
        std::find(reported.begin(), reported.end(), whom) != reported.end())
      continue;
    reported.push_back(whom);
    std::vector<uint8_t> result{1};
    Put(result, whom.data(), 6);
    result.insert(result.end(), {0x01, 0x00});  // page scan repetition R1; reserved
    if (inquiryMode == 0)
      result.push_back(0x00);  // reserved
    Put(result, kClassOfDevice, 3);
    PutLe16(result, 0x0000);  // clock offset
    if (inquiryMode != 0)
      result.push_back(static_cast<uint8_t>(-60));  // RSSI, as btvirt reports it
    ToHost(inquiryMode != 0 ? kEventInquiryResultWithRssi : kEventInquiryResult, result);
  }
}

void HostRadio::FailDueNames() {
  const int64_t now = NowMs();
  std::erase_if(failingNames, [&](const FailingName& name) {
    if (now < name.dueMs)
      return false;
    std::vector<uint8_t> complete{kPageTimeout};
    Put(complete, name.who.data(), 6);
    complete.resize(1 + 6 + 248, 0);
    ToHost(kEventRemoteNameComplete, complete);
    return true;
  });
}

void HostRadio::ToHost(uint8_t code, const std::vector<uint8_t>& parameters) {
  std::vector<uint8_t> packet{kEventPacket, code, static_cast<uint8_t>(parameters.size())};
  packet.insert(packet.end(), parameters.begin(), parameters.end());
  (void)!write(vhci, packet.data(), packet.size());
}

const RadioBoard* HostRadio::Board(const RadioBoard::Address& address) const {
  for (const RadioBoard* board : boards) {
    if (board->BoardAddress() == address)
      return board;
  }
  return nullptr;
}
