// Each export found in a loaded library is handed out as an adapter that
// takes the real function as its context: the adapter turns descriptors into
// handles and the portable records into the platform's, and back.
#include "transport/hid_win32.h"

// clang-format off
#include <windows.h>
#include <hidsdi.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "support/wide_text.h"
#include "transport/hid_provider_common.h"
#include "transport/hid_system.h"
#include "transport/hid_watch_win32.h"
#include "transport/io_system.h"
#include "transport/io_system_win32.h"

namespace {

using GetAttributesCall = BOOLEAN(WINAPI*)(HANDLE, PHIDD_ATTRIBUTES);
using GetCapsCall = NTSTATUS(WINAPI*)(PHIDP_PREPARSED_DATA, PHIDP_CAPS);
using FreePreparsedDataCall = BOOLEAN(WINAPI*)(PHIDP_PREPARSED_DATA);
using GetPreparsedDataCall = BOOLEAN(WINAPI*)(HANDLE, PHIDP_PREPARSED_DATA*);
using SetOutputReportCall = BOOLEAN(WINAPI*)(HANDLE, PVOID, ULONG);
using GetHidGuidCall = void(WINAPI*)(LPGUID);
using GetClassDevsCall = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumDeviceInterfacesCall = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                               PSP_DEVICE_INTERFACE_DATA);
using GetDeviceInterfaceDetailCall = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD,
                                                   PDWORD, PSP_DEVINFO_DATA);
using DestroyDeviceInfoListCall = BOOL(WINAPI*)(HDEVINFO);

static_assert(sizeof(HidGuid) == sizeof(GUID));
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) ==
              kHidInterfaceDetailPathOffset);

template <typename Call>
Call RealFunction(void* context) {
  return reinterpret_cast<Call>(context);
}

HANDLE HandleOf(HidHandle device) {
  return static_cast<HANDLE>(IoNativeHandle(device));
}

const GUID* PlatformGuid(const HidGuid* guid) {
  return reinterpret_cast<const GUID*>(guid);
}

HidDeviceInfoSet* PortableSet(HDEVINFO set) {
  return reinterpret_cast<HidDeviceInfoSet*>(set);
}

HDEVINFO PlatformSet(HidDeviceInfoSet* set) {
  return reinterpret_cast<HDEVINFO>(set);
}

PHIDP_PREPARSED_DATA PlatformData(HidPreparsedData* data) {
  return reinterpret_cast<PHIDP_PREPARSED_DATA>(data);
}

// A failed setup call leaves its error where the enumeration looks for it.
int Result(BOOL ok) {
  if (!ok) {
    HidSetLastError(static_cast<int>(GetLastError()));
  }
  return ok ? 1 : 0;
}

SP_DEVICE_INTERFACE_DATA PlatformInterface(const HidInterfaceData& data) {
  SP_DEVICE_INTERFACE_DATA platform{};
  platform.cbSize = sizeof platform;
  std::memcpy(&platform.InterfaceClassGuid, &data.classGuid, sizeof(GUID));
  platform.Flags = data.flags;
  platform.Reserved = data.reserved;
  return platform;
}

int GetAttributes(void* context, HidHandle device, HidAttributes* attributes) {
  HIDD_ATTRIBUTES platform{};
  platform.Size = sizeof platform;
  if (!RealFunction<GetAttributesCall>(context)(HandleOf(device), &platform)) {
    return 0;
  }
  attributes->vendorId = platform.VendorID;
  attributes->productId = platform.ProductID;
  attributes->versionNumber = platform.VersionNumber;
  return 1;
}

int GetCaps(void* context, HidPreparsedData* data, HidCaps* caps) {
  HIDP_CAPS platform{};
  if (RealFunction<GetCapsCall>(context)(PlatformData(data), &platform) == 0) {
    return 0;
  }
  caps->inputReportByteLength = platform.InputReportByteLength;
  caps->outputReportByteLength = platform.OutputReportByteLength;
  caps->featureReportByteLength = platform.FeatureReportByteLength;
  return 1;
}

int FreePreparsedData(void* context, HidPreparsedData* data) {
  return RealFunction<FreePreparsedDataCall>(context)(PlatformData(data)) ? 1 : 0;
}

int GetPreparsedData(void* context, HidHandle device, HidPreparsedData** data) {
  PHIDP_PREPARSED_DATA platform = nullptr;
  if (!RealFunction<GetPreparsedDataCall>(context)(HandleOf(device), &platform)) {
    return 0;
  }
  *data = reinterpret_cast<HidPreparsedData*>(platform);
  return 1;
}

// The platform call takes a writable buffer: it gets a copy. Its error
// tells the channel whether the failure lasts.
int SetOutputReport(void* context, HidHandle device, const void* report, uint32_t length) {
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(report),
                            static_cast<const uint8_t*>(report) + length);
  return Result(RealFunction<SetOutputReportCall>(context)(HandleOf(device), copy.data(), length));
}

void GetHidGuid(void* context, HidGuid* guid) {
  GUID platform{};
  RealFunction<GetHidGuidCall>(context)(&platform);
  std::memcpy(guid, &platform, sizeof platform);
}

HidDeviceInfoSet* GetClassDevs(void* context, const HidGuid* guid, const char* enumerator,
                               void* window, uint32_t flags) {
  HDEVINFO set = RealFunction<GetClassDevsCall>(context)(PlatformGuid(guid), enumerator,
                                                         static_cast<HWND>(window), flags);
  if (set == INVALID_HANDLE_VALUE) {
    HidSetLastError(static_cast<int>(GetLastError()));
  }
  return PortableSet(set);
}

