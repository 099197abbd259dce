#pragma once

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

  RegionHeader* region = nullptr;
  std::size_t regionSize = 0;
  std::uintptr_t first = 0;
  std::uintptr_t end = 0;
  std::size_t bytes = 0;  // of the index's own memory
  int levels = 0;
  std::size_t levelWords[kMaxLevels] = {};
  std::size_t levelStart[kMaxLevels] = {};  // in words from the first bit word
};
