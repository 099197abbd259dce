#pragma once

#include <cstdint>

// Key codes of key-down messages keep the classic virtual-key values, so
// that handlers test for 'A' (0x41) whatever the keyboard's case or layout.
inline constexpr uint32_t kVkBack = 0x08;
inline constexpr uint32_t kVkTab = 0x09;
inline constexpr uint32_t kVkReturn = 0x0D;
inline constexpr uint32_t kVkShift = 0x10;
inline constexpr uint32_t kVkControl = 0x11;
inline constexpr uint32_t kVkMenu = 0x12;
inline constexpr uint32_t kVkEscape = 0x1B;
inline constexpr uint32_t kVkSpace = 0x20;
inline constexpr uint32_t kVkPrior = 0x21;
inline constexpr uint32_t kVkNext = 0x22;
inline constexpr uint32_t kVkEnd = 0x23;
inline constexpr uint32_t kVkHome = 0x24;
inline constexpr uint32_t kVkLeft = 0x25;
inline constexpr uint32_t kVkUp = 0x26;
inline constexpr uint32_t kVkRight = 0x27;
inline constexpr uint32_t kVkDown = 0x28;
inline constexpr uint32_t kVkInsert = 0x2D;
inline constexpr uint32_t kVkDelete = 0x2E;
inline constexpr uint32_t kVkF1 = 0x70;

// The virtual-key code of an X keysym (the key value GTK reports), or 0 for
// a key that has none.
uint32_t VirtualKeyFromKeysym(uint32_t keysym);

// The virtual-key code of a key press: that of the keysym typed, else that
// of the keysym the same key gives in the first layout group. Key codes do
// not depend on the layout, so A stays A under a Cyrillic layout or with
// kana input, as GTK matches accelerators.
uint32_t VirtualKeyOfPress(uint32_t keysym, uint32_t groupZeroKeysym);
