#include "support/region_index.h"

#include <new>

#include "support/region_heap.h"
#include "support/region_memory.h"

namespace {

using Bits = RegionIndex::Bits;
constexpr std::size_t kBitsPerWord = RegionIndex::kBitsPerWord;

std::size_t WordsFor(std::size_t bits) {
  return (bits + kBitsPerWord - 1) / kBitsPerWord;
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

std::size_t RegionIndex::Count() const {
  std::size_t count = 0;
  for (std::size_t word = 0; word < levelWords[0]; ++word) {
    count += static_cast<std::size_t>(std::popcount(Level(0)[word]));
  }
  return count;
}
