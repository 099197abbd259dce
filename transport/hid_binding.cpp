#include "transport/hid_binding.h"

#include <cstring>

#include "support/trace.h"
#include "transport/io_system.h"

HidFunctionTable hidFunctions = {};

namespace {

thread_local int lastError = 0;

constexpr const char* kHidModuleName = "hid";
constexpr const char* kSetupModuleName = "setupapi";

// Entries of released modules are cleared so that nothing can call into a
// module that is gone; the call operations then fail like the platform call.
void ClearEntries() {
  ktHidModule* hid = hidFunctions.hidModule;
  ktHidModule* setup = hidFunctions.setupModule;
  hidFunctions = HidFunctionTable{};
  hidFunctions.hidModule = hid;
  hidFunctions.setupModule = setup;
}

void ReleaseModule(ktHidModule*& module) {
  if (module != nullptr) {
    module->Release();
    module = nullptr;
  }
}

template <typename Function>
void Bind(ktHidModule* module, const char* exportName, HidEntry<Function>& entry) {
  HidExport found = module->Find(exportName);
  entry.function = reinterpret_cast<Function>(found.function);
  entry.context = found.context;
  if (entry.function == nullptr) {
    DebugPrint("ERROR: func %s\n", exportName);
  }
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SamePathIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) {
      return false;
    }
  }
  return *a == *b;
}

void ktHidProvider::CloseChangeWatch(int watch) {
  IoClose(watch);
}

int HidGetLastError() {
  return lastError;
}

void HidSetLastError(int error) {
  lastError = error;
}

int InitModule(ktHidProvider& provider) {
  ktHidModule* hid = provider.LoadModule(kHidModuleName);
  ktHidModule* setup = provider.LoadModule(kSetupModuleName);
  if (hid == nullptr || setup == nullptr) {
    ReleaseModule(hid);
    ReleaseModule(setup);
    ClearEntries();
    return 0;
  }
  hidFunctions.hidModule = hid;
  hidFunctions.setupModule = setup;
  HidFunctionTable& t = hidFunctions;
  Bind(hid, "HidD_GetAttributes", t.getAttributes);
  Bind(hid, "HidP_GetCaps", t.getCaps);
  Bind(hid, "HidD_FreePreparsedData", t.freePreparsedData);
  Bind(hid, "HidD_GetPreparsedData", t.getPreparsedData);
  Bind(hid, "HidD_SetOutputReport", t.setOutputReport);
  Bind(hid, "HidD_GetHidGuid", t.getHidGuid);
  Bind(setup, "SetupDiGetClassDevsA", t.getClassDevs);
  Bind(setup, "SetupDiEnumDeviceInterfaces", t.enumDeviceInterfaces);
  Bind(setup, "SetupDiGetDeviceInterfaceDetailA", t.getDeviceInterfaceDetail);
  Bind(setup, "SetupDiDestroyDeviceInfoList", t.destroyDeviceInfoList);
  return 1;
}

void ExitModule() {
  ReleaseModule(hidFunctions.hidModule);
  ReleaseModule(hidFunctions.setupModule);
  ClearEntries();
}

int HidD_GetAttributes(HidHandle device, HidAttributes* attributes) {
  auto& e = hidFunctions.getAttributes;
  return e.function != nullptr ? e.function(e.context, device, attributes) : 0;
}

int HidP_GetCaps(HidPreparsedData* data, HidCaps* caps) {
  auto& e = hidFunctions.getCaps;
  return e.function != nullptr ? e.function(e.context, data, caps) : 0;
}

int HidD_FreePreparsedData(HidPreparsedData* data) {
  auto& e = hidFunctions.freePreparsedData;
  return e.function != nullptr ? e.function(e.context, data) : 0;
}

int HidD_GetPreparsedData(HidHandle device, HidPreparsedData** data) {
  auto& e = hidFunctions.getPreparsedData;
  return e.function != nullptr ? e.function(e.context, device, data) : 0;
}

int HidD_SetOutputReport(HidHandle device, const void* report, uint32_t length) {
  auto& e = hidFunctions.setOutputReport;
  if (e.function == nullptr) {
    HidSetLastError(kHidErrorInvalidFunction);
    return 0;
  }
  return e.function(e.context, device, report, length);
}

void HidD_GetHidGuid(HidGuid* guid) {
  auto& e = hidFunctions.getHidGuid;
  if (e.function != nullptr) {
    e.function(e.context, guid);
  } else {
    *guid = HidGuid{};
  }
}

HidDeviceInfoSet* SetupDiGetClassDevsA(const HidGuid* guid, const char* enumerator, void* window,
                                       uint32_t flags) {
  auto& e = hidFunctions.getClassDevs;
  return e.function != nullptr ? e.function(e.context, guid, enumerator, window, flags) : nullptr;
}

int SetupDiEnumDeviceInterfaces(HidDeviceInfoSet* set, void* deviceInfo, const HidGuid* guid,
                                uint32_t memberIndex, HidInterfaceData* data) {
  auto& e = hidFunctions.enumDeviceInterfaces;
  if (e.function == nullptr) {
    HidSetLastError(kHidErrorNoMoreItems);  // nothing to walk
    return 0;
  }
  return e.function(e.context, set, deviceInfo, guid, memberIndex, data);
}

int SetupDiGetDeviceInterfaceDetailA(HidDeviceInfoSet* set, HidInterfaceData* data,
                                     HidInterfaceDetail* detail, uint32_t detailSize,
                                     uint32_t* requiredSize, void* deviceInfo) {
  auto& e = hidFunctions.getDeviceInterfaceDetail;
  return e.function != nullptr
             ? e.function(e.context, set, data, detail, detailSize, requiredSize, deviceInfo)
             : 0;
}

int SetupDiDestroyDeviceInfoList(HidDeviceInfoSet* set) {
  auto& e = hidFunctions.destroyDeviceInfoList;
  return e.function != nullptr ? e.function(e.context, set) : 0;
}

HidExport ktHidTableModule::Find(const char* exportName) {
  for (int i = 0; i < count_; ++i) {
    if (std::strcmp(functions_[i].name, exportName) == 0) {
      return HidExport{functions_[i].function, context_};
    }
  }
  return HidExport{};
}
