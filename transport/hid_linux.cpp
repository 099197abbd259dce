#include "transport/hid_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "transport/hid_descriptor.h"
#include "transport/hid_provider_common.h"

namespace {

constexpr const char* kSysClass = "/sys/class/hidraw";
constexpr const char* kNodePrefix = "hidraw";
constexpr int kMaxOutputReport = 4096;

struct HidrawNode {
  int number;
  std::string path;
};

std::string NodeFile(int number) {
  return "/dev/hidraw" + std::to_string(number);
}

// The stable identity of a node from its HID device's uevent.
std::string StablePath(const std::string& sysClass, int number) {
  std::ifstream uevent(sysClass + "/hidraw" + std::to_string(number) + "/device/uevent");
  std::string line, uniq, phys;
  while (std::getline(uevent, line)) {
    if (line.rfind("HID_UNIQ=", 0) == 0) {
      uniq = line.substr(9);
    } else if (line.rfind("HID_PHYS=", 0) == 0) {
      phys = line.substr(9);
    }
  }
  if (!uniq.empty()) {
    return "hid-uniq:" + uniq;
  }
  if (!phys.empty()) {
    return "hid-phys:" + phys;
  }
  return NodeFile(number);
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
    std::string path = StablePath(sysClass, number);
    if (PathTaken(nodes, path)) {
      path = NodeFile(number);
    }
    nodes.push_back(HidrawNode{number, path});
  }
  return nodes;
}

std::string NodeForPath(const char* path) {
  if (std::strncmp(path, "/dev/", 5) == 0) {
    return path;
  }
  for (const HidrawNode& node : ScanNodes()) {
    if (SamePathIgnoringCase(node.path.c_str(), path)) {
      return NodeFile(node.number);
    }
  }
  return std::string();
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

int SetOutputReport(void*, HidHandle device, const void* report, uint32_t length) {
  if (length == 0 || length > kMaxOutputReport) {
    return 0;
  }
  // The ioctl reads and writes its buffer, so it gets a private copy.
  std::vector<uint8_t> buffer(static_cast<const uint8_t*>(report),
                              static_cast<const uint8_t*>(report) + length);
  return ioctl(device, HIDIOCSOUTPUT(length), buffer.data()) >= 0 ? 1 : 0;
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

ktHidProvider& HidrawProvider() {
  static HidrawProviderImp provider;
  return provider;
}
