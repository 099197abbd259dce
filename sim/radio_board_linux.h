#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sdp_board.h"
#include "sim/sim_board.h"

// A simulated board in the air: it owns one Bluetooth controller (of BlueZ's
// emulator btvirt, whose controllers reach each other over a shared virtual
// radio) through an HCI user channel, and plays the board's side of every
// protocol above the controller, as a real board does where a host can tell:
//
// - No extended inquiry response and no Secure Simple Pairing: a host learns
//   the name ("Nintendo RVL-WBC-01") only by a remote-name request, and
//   pairs by legacy PIN. The PIN the board expects is the host adapter's
//   address as the controller carries it (its text form's bytes reversed);
//   any other PIN fails the pairing.
// - Discoverable and connectable only for a while after its SYNC button.
// - SDP with a HID and a Device ID record (see SdpBoard); HID over L2CAP
//   PSM 0x11 (control) and 0x13 (interrupt), with a SimDevice behind it.
// - A host that authenticates with a link key the board has forgotten fails
//   (the board drops the link). A wrong PIN ends pairing mode.
// - A host that paired and opens no HID channel within kUnusedLinkSeconds is
//   left.
// - Its front button wakes it: it pages the last host it paired with and
//   opens both HID channels.
//
// A thread of its own serves the controller; the user actions may be called
// from any thread.
class RadioBoard {
 public:
  using Address = std::array<uint8_t, 6>;  // as on the wire: last text byte first
  using LinkKey = std::array<uint8_t, 16>;

  RadioBoard(SimDevice& device, std::string name);
  ~RadioBoard();
  RadioBoard(const RadioBoard&) = delete;
  RadioBoard& operator=(const RadioBoard&) = delete;

  // Takes controller hciIndex (it must not be in use by the host's stack) and
  // starts serving it. 1 on success.
  int Attach(int hciIndex);
  void Detach();

  // The board's address in text form ("00:AA:01:02:00:00").
  std::string AddressText() const;

  // What a user does with the board.
  void PressSync();       // discoverable and connectable for kSyncSeconds
  void SyncEnds();        // as when kSyncSeconds have passed
  void PressButton();     // wakes it: pages the last paired host
  void PowerOff();        // the link drops; no longer reachable
  void GoOutOfRange();    // the link is lost; no longer reachable
  void ForgetPairings();  // as after its batteries were out
  // Pairs it beforehand with a host, as an earlier pairing would have.
  void RememberHost(const std::string& hostAddress, const LinkKey& key);

  // Pages the controller at address for a link the board then ignores; see
  // AirBystander. Before the host's stack starts only.
  void HoldPlaceholderLink(const std::string& address);
  int PlaceholderLinks() const;

  // What a test, or the air around the board, can observe.
  Address BoardAddress() const;
  bool Discoverable() const;  // scans for inquiries
  // Answers a page or a name request: it scans for pages, or holds a link.
  bool Reachable() const;
  bool Connected() const;
  int LinkHandle() const;   // -1 when there is no link
  bool HidOpen() const;     // both HID channels open
  int HidOpenings() const;  // how often both were opened
  int RefusedChannels() const;
  int PairedHostCount() const;

  static constexpr int kSyncSeconds = 20;
  // How long a woken board keeps paging its host.
  static constexpr int kWakeSeconds = 5;
  static constexpr int kUnusedLinkSeconds = 5;

 private:
  struct Channel {
    uint16_t psm = 0;
    uint16_t local = 0;
    uint16_t remote = 0;
    bool configuredIn = false;   // the host's configuration accepted
    bool configuredOut = false;  // ours accepted by the host
    bool Open() const { return configuredIn && configuredOut; }
  };

  void Serve();
  bool Command(uint16_t opcode, const std::vector<uint8_t>& parameters);
  bool WaitComplete(uint16_t opcode, std::vector<uint8_t>& reply);
  bool Setup();
  void SetScan(uint8_t mode);
  void Disconnect(uint8_t reason);
  void PageHost();
  bool Page(const Address& whom);
  void OnPacket(const uint8_t* packet, int length);
  void OnEvent(uint8_t code, const uint8_t* data, int length);
  void OnConnectionComplete(const uint8_t* data);
  void OnConnectionRequest(const uint8_t* data);
  void OnAuthenticationComplete(const uint8_t* data);
  void LeavePairingMode();
  void OnAcl(const uint8_t* data, int length);
  void OnFrame(uint16_t cid, const uint8_t* data, int length);
  void OnSignal(const uint8_t* data, int length);
  void OnSignalCommand(uint8_t code, uint8_t ident, const uint8_t* data, int length);
  void OnChannelRequest(uint8_t ident, const uint8_t* data);
  void OnChannelResponse(const uint8_t* data);
  void OnConfigureRequest(uint8_t ident, const uint8_t* data);
  void OnConfigureResponse(const uint8_t* data);
  void CloseChannel(uint16_t local);
  void OnChannelData(Channel& channel, const uint8_t* data, int length);
  void OnHidControl(const uint8_t* data, int length);
  void OpenChannel(uint16_t psm);
  void Configure(Channel& channel);
  void ChannelOpened(const Channel& channel);
  void SendSignal(uint8_t code, uint8_t ident, const std::vector<uint8_t>& data);
  void SendFrame(uint16_t cid, const std::vector<uint8_t>& payload);
  void SendInput(const uint8_t* report, int length);
  Channel* FindChannel(uint16_t local);
  Channel* FindPsm(uint16_t psm);
  bool KnowsHost(const Address& host) const;
  void ResetLink();

