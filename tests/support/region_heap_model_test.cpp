// RegionHeap beside a plain reference model of the same heap: chunks kept in
// an ordered map per region, the free list as a list of addresses. After
// every random step the model and the heap must agree on the address handed
// out, on every region and on the whole free list, chunk by chunk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <list>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/region_heap.h"

namespace {

using Address = std::uintptr_t;
constexpr std::size_t kWord = sizeof(void*);
constexpr std::size_t kRegionHeader = 4 * kWord;
constexpr std::size_t kEndMarker = 4 * kWord;
constexpr std::size_t kUsedHeader = 2 * kWord;
constexpr std::size_t kSmallestChunk = 4 * kWord;

struct ModelChunk {
  std::size_t size;
  bool free;
};

struct ModelRegion {
  Address base;
  std::size_t size;
  std::map<Address, ModelChunk> chunks;  // by address
};

class HeapModel {
 public:
  explicit HeapModel(std::size_t growSize) : growSize(growSize) {}

  static std::size_t Need(std::size_t size, std::size_t alignment) {
    std::size_t a = std::max(alignment, kWord);
    std::size_t need = std::max(size + kUsedHeader, std::max(kSmallestChunk, a));
    return a > kWord ? (need + 2 * (a - 1)) / a * a : (need + kWord - 1) / kWord * kWord;
  }

  // The size of the region the heap must take before it can serve need
  // bytes, or 0 when a free chunk fits already.
  std::size_t RegionNeeded(std::size_t need) const {
    if (FirstFit(need) != freeList.end()) {
      return 0;
    }
    std::size_t ownRegion = need + kRegionHeader + kEndMarker + kUsedHeader;
    return ownRegion >= growSize ? ownRegion : growSize;
  }
  std::size_t GrowSize() const { return growSize; }

  void AddRegion(Address base, std::size_t size) {
    ModelRegion region{base, size, {}};
    Address chunk = base + kRegionHeader;
    region.chunks[chunk] = {size - kRegionHeader - kEndMarker, true};
    regions.push_front(region);
    freeList.push_front(chunk);
  }

  // Takes the first fitting chunk, splitting off a remainder worth keeping.
  Address Alloc(std::size_t size, std::size_t alignment) {
    std::size_t a = std::max(alignment, kWord);
    std::size_t need = Need(size, alignment);
    auto place = FirstFit(need);
    Address chunk = *place;
    ModelChunk& taken = RegionOf(chunk).chunks[chunk];
    if (taken.size - need >= std::max(kSmallestChunk, a)) {
      RegionOf(chunk).chunks[chunk + need] = {taken.size - need, true};
      *place = chunk + need;
      taken.size = need;
    } else {
      freeList.erase(place);
    }
    taken.free = false;
    Address block = (chunk + kUsedHeader + a - 1) / a * a;
    blocks[block] = chunk;
    return block;
  }

  // Merges with free neighbours; a chunk between two chunks in use goes
  // before the next free chunk of its region, or at the tail of the list.
  void Free(Address block) {
    Address chunk = blocks.at(block);
    blocks.erase(block);
    ModelRegion& region = RegionOf(chunk);
    auto at = region.chunks.find(chunk);
    auto next = std::next(at);
    bool nextFree = next != region.chunks.end() && next->second.free;
    auto merged = at;
    if (at != region.chunks.begin() && std::prev(at)->second.free) {
      merged = std::prev(at);
      merged->second.size += at->second.size;
      region.chunks.erase(at);
      if (nextFree) {
        merged->second.size += next->second.size;
        freeList.remove(next->first);
        region.chunks.erase(next);
      }
    } else if (nextFree) {
      at->second = {at->second.size + next->second.size, true};
      *std::find(freeList.begin(), freeList.end(), next->first) = chunk;
      region.chunks.erase(next);
    } else {
      at->second.free = true;
      auto later =
          std::find_if(next, region.chunks.end(), [](const auto& c) { return c.second.free; });
      freeList.insert(later == region.chunks.end()
                          ? freeList.end()
                          : std::find(freeList.begin(), freeList.end(), later->first),
                      chunk);
    }
    if (merged->second.size == region.size - kRegionHeader - kEndMarker) {
      Address base = region.base;
      freeList.remove(merged->first);
      regions.remove_if([base](const ModelRegion& r) { return r.base == base; });
    }
  }

