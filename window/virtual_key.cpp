#include "window/virtual_key.h"

namespace {

struct KeyPair {
  uint32_t keysym;
  uint32_t virtualKey;
};

// X keysyms of the keys that are not printable characters; the values are
// those of the X protocol's keysym table.
constexpr KeyPair kFunctionKeys[] = {
    {0xFF08, kVkBack},   {0xFF09, kVkTab},     {0xFF0D, kVkReturn},  {0xFF8D, kVkReturn},
    {0xFF1B, kVkEscape}, {0xFF50, kVkHome},    {0xFF51, kVkLeft},    {0xFF52, kVkUp},
    {0xFF53, kVkRight},  {0xFF54, kVkDown},    {0xFF55, kVkPrior},   {0xFF56, kVkNext},
    {0xFF57, kVkEnd},    {0xFF63, kVkInsert},  {0xFFFF, kVkDelete},  {0xFFE1, kVkShift},
    {0xFFE2, kVkShift},  {0xFFE3, kVkControl}, {0xFFE4, kVkControl}, {0xFFE9, kVkMenu},
    {0xFFEA, kVkMenu},
};

constexpr uint32_t kKeysymF1 = 0xFFBE;
constexpr uint32_t kFunctionKeyCount = 12;

}  // namespace

uint32_t VirtualKeyFromKeysym(uint32_t keysym) {
  if (keysym >= 'a' && keysym <= 'z') {
    return keysym - 'a' + 'A';
  }
  if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9') || keysym == ' ') {
    return keysym;
  }
  if (keysym >= kKeysymF1 && keysym < kKeysymF1 + kFunctionKeyCount) {
    return keysym - kKeysymF1 + kVkF1;
  }
  for (const KeyPair& pair : kFunctionKeys) {
    if (pair.keysym == keysym) {
      return pair.virtualKey;
    }
  }
  return 0;
}

uint32_t VirtualKeyOfPress(uint32_t keysym, uint32_t groupZeroKeysym) {
  const uint32_t virtualKey = VirtualKeyFromKeysym(keysym);
  return virtualKey != 0 ? virtualKey : VirtualKeyFromKeysym(groupZeroKeysym);
}
