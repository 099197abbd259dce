#include "render/bluetooth_advice.h"

#include "resources/tr.h"

const char* const kNoServiceLines[] = {TrMark("Bluetooth サービスが動いていません。"),
                                       TrMark("起動してください: systemctl start bluetooth"),
                                       nullptr};
// BlueZ 5.73 to 5.79 offer the board a wrong PIN first; it then leaves
// pairing mode, and BlueZ's second attempt finds it gone.
const char* const kPairingAdviceLine = TrMark("続くときは BlueZ 5.80 以降へ更新を。");
