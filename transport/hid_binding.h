#pragma once

#include <cstdint>

// The ten HID and device-setup operations the channel and the device manager
// use, bound at run time from two named modules ("hid" and "setupapi") of a
// provider. On Linux the hidraw provider serves both modules; tests and the
// demo use the virtual HID bus or a loader that leaves things out.
//
// Every operation works on plain records shaped after the platform's
// published HID records. An operation whose function could not be bound fails
// the way the underlying call fails (false, 0 or null), so callers never reach
// a missing function.

using HidHandle = int;  // an open device descriptor
inline constexpr HidHandle kHidInvalidHandle = -1;

struct HidGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

// The device-interface class of HID devices.
inline constexpr HidGuid kHidInterfaceClass = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

struct HidAttributes {
  uint32_t size;
  uint16_t vendorId;
  uint16_t productId;
  uint16_t versionNumber;
};

// Report lengths count the report-id byte.
struct HidCaps {
  uint16_t inputReportByteLength;
  uint16_t outputReportByteLength;
  uint16_t featureReportByteLength;
};

struct HidInterfaceData {
  uint32_t size;
  HidGuid classGuid;
  uint32_t flags;
  uintptr_t reserved;
};

// A variable-length record: the fixed part is the size field and the first
// byte of the NUL-terminated path.
struct HidInterfaceDetail {
  uint32_t size;
  char devicePath[1];
};
inline constexpr uint32_t kHidInterfaceDetailFixedSize = 5;
inline constexpr uint32_t kHidInterfaceDetailPathOffset = 4;

struct HidPreparsedData;  // defined by each provider
struct HidDeviceInfoSet;  // defined by each provider

inline constexpr uint32_t kSetupPresent = 0x02;
inline constexpr uint32_t kSetupAllClasses = 0x04;
inline constexpr uint32_t kSetupDeviceInterface = 0x10;

// The thread's last error, set by a failing setup or set-output-report
// operation.
inline constexpr int kHidErrorNoMoreItems = 259;
inline constexpr int kHidErrorInsufficientBuffer = 122;
inline constexpr int kHidErrorInvalidParameter = 87;
// How a set-output-report fails: the device or its driver never takes one,
// any other failure, the device did not answer in time, the call was cancelled.
inline constexpr int kHidErrorInvalidFunction = 1;
inline constexpr int kHidErrorGenFailure = 31;
inline constexpr int kHidErrorSemTimeout = 121;
inline constexpr int kHidErrorOperationAborted = 995;
int HidGetLastError();
void HidSetLastError(int error);

// Function shapes. Each gets the context its module handed out with it.
using HidGetAttributesFn = int (*)(void* context, HidHandle device, HidAttributes* attributes);
using HidGetCapsFn = int (*)(void* context, HidPreparsedData* data, HidCaps* caps);
using HidFreePreparsedDataFn = int (*)(void* context, HidPreparsedData* data);
using HidGetPreparsedDataFn = int (*)(void* context, HidHandle device, HidPreparsedData** data);
using HidSetOutputReportFn = int (*)(void* context, HidHandle device, const void* report,
                                     uint32_t length);
using HidGetHidGuidFn = void (*)(void* context, HidGuid* guid);
using SetupGetClassDevsFn = HidDeviceInfoSet* (*)(void* context, const HidGuid* guid,
                                                  const char* enumerator, void* window,
                                                  uint32_t flags);
using SetupEnumDeviceInterfacesFn = int (*)(void* context, HidDeviceInfoSet* set, void* deviceInfo,
                                            const HidGuid* guid, uint32_t memberIndex,
                                            HidInterfaceData* data);
using SetupGetDeviceInterfaceDetailFn = int (*)(void* context, HidDeviceInfoSet* set,
                                                HidInterfaceData* data, HidInterfaceDetail* detail,
                                                uint32_t detailSize, uint32_t* requiredSize,
                                                void* deviceInfo);
using SetupDestroyDeviceInfoListFn = int (*)(void* context, HidDeviceInfoSet* set);

using HidAnyFunction = void (*)();

// One function of a module together with the context it is called with.
struct HidExport {
  HidAnyFunction function = nullptr;
  void* context = nullptr;
};

// A loaded module: looks functions up by export name.
class ktHidModule {
 public:
  virtual HidExport Find(const char* exportName) = 0;
  virtual void Release() = 0;

 protected:
  ~ktHidModule() = default;
};

