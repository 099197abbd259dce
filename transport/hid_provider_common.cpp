#include "transport/hid_provider_common.h"

#include <cstring>

int CommonGetCaps(void*, HidPreparsedData* data, HidCaps* caps) {
  if (data == nullptr) {
    return 0;
  }
  *caps = data->caps;
  return 1;
}

int CommonFreePreparsedData(void*, HidPreparsedData* data) {
  delete data;
  return 1;
}

void CommonGetHidGuid(void*, HidGuid* guid) {
  *guid = kHidInterfaceClass;
}

int CommonEnumDeviceInterfaces(void*, HidDeviceInfoSet* set, void*, const HidGuid* guid,
                               uint32_t memberIndex, HidInterfaceData* data) {
  if (set == nullptr || guid == nullptr || data == nullptr) {
    HidSetLastError(kHidErrorInvalidParameter);
    return 0;
  }
  if (memberIndex >= set->paths.size()) {
    HidSetLastError(kHidErrorNoMoreItems);
    return 0;
  }
  data->classGuid = *guid;
  data->reserved = memberIndex;  // which path the detail call returns
  return 1;
}

int CommonGetDeviceInterfaceDetail(void*, HidDeviceInfoSet* set, HidInterfaceData* data,
                                   HidInterfaceDetail* detail, uint32_t detailSize,
                                   uint32_t* requiredSize, void*) {
  if (set == nullptr || data == nullptr || data->reserved >= set->paths.size()) {
    HidSetLastError(kHidErrorInvalidParameter);
    return 0;
  }
  const std::string& path = set->paths[data->reserved];
  uint32_t required = kHidInterfaceDetailPathOffset + static_cast<uint32_t>(path.size()) + 1;
  if (requiredSize != nullptr) {
    *requiredSize = required;
  }
  if (detail == nullptr || detailSize < required) {
    HidSetLastError(kHidErrorInsufficientBuffer);
    return 0;
  }
  if (detail->size != kHidInterfaceDetailFixedSize) {
    HidSetLastError(kHidErrorInvalidParameter);
    return 0;
  }
  std::memcpy(reinterpret_cast<char*>(detail) + kHidInterfaceDetailPathOffset, path.c_str(),
              path.size() + 1);
  return 1;
}

int CommonDestroyDeviceInfoList(void*, HidDeviceInfoSet* set) {
  delete set;
  return 1;
}

ktHidSetupModule::ktHidSetupModule(SetupGetClassDevsFn getClassDevs, void* context)
    : functions{{"SetupDiGetClassDevsA", AsAny(getClassDevs)},
                {"SetupDiEnumDeviceInterfaces", AsAny(&CommonEnumDeviceInterfaces)},
                {"SetupDiGetDeviceInterfaceDetailA", AsAny(&CommonGetDeviceInterfaceDetail)},
                {"SetupDiDestroyDeviceInfoList", AsAny(&CommonDestroyDeviceInfoList)}},
      module(functions, 4, context) {}

ktHidClassModule::ktHidClassModule(HidGetAttributesFn getAttributes,
                                   HidGetPreparsedDataFn getPreparsedData,
                                   HidSetOutputReportFn setOutputReport, void* context)
    : functions{{"HidD_GetAttributes", AsAny(getAttributes)},
                {"HidP_GetCaps", AsAny(&CommonGetCaps)},
                {"HidD_FreePreparsedData", AsAny(&CommonFreePreparsedData)},
                {"HidD_GetPreparsedData", AsAny(getPreparsedData)},
                {"HidD_SetOutputReport", AsAny(setOutputReport)},
                {"HidD_GetHidGuid", AsAny(&CommonGetHidGuid)}},
      module(functions, 6, context) {}