int EnumDeviceInterfaces(void* context, HidDeviceInfoSet* set, void* deviceInfo,
                         const HidGuid* guid, uint32_t memberIndex, HidInterfaceData* data) {
  SP_DEVICE_INTERFACE_DATA platform = PlatformInterface(*data);
  BOOL ok = RealFunction<EnumDeviceInterfacesCall>(context)(
      PlatformSet(set), static_cast<PSP_DEVINFO_DATA>(deviceInfo), PlatformGuid(guid), memberIndex,
      &platform);
  if (ok) {
    std::memcpy(&data->classGuid, &platform.InterfaceClassGuid, sizeof(GUID));
    data->flags = platform.Flags;
    data->reserved = platform.Reserved;
  }
  return Result(ok);
}

// The platform's record has the same path offset but its own size field (5
// on 32-bit Windows, 8 on 64-bit): it is filled in a buffer of its own and
// the path is copied out.
int GetDeviceInterfaceDetail(void* context, HidDeviceInfoSet* set, HidInterfaceData* data,
                             HidInterfaceDetail* detail, uint32_t detailSize,
                             uint32_t* requiredSize, void* deviceInfo) {
  SP_DEVICE_INTERFACE_DATA platformData = PlatformInterface(*data);
  auto call = RealFunction<GetDeviceInterfaceDetailCall>(context);
  size_t bufferSize = std::max<size_t>(detail != nullptr ? detailSize : 0,
                                       sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
  std::vector<uint64_t> storage((bufferSize + 7) / 8);
  auto* platform = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
  platform->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  DWORD required = 0;
  BOOL ok = call(PlatformSet(set), &platformData, detail != nullptr ? platform : nullptr,
                 detail != nullptr ? detailSize : 0, &required,
                 static_cast<PSP_DEVINFO_DATA>(deviceInfo));
  if (requiredSize != nullptr) {
    *requiredSize = required;
  }
  if (!ok || detail == nullptr) {
    return Result(ok);
  }
  size_t room = detailSize - kHidInterfaceDetailPathOffset;
  size_t length = strnlen(platform->DevicePath, room);
  if (length >= room) {
    HidSetLastError(kHidErrorInsufficientBuffer);
    return 0;
  }
  std::memcpy(reinterpret_cast<char*>(detail) + kHidInterfaceDetailPathOffset, platform->DevicePath,
              length + 1);
  return 1;
}

int DestroyDeviceInfoList(void* context, HidDeviceInfoSet* set) {
  return Result(RealFunction<DestroyDeviceInfoListCall>(context)(PlatformSet(set)));
}

const HidNamedFunction kAdapters[] = {
    {"HidD_GetAttributes", AsAny(&GetAttributes)},
    {"HidP_GetCaps", AsAny(&GetCaps)},
    {"HidD_FreePreparsedData", AsAny(&FreePreparsedData)},
    {"HidD_GetPreparsedData", AsAny(&GetPreparsedData)},
    {"HidD_SetOutputReport", AsAny(&SetOutputReport)},
    {"HidD_GetHidGuid", AsAny(&GetHidGuid)},
    {"SetupDiGetClassDevsA", AsAny(&GetClassDevs)},
    {"SetupDiEnumDeviceInterfaces", AsAny(&EnumDeviceInterfaces)},
    {"SetupDiGetDeviceInterfaceDetailA", AsAny(&GetDeviceInterfaceDetail)},
    {"SetupDiDestroyDeviceInfoList", AsAny(&DestroyDeviceInfoList)},
};

class LibraryModule final : public ktHidModule {
 public:
  explicit LibraryModule(HMODULE library) : library(library) {}

  HidExport Find(const char* exportName) override {
    for (const HidNamedFunction& adapter : kAdapters) {
      if (std::strcmp(adapter.name, exportName) != 0) {
        continue;
      }
      FARPROC real = GetProcAddress(library, exportName);
      return real != nullptr ? HidExport{adapter.function, reinterpret_cast<void*>(real)}
                             : HidExport{};
    }
    return HidExport{};
  }

  void Release() override {
    FreeLibrary(library);
    delete this;
  }

 private:
  HMODULE library;
};

}  // namespace

ktHidModule* ktWin32HidProvider::LoadModule(const char* name) {
  const std::string* file = std::strcmp(name, "hid") == 0        ? &hidLibrary
                            : std::strcmp(name, "setupapi") == 0 ? &setupLibrary
                                                                 : nullptr;
  // Never a library of the same name beside the program or in the current
  // folder: the program is often unpacked into Downloads.
  HMODULE library = file != nullptr ? LoadLibraryExW(WideText(*file).c_str(), nullptr,
                                                     LOAD_LIBRARY_SEARCH_SYSTEM32)
                                    : nullptr;
  return library != nullptr ? new LibraryModule(library) : nullptr;
}

// Reads and writes are overlapped whatever nonBlocking asks: they never
// block, and a short probe makes no I/O at all.
HidHandle ktWin32HidProvider::OpenDevice(const char* path, int) {
  HANDLE device =
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    IoTakeSystemError();
    return kHidInvalidHandle;
  }
  return IoAdoptHandle(device);
}

int ktWin32HidProvider::OpenChangeWatch() {
  return OpenHidWatch();
}

int ktWin32HidProvider::TakeChanges(int watch) {
  return IoConsumeEvent(watch);
}

void ktWin32HidProvider::CloseChangeWatch(int watch) {
  CloseHidWatch(watch);
}

// Cancels the I/O of every thread on the handle, hid.dll's own request for a
// set-output-report included.
void ktWin32HidProvider::CancelPending(HidHandle device) {
  if (HANDLE handle = HandleOf(device)) {
    CancelIoEx(handle, nullptr);
  }
}

ktHidProvider& SystemHidProvider() {
  static ktWin32HidProvider provider("hid.dll", "setupapi.dll");
  return provider;
}