// A source of HID devices: its modules, and the means to open a device path.
class ktHidProvider {
 public:
  // Null when the provider has no module of that name.
  virtual ktHidModule* LoadModule(const char* name) = 0;
  // Opens a device interface path for reading and writing; nonBlocking for the
  // channel's reads and writes, blocking for a short probe. kHidInvalidHandle
  // on failure.
  virtual HidHandle OpenDevice(const char* path, int nonBlocking) = 0;
  // Vendor and product of a device path, where the provider knows them
  // without opening the device: 1 when attributes were filled in, else 0
  // (the caller then opens the device to ask it).
  virtual int PeekAttributes(const char* /*path*/, HidAttributes* /*attributes*/) { return 0; }
  // A new descriptor, owned by the caller, that turns readable when devices
  // may have come or changed their access; -1 when the provider cannot tell.
  virtual int OpenChangeWatch() { return -1; }
  // Reads what made the watch readable: 1 when it concerns devices.
  virtual int TakeChanges(int /*watch*/) { return 0; }
  // Ends a watch that OpenChangeWatch handed out.
  virtual void CloseChangeWatch(int watch);
  // 1 when the device takes output reports only at its whole output report
  // length, so shorter ones go out padded with zeros (Windows' HID class).
  virtual int WholeOutputReports() { return 0; }
  // 1 when a device that went away may leave its node open and silent, its
  // reads pending for ever (Windows keeps a paired Bluetooth board's node
  // after it powers off); the manager then asks a quiet device for its
  // status and closes it when no answer comes.
  virtual int SilentWhenGone() { return 0; }
  // Ends, from another thread, a set-output-report under way on the device,
  // which then fails with kHidErrorOperationAborted; nothing where such a
  // call never waits for the device.
  virtual void CancelPending(HidHandle /*device*/) {}

 protected:
  ~ktHidProvider() = default;
};

template <typename Function>
struct HidEntry {
  Function function = nullptr;
  void* context = nullptr;
};

struct HidFunctionTable {
  HidEntry<HidGetAttributesFn> getAttributes;
  HidEntry<HidGetCapsFn> getCaps;
  HidEntry<HidFreePreparsedDataFn> freePreparsedData;
  HidEntry<HidGetPreparsedDataFn> getPreparsedData;
  HidEntry<HidSetOutputReportFn> setOutputReport;
  HidEntry<HidGetHidGuidFn> getHidGuid;
  HidEntry<SetupGetClassDevsFn> getClassDevs;
  HidEntry<SetupEnumDeviceInterfacesFn> enumDeviceInterfaces;
  HidEntry<SetupGetDeviceInterfaceDetailFn> getDeviceInterfaceDetail;
  HidEntry<SetupDestroyDeviceInfoListFn> destroyDeviceInfoList;
  ktHidModule* hidModule;
  ktHidModule* setupModule;
};

// The process-wide binding. Made by InitModule before the device manager's
// I/O thread exists and released by ExitModule after it has ended.
extern HidFunctionTable hidFunctions;

// 1 when both modules loaded (a missing function is reported with a debug line
// and its entry stays null), 0 when a module could not be loaded.
int InitModule(ktHidProvider& provider);
// Releases both modules; repeated calls do nothing.
void ExitModule();

int HidD_GetAttributes(HidHandle device, HidAttributes* attributes);
int HidP_GetCaps(HidPreparsedData* data, HidCaps* caps);
int HidD_FreePreparsedData(HidPreparsedData* data);
int HidD_GetPreparsedData(HidHandle device, HidPreparsedData** data);
int HidD_SetOutputReport(HidHandle device, const void* report, uint32_t length);
void HidD_GetHidGuid(HidGuid* guid);
HidDeviceInfoSet* SetupDiGetClassDevsA(const HidGuid* guid, const char* enumerator, void* window,
                                       uint32_t flags);
int SetupDiEnumDeviceInterfaces(HidDeviceInfoSet* set, void* deviceInfo, const HidGuid* guid,
                                uint32_t memberIndex, HidInterfaceData* data);
int SetupDiGetDeviceInterfaceDetailA(HidDeviceInfoSet* set, HidInterfaceData* data,
                                     HidInterfaceDetail* detail, uint32_t detailSize,
                                     uint32_t* requiredSize, void* deviceInfo);
int SetupDiDestroyDeviceInfoList(HidDeviceInfoSet* set);

// Device interface paths are compared ignoring ASCII case.
bool SamePathIgnoringCase(const char* a, const char* b);

// A module served from a fixed table of named functions sharing one context;
// Release does nothing because the table lives as long as its provider.
struct HidNamedFunction {
  const char* name;
  HidAnyFunction function;
};

class ktHidTableModule final : public ktHidModule {
 public:
  ktHidTableModule(const HidNamedFunction* functions, int count, void* context)
      : functions_(functions), count_(count), context_(context) {}
  HidExport Find(const char* exportName) override;
  void Release() override {}

 private:
  const HidNamedFunction* functions_;
  int count_;
  void* context_;
};
