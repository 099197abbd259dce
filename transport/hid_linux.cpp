#include "transport/hid_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "transport/hid_descriptor.h"
#include "transport/hid_provider_common.h"
#include "transport/hid_system.h"

namespace {

constexpr const char* kSysClass = "/sys/class/hidraw";
constexpr const char* kDevFolder = "/dev";
constexpr const char* kNodePrefix = "hidraw";
constexpr int kMaxOutputReport = 4096;

struct HidrawNode {
  int number;
  std::string path;
  bool idsKnown;
  uint16_t vendor;
  uint16_t product;
};

std::string NodeFile(int number) {
  return "/dev/hidraw" + std::to_string(number);
}

// HID_ID is "bus:vendor:product" in hexadecimal, e.g. "0005:0000057E:00000306".
bool ParseHidId(const std::string& value, HidrawNode& node) {
  unsigned bus = 0, vendor = 0, product = 0;
  char end = 0;
  if (std::sscanf(value.c_str(), "%x:%x:%x%c", &bus, &vendor, &product, &end) != 3 ||
      vendor > 0xFFFF || product > 0xFFFF) {
    return false;
  }
  node.vendor = static_cast<uint16_t>(vendor);
  node.product = static_cast<uint16_t>(product);
  return true;
}

// The node's stable identity and its ids, from its HID device's uevent, so
// nothing has to be opened to learn them.
HidrawNode ReadNode(const std::string& sysClass, int number) {
  HidrawNode node{number, NodeFile(number), false, 0, 0};
  std::ifstream uevent(sysClass + "/hidraw" + std::to_string(number) + "/device/uevent");
  std::string line, uniq, phys;
  while (std::getline(uevent, line)) {
    if (line.rfind("HID_UNIQ=", 0) == 0) {
      uniq = line.substr(9);
    } else if (line.rfind("HID_PHYS=", 0) == 0) {
      phys = line.substr(9);
    } else if (line.rfind("HID_ID=", 0) == 0) {
      node.idsKnown = ParseHidId(line.substr(7), node);
    }
  }
  if (!uniq.empty()) {
    node.path = "hid-uniq:" + uniq;
  } else if (!phys.empty()) {
    node.path = "hid-phys:" + phys;
  }
  return node;
}

bool NodeNumber(const char* name, int* number) {
  size_t prefix = std::strlen(kNodePrefix);
  if (std::strncmp(name, kNodePrefix, prefix) != 0 || name[prefix] == '\0') {
    return false;
  }
  char* end = nullptr;
  long value = std::strtol(name + prefix, &end, 10);
  if (*end != '\0' || value < 0 || value > 1000000) {
    return false;
  }
  *number = static_cast<int>(value);
  return true;
}

bool PathTaken(const std::vector<HidrawNode>& nodes, const std::string& path) {
  return std::any_of(nodes.begin(), nodes.end(), [&](const HidrawNode& node) {
    return SamePathIgnoringCase(node.path.c_str(), path.c_str());
  });
}

// Every hidraw node in node-number order. Two nodes of one device (same
// address) would share a path; the later one is then known by its node.
std::vector<HidrawNode> ScanNodes(const std::string& sysClass = kSysClass) {
  std::vector<int> numbers;
  if (DIR* dir = opendir(sysClass.c_str())) {
    while (dirent* entry = readdir(dir)) {
      int number;
      if (NodeNumber(entry->d_name, &number)) {
        numbers.push_back(number);
      }
    }
    closedir(dir);
  }
  std::sort(numbers.begin(), numbers.end());
  std::vector<HidrawNode> nodes;
  for (int number : numbers) {
    HidrawNode node = ReadNode(sysClass, number);
    if (PathTaken(nodes, node.path)) {
      node.path = NodeFile(number);
    }
    nodes.push_back(node);
  }
  return nodes;
}

// The node that carries a path now, if any.
bool FindNode(const std::string& sysClass, const char* path, HidrawNode* found) {
  for (const HidrawNode& node : ScanNodes(sysClass)) {
    if (SamePathIgnoringCase(node.path.c_str(), path)) {
      *found = node;
      return true;
    }
  }
  return false;
}

std::string NodeForPath(const char* path) {
  if (std::strncmp(path, "/dev/", 5) == 0) {
    return path;
  }
  HidrawNode node{};
  return FindNode(kSysClass, path, &node) ? NodeFile(node.number) : std::string();
}

int GetAttributes(void*, HidHandle device, HidAttributes* attributes) {
  hidraw_devinfo info{};
  if (ioctl(device, HIDIOCGRAWINFO, &info) < 0) {
    return 0;
  }
  attributes->vendorId = static_cast<uint16_t>(info.vendor);
  attributes->productId = static_cast<uint16_t>(info.product);
  attributes->versionNumber = 0;
  return 1;
}

int GetPreparsedData(void*, HidHandle device, HidPreparsedData** data) {
  int size = 0;
  if (ioctl(device, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
    return 0;
  }
  hidraw_report_descriptor descriptor{};
  descriptor.size = static_cast<uint32_t>(size);
  if (ioctl(device, HIDIOCGRDESC, &descriptor) < 0) {
    return 0;
  }
  HidReportLengths lengths{};
  if (!ParseReportDescriptor(descriptor.value, size, &lengths)) {
    return 0;
  }
  auto* parsed = new HidPreparsedData{};
  parsed->caps.inputReportByteLength = static_cast<uint16_t>(lengths.input);
  parsed->caps.outputReportByteLength = static_cast<uint16_t>(lengths.output);
  *data = parsed;
  return 1;
}

// A kernel or driver without the request refuses it for good; any other
// failure (the device going away) is told apart by the channel.
int SetOutputReport(void*, HidHandle device, const void* report, uint32_t length) {
  if (length == 0 || length > kMaxOutputReport) {
    HidSetLastError(kHidErrorInvalidParameter);
    return 0;
  }
  // The ioctl reads and writes its buffer, so it gets a private copy.
  std::vector<uint8_t> buffer(static_cast<const uint8_t*>(report),
                              static_cast<const uint8_t*>(report) + length);
  if (ioctl(device, HIDIOCSOUTPUT(length), buffer.data()) >= 0) {
    return 1;
  }
  bool unsupported = errno == ENOTTY || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
  HidSetLastError(unsupported ? kHidErrorInvalidFunction : kHidErrorGenFailure);
  return 0;
}

HidDeviceInfoSet* GetClassDevs(void*, const HidGuid*, const char*, void*, uint32_t) {
  return new HidDeviceInfoSet{HidrawInterfacePaths(kSysClass)};
}

class HidrawProviderImp final : public ktHidProvider {
 public:
  ktHidModule* LoadModule(const char* name) override {
    if (std::strcmp(name, "hid") == 0) {
      return &hid.Module();
    }
    if (std::strcmp(name, "setupapi") == 0) {
      return &setup.Module();
    }
    return nullptr;
  }

  HidHandle OpenDevice(const char* path, int nonBlocking) override {
    std::string node = NodeForPath(path);
    if (node.empty()) {
      return kHidInvalidHandle;
    }
    int flags = O_RDWR | O_CLOEXEC | (nonBlocking ? O_NONBLOCK : 0);
    int fd = open(node.c_str(), flags);
    return fd >= 0 ? fd : kHidInvalidHandle;
  }

  int PeekAttributes(const char* path, HidAttributes* attributes) override {
    return HidrawPathAttributes(kSysClass, path, attributes);
  }

  int OpenChangeWatch() override { return WatchHidrawNodes(kDevFolder); }
  int TakeChanges(int watch) override { return TakeHidrawChanges(watch); }

 private:
  ktHidClassModule hid{&GetAttributes, &GetPreparsedData, &SetOutputReport, nullptr};
  ktHidSetupModule setup{&GetClassDevs, nullptr};
};

}  // namespace

std::vector<std::string> HidrawInterfacePaths(const std::string& sysClass) {
  std::vector<std::string> paths;
  for (const HidrawNode& node : ScanNodes(sysClass)) {
    paths.push_back(node.path);
  }
  return paths;
}

int HidrawPathAttributes(const std::string& sysClass, const char* path, HidAttributes* attributes) {
  HidrawNode node{};
  if (!FindNode(sysClass, path, &node) || !node.idsKnown) {
    return 0;
  }
  attributes->vendorId = node.vendor;
  attributes->productId = node.product;
  attributes->versionNumber = 0;
  return 1;
}

// Nodes are made by the kernel (devtmpfs) and given to the user by udev
// afterwards: a new node and a change of its owner, mode or access list are
// both worth a new look, and so is a node that goes (what was refused may
// have gone with it).
int WatchHidrawNodes(const std::string& devFolder) {
  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0) {
    return -1;
  }
  if (inotify_add_watch(watch, devFolder.c_str(), IN_CREATE | IN_ATTRIB | IN_MOVED_TO | IN_DELETE) <
      0) {
    close(watch);
    return -1;
  }
  return watch;
}

int TakeHidrawChanges(int watch) {
  alignas(inotify_event) char buffer[4096];
  int relevant = 0;
  ssize_t got;
  while ((got = read(watch, buffer, sizeof buffer)) > 0) {
    for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      bool lost = (event->mask & IN_Q_OVERFLOW) != 0;
      bool node =
          event->len > 0 && std::strncmp(event->name, kNodePrefix, std::strlen(kNodePrefix)) == 0;
      relevant |= lost || node ? 1 : 0;
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return relevant;
}

ktHidProvider& HidrawProvider() {
  static HidrawProviderImp provider;
  return provider;
}

ktHidProvider& SystemHidProvider() {
  return HidrawProvider();
}
