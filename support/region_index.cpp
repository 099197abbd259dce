#include "support/region_index.h"

#include <bit>
#include <new>

#include "support/region_heap.h"
#include "support/region_memory.h"

namespace {

using Bits = std::uint64_t;
constexpr int kShift = 6;  // 64 bits a word
constexpr std::size_t kBitsPerWord = std::size_t{1} << kShift;

std::size_t WordsFor(std::size_t bits) {
  return (bits + kBitsPerWord - 1) / kBitsPerWord;
}
Bits BitOf(std::size_t position) {
  return Bits{1} << (position % kBitsPerWord);
}

}  // namespace

RegionIndex* RegionIndex::Create(RegionHeader* region) {
  RegionIndex layout;
  layout.Bind(region);
  std::size_t bits = (layout.end - layout.first) / RegionHeap::kWord;
  std::size_t total = 0;
  do {
    bits = WordsFor(bits);
    layout.levelStart[layout.levels] = total;
    layout.levelWords[layout.levels] = bits;
    total += bits;
    ++layout.levels;
  } while (bits > 1);
  layout.bytes = sizeof(RegionIndex) + total * sizeof(Bits);
  void* memory = TakeRegion(layout.bytes);
  return memory != nullptr ? new (memory) RegionIndex(layout) : nullptr;
}

void RegionIndex::Release(RegionIndex* index) {
  if (index != nullptr) {
    GiveRegion(index, index->bytes);
  }
}

int RegionIndex::MoveTo(RegionHeader* newRegion) {
  if (newRegion->size != regionSize) {
    return 0;
  }
  Bind(newRegion);
  return 1;
}

void RegionIndex::Bind(RegionHeader* newRegion) {
  region = newRegion;
  regionSize = newRegion->size;
  first = reinterpret_cast<std::uintptr_t>(region) + sizeof(RegionHeader);
  end = reinterpret_cast<std::uintptr_t>(region) + region->size - sizeof(ChunkHeader);
}

// Sets the chunk's bit; each level above learns of a word that was empty.
void RegionIndex::Insert(std::uintptr_t chunk) {
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
void RegionIndex::Erase(std::uintptr_t chunk) {
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
std::uintptr_t RegionIndex::NextAfter(std::uintptr_t chunk) const {
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
  return first + position * RegionHeap::kWord;
}

int RegionIndex::Holds(std::uintptr_t chunk) const {
  std::size_t position = Slot(chunk);
  return (Level(0)[position / kBitsPerWord] & BitOf(position)) != 0 ? 1 : 0;
}

std::size_t RegionIndex::Count() const {
  std::size_t count = 0;
  for (std::size_t word = 0; word < levelWords[0]; ++word) {
    count += static_cast<std::size_t>(std::popcount(Level(0)[word]));
  }
  return count;
}

std::uint64_t* RegionIndex::Level(int level) const {
  auto* words = reinterpret_cast<Bits*>(const_cast<RegionIndex*>(this) + 1);
  return words + levelStart[level];
}

std::size_t RegionIndex::Slot(std::uintptr_t chunk) const {
  return (chunk - first) / RegionHeap::kWord;
}
