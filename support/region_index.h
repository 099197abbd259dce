#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

struct RegionHeader;

// What the heap knows about one of its regions, kept outside the region so
// the region's own layout stays as it is: where its chunks lie and which of
// them are free.
//
// The free chunks are a bit set with one bit per word of the region's chunk
// space, and summary levels above it (a bit for every non-empty 64-bit word
// of the level below), so the first free chunk after an address is found in
// a few steps however many chunks in use lie between.
class alignas(std::uint64_t) RegionIndex {
 public:
  using Bits = std::uint64_t;
  static constexpr std::size_t kBitsPerWord = 64;

  // Takes zero-filled memory for the index of region from the system; null
  // when there is none. The index starts empty.
  static RegionIndex* Create(RegionHeader* region);
  // Gives the index's memory back; null is ignored.
  static void Release(RegionIndex* index);
  // An empty index serves a new region of the same size as its old one:
  // MoveTo rebinds it (1), or refuses a region of another size (0). The old
  // region may be gone already.
  int MoveTo(RegionHeader* newRegion);

  RegionHeader* Region() const { return region; }
  // 1 when address lies in the region's chunk space (end marker excluded).
  int Covers(std::uintptr_t address) const { return address >= first && address < end ? 1 : 0; }
  std::uintptr_t FirstChunk() const { return first; }
  std::uintptr_t EndMarker() const { return end; }

  void Insert(std::uintptr_t chunk);
  void Erase(std::uintptr_t chunk);
  // The lowest free chunk above chunk, or 0 when there is none.
  std::uintptr_t NextAfter(std::uintptr_t chunk) const;
  int Holds(std::uintptr_t chunk) const;
  std::size_t Count() const;

  // Next index in the heap's list; the heap keeps it.
  RegionIndex* next = nullptr;

 private:
  static constexpr int kMaxLevels = 12;  // 64^12 bits cover any address space

  RegionIndex() = default;
  void Bind(RegionHeader* newRegion);
  std::uint64_t* Level(int level) const;
  std::size_t Slot(std::uintptr_t chunk) const;
  static Bits BitOf(std::size_t position) { return Bits{1} << (position % kBitsPerWord); }

  RegionHeader* region = nullptr;
  std::size_t regionSize = 0;
  std::uintptr_t first = 0;
  std::uintptr_t end = 0;
  std::size_t bytes = 0;  // of the index's own memory
  int levels = 0;
  std::size_t levelWords[kMaxLevels] = {};
  std::size_t levelStart[kMaxLevels] = {};  // in words from the first bit word
};

// The operations of every allocation and free, inline.

// Sets the chunk's bit; each level above learns of a word that was empty.
inline void RegionIndex::Insert(std::uintptr_t chunk) {
  std::size_t position = Slot(chunk);
  for (int level = 0; level < levels; ++level) {
    Bits& word = Level(level)[position / kBitsPerWord];
    bool wasEmpty = word == 0;
    word |= BitOf(position);
    if (!wasEmpty) {
      return;
    }
    position /= kBitsPerWord;
  }
}

// Clears the chunk's bit; each level above forgets a word that became empty.
inline void RegionIndex::Erase(std::uintptr_t chunk) {
  std::size_t position = Slot(chunk);
  for (int level = 0; level < levels; ++level) {
    Bits& word = Level(level)[position / kBitsPerWord];
    word &= ~BitOf(position);
    if (word != 0) {
      return;
    }
    position /= kBitsPerWord;
  }
}

// Climbs until a level has a set bit after the position, then descends
// along the lowest set bits.
inline std::uintptr_t RegionIndex::NextAfter(std::uintptr_t chunk) const {
  std::size_t position = Slot(chunk) + 1;
  int level = 0;
  for (; level < levels; ++level) {
    std::size_t word = position / kBitsPerWord;
    if (word >= levelWords[level]) {
      return 0;
    }
    Bits later = Level(level)[word] & (~Bits{0} << (position % kBitsPerWord));
    if (later != 0) {
      position = word * kBitsPerWord + static_cast<std::size_t>(std::countr_zero(later));
      break;
    }
    position = word + 1;
  }
  if (level == levels) {
    return 0;
  }
  while (level > 0) {
    --level;
    position = position * kBitsPerWord +
               static_cast<std::size_t>(std::countr_zero(Level(level)[position]));
  }
  return first + position * sizeof(std::uintptr_t);
}

inline int RegionIndex::Holds(std::uintptr_t chunk) const {
  std::size_t position = Slot(chunk);
  return (Level(0)[position / kBitsPerWord] & BitOf(position)) != 0 ? 1 : 0;
}

inline std::uint64_t* RegionIndex::Level(int level) const {
  auto* words = reinterpret_cast<Bits*>(const_cast<RegionIndex*>(this) + 1);
  return words + levelStart[level];
}

inline std::size_t RegionIndex::Slot(std::uintptr_t chunk) const {
  return (chunk - first) / sizeof(std::uintptr_t);
}