  SimDevice& device;
  const std::string name;
  const SdpBoard sdp;
  int fd = -1;
  std::atomic<bool> stop{false};
  std::thread thread;

  mutable std::recursive_mutex lock;
  Address address{};
  uint16_t aclMtu = 0;
  std::map<Address, LinkKey> keys;
  Address lastHost{};
  bool hasLastHost = false;
  int64_t syncUntilMs = 0;
  int64_t wakeUntilMs = 0;
  uint8_t scan = 0;
  int handle = -1;
  Address peer{};
  bool paging = false;   // a page of the host is under way
  bool placing = false;  // a page of the bystander is under way
  int placeholderLinks = 0;
  bool woke = false;         // the board paged the host and opens the channels
  bool pinAnswered = false;  // a pairing waits for its key
  int64_t pairedAtMs = 0;    // a new pairing waits for its HID channels
  int hidOpenings = 0;
  int refusedChannels = 0;       // opened by the board, refused by the host
  std::vector<uint8_t> pending;  // an L2CAP frame still arriving
  std::vector<Channel> channels;
  uint8_t nextIdent = 1;
  uint16_t nextCid = 0x0040;
};

// A controller in the emulated air that only takes links, held so that each
// board's controller numbers its link to the host differently.
//
// btvirt gives a new link the lowest free handle from 42 on each controller
// separately, and passes ACL data on under the sender's handle. Two boards
// would both send under 42, and the host could not tell them apart. A board
// whose controller already holds i links to the bystander numbers its link
// to the host 42 + i; HostRadio then gives the host the data under the
// host's own handle for that board. Real controllers need nothing of the
// kind: handles are local to each end and never cross the air.
class AirBystander {
 public:
  AirBystander() = default;
  ~AirBystander();
  AirBystander(const AirBystander&) = delete;
  AirBystander& operator=(const AirBystander&) = delete;

  // Takes controller hciIndex. 1 on success.
  int Attach(int hciIndex);
  void Detach();
  std::string AddressText() const;
  // Connectable only meanwhile (so no inquiry ever reports it), accepts the
  // link that `page` makes a board ask for, within timeoutMs.
  bool TakeLink(const std::function<void()>& page, int timeoutMs);

 private:
  bool AcceptLink(int timeoutMs);
  bool SetScan(uint8_t mode);

  int fd = -1;
  RadioBoard::Address address{};
};

// The host's adapter as the kernel sees it: a controller of its own on
// /dev/vhci whose packets all pass to and from one of btvirt's controllers
// (through its HCI user channel), except where btvirt is kinder than the
// air in a living room:
// - btvirt's inquiry reports only the devices that were discoverable when it
//   began; a real radio also hears a board whose SYNC is pressed during it.
//   Such a board is reported within the running inquiry.
// - btvirt names any device; a real board answers a name request only while
//   it scans for pages or holds a link. Otherwise the request fails with a
//   page time-out, after as long as a real page takes.
// - btvirt passes a board's ACL data under the board's own handle; the host
//   gets it under the host's handle of that link (see AirBystander).
class HostRadio {
 public:
  explicit HostRadio(std::vector<const RadioBoard*> boards);
  ~HostRadio();
  HostRadio(const HostRadio&) = delete;
  HostRadio& operator=(const HostRadio&) = delete;

  // Takes btvirt's controller hciIndex and offers it to the kernel as a new
  // controller. 1 on success.
  int Attach(int hciIndex);
  void Detach();
  // The index of the controller the kernel (and so BlueZ) sees.
  int KernelIndex() const { return kernelIndex; }

  static constexpr int kPageTimeoutMs = 5120;

 private:
  struct FailingName {
    RadioBoard::Address who;
    int64_t dueMs;
  };

  void Serve();
  void FromHost(const uint8_t* packet, int length);
  void FromController(const uint8_t* packet, int length);
  void ReportDiscoverableBoards();
  void FailDueNames();
  void ToHost(uint8_t code, const std::vector<uint8_t>& parameters);
  const RadioBoard* Board(const RadioBoard::Address& address) const;
  void ToHostHandle(uint8_t* acl) const;

  const std::vector<const RadioBoard*> boards;
  int vhci = -1;
  int channel = -1;
  int kernelIndex = -1;
  std::atomic<bool> stop{false};
  std::thread thread;
  // Touched by the serving thread only.
  bool inquiring = false;
  uint8_t inquiryMode = 0;
  std::vector<RadioBoard::Address> reported;
  std::vector<FailingName> failingNames;
  std::map<RadioBoard::Address, uint16_t> hostHandles;  // the host's links, by peer
};

// A simulated board and its radio.
struct BoardInAir {
  explicit BoardInAir(const char* name) : radio(sim, name) {}
  SimBoard sim;
  RadioBoard radio;
};
