#pragma once

#include <atomic>
#include <bit>
#include <cstdint>

// The decoded extension values of one device: 21 naturally aligned 32-bit
// words shared by three layouts. Which layout is live follows from the
// device's extension type; the getters of the other layouts read whatever the
// shared words hold. Every word is atomic (relaxed): the I/O thread writes
// them while the user-interface thread reads them.
//
//   word  board         nunchuk        classic
//   0     sensor[0]     extButtons     extButtons
//   1..3  sensor[1..3]  stick[0..1],   analog[0..2]
//                       accel[0]
//   4..5  cal0[0..1]    accel[1..2]    analog[3..4]
//   6     cal0[2]       -              analog[5]
//   7     cal0[3]
//   8..11 cal17[0..3]
//   12..15 cal34[0..3]
//   16..19 zeroOffset[0..3]
//   20    zeroAdjust (beyond both remote layouts)
class ExtValues {
 public:
  static constexpr int kWordCount = 21;

  // Board layout.
  static constexpr int kSensor = 0;
  static constexpr int kCal0 = 4;
  static constexpr int kCal17 = 8;
  static constexpr int kCal34 = 12;
  static constexpr int kZeroOffset = 16;
  static constexpr int kZeroAdjust = 20;
  // Remote layouts.
  static constexpr int kExtButtons = 0;
  static constexpr int kNunchukStick = 1;
  static constexpr int kNunchukAccel = 3;
  static constexpr int kClassicAnalog = 1;

  int32_t Int(int word) const { return words[word].load(std::memory_order_relaxed); }
  void SetInt(int word, int32_t value) { words[word].store(value, std::memory_order_relaxed); }
  float Float(int word) const { return std::bit_cast<float>(Int(word)); }
  void SetFloat(int word, float value) { SetInt(word, std::bit_cast<int32_t>(value)); }

 private:
  std::atomic<int32_t> words[kWordCount]{};
};