  // "base:size" per region, newest first, then "address:size" per free chunk in list order.
  std::string Describe() const {
    std::ostringstream text;
    text << std::hex << "regions";
    for (const ModelRegion& region : regions) {
      text << ' ' << region.base << ':' << region.size;
    }
    text << " free";
    for (Address chunk : freeList) {
      text << ' ' << chunk << ':' << ConstRegionOf(chunk).chunks.at(chunk).size;
    }
    return text.str();
  }

 private:
  std::list<Address>::const_iterator FirstFit(std::size_t need) const {
    return std::find_if(freeList.begin(), freeList.end(), [&](Address chunk) {
      return ConstRegionOf(chunk).chunks.at(chunk).size >= need;
    });
  }
  std::list<Address>::iterator FirstFit(std::size_t need) {
    return std::find_if(freeList.begin(), freeList.end(), [&](Address chunk) {
      return RegionOf(chunk).chunks.at(chunk).size >= need;
    });
  }
  const ModelRegion& ConstRegionOf(Address address) const {
    return *std::find_if(regions.begin(), regions.end(), [&](const ModelRegion& region) {
      return address >= region.base && address < region.base + region.size;
    });
  }
  ModelRegion& RegionOf(Address address) {
    return const_cast<ModelRegion&>(ConstRegionOf(address));
  }

  std::size_t growSize;
  std::list<ModelRegion> regions;  // newest first
  std::list<Address> freeList;
  std::map<Address, Address> blocks;  // block address -> its chunk
};

std::string Describe(const RegionHeap& heap) {
  std::ostringstream text;
  text << std::hex << "regions";
  for (const RegionHeader* region = heap.FirstRegion(); region != nullptr; region = region->next) {
    text << ' ' << reinterpret_cast<Address>(region) << ':' << region->size;
  }
  text << " free";
  for (const ChunkHeader* chunk = heap.FirstFree(); chunk != nullptr;
       chunk = reinterpret_cast<const ChunkHeader*>(chunk->nextFree)) {
    text << ' ' << reinterpret_cast<Address>(chunk) << ':' << chunk->size;
  }
  return text.str();
}

struct ModelRun {
  std::size_t initialSize;
  std::size_t growSize;
  unsigned seed;
};

void RunBesideModel(const ModelRun& run) {
  RegionHeap heap;
  HeapModel model(run.growSize);
  ASSERT_EQ(heap.Init(run.initialSize, run.growSize), 1);
  if (run.initialSize != 0) {
    model.AddRegion(reinterpret_cast<Address>(heap.FirstRegion()), run.initialSize);
  }
  std::mt19937 random(run.seed);
  std::vector<void*> live;
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    // The first block stays, so a heap that never grows keeps its region.
    if (live.size() < 2 || (live.size() < 120 && random() % 100 < 55)) {
      std::size_t alignment = std::size_t{4} << (random() % 8);
      std::size_t size = random() % 50 == 0  ? 0
                         : random() % 8 == 0 ? 1 + random() % (run.growSize + 0x2000)
                                             : 1 + random() % 300;
      std::size_t region = model.RegionNeeded(HeapModel::Need(size, alignment));
      void* block = heap.Alloc(size, alignment);
      if (size == 0 || (region != 0 && model.GrowSize() == 0)) {
        ASSERT_EQ(block, nullptr);
        continue;
      }
      ASSERT_NE(block, nullptr);
      if (region != 0) {
        ASSERT_EQ(heap.FirstRegion()->size, region);
        model.AddRegion(reinterpret_cast<Address>(heap.FirstRegion()), region);
      }
      ASSERT_EQ(reinterpret_cast<Address>(block), model.Alloc(size, alignment));
      live.push_back(block);
    } else {
      std::size_t index = 1 + random() % (live.size() - 1);
      ASSERT_EQ(heap.Free(live[index]), 1);
      model.Free(reinterpret_cast<Address>(live[index]));
      live[index] = live.back();
      live.pop_back();
    }
    ASSERT_EQ(Describe(heap), model.Describe());
  }
  heap.Destroy();
}

TEST(RegionHeapModel, GrowingHeapMatchesTheModel) {
  RunBesideModel({0, 0x4000, 1});
}

TEST(RegionHeapModel, HeapWithAFirstRegionMatchesTheModel) {
  RunBesideModel({0x3000, 0x2000, 2});
}

TEST(RegionHeapModel, HeapThatNeverGrowsMatchesTheModel) {
  RunBesideModel({0x8000, 0, 3});
}

}  // namespace
