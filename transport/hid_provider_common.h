#pragma once

#include <string>
#include <vector>

#include "transport/hid_binding.h"

// Pieces both device providers share: an enumeration is a snapshot of device
// interface paths in a stable order, and preparsed data is the pair of report
// lengths read from the device.

struct HidDeviceInfoSet {
  std::vector<std::string> paths;
};

struct HidPreparsedData {
  HidCaps caps;
};

int CommonGetCaps(void* context, HidPreparsedData* data, HidCaps* caps);
int CommonFreePreparsedData(void* context, HidPreparsedData* data);
void CommonGetHidGuid(void* context, HidGuid* guid);
int CommonEnumDeviceInterfaces(void* context, HidDeviceInfoSet* set, void* deviceInfo,
                               const HidGuid* guid, uint32_t memberIndex, HidInterfaceData* data);
int CommonGetDeviceInterfaceDetail(void* context, HidDeviceInfoSet* set, HidInterfaceData* data,
                                   HidInterfaceDetail* detail, uint32_t detailSize,
                                   uint32_t* requiredSize, void* deviceInfo);
int CommonDestroyDeviceInfoList(void* context, HidDeviceInfoSet* set);

// The six hid-module functions, given the provider's own three.
class ktHidClassModule {
 public:
  ktHidClassModule(HidGetAttributesFn getAttributes, HidGetPreparsedDataFn getPreparsedData,
                   HidSetOutputReportFn setOutputReport, void* context);
  ktHidClassModule(const ktHidClassModule&) = delete;
  ktHidClassModule& operator=(const ktHidClassModule&) = delete;
  ktHidModule& Module() { return module; }

 private:
  HidNamedFunction functions[6];
  ktHidTableModule module;
};

// The four setup-module functions over a HidDeviceInfoSet, given the
// provider's own function that takes the snapshot.
class ktHidSetupModule {
 public:
  ktHidSetupModule(SetupGetClassDevsFn getClassDevs, void* context);
  ktHidSetupModule(const ktHidSetupModule&) = delete;
  ktHidSetupModule& operator=(const ktHidSetupModule&) = delete;
  ktHidModule& Module() { return module; }

 private:
  HidNamedFunction functions[4];
  ktHidTableModule module;
};

template <typename Function>
HidAnyFunction AsAny(Function function) {
  return reinterpret_cast<HidAnyFunction>(function);
}
