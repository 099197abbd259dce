#include "render/bluetooth_advice.h"

#include "resources/tr.h"

// Registration finds no service when Windows' Bluetooth programming
// interface is missing, as on a system without its Bluetooth feature.
const char* const kNoServiceLines[] = {TrMark("この Windows では Bluetooth を使えません。"),
                                       TrMark("Bluetooth の機能を入れてから A を押してください。"),
                                       nullptr};
// Windows pairs with the board's own PIN at the first attempt.
const char* const kPairingAdviceLine = nullptr;
