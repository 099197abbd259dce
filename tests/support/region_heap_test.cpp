#include "support/region_heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "memory_test_helpers.h"
#include "support/memory.h"

namespace {

constexpr std::size_t kWord = sizeof(void*);

std::uintptr_t AddressOf(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

void ExpectValid(const RegionHeap& heap) {
  const char* reason = nullptr;
  EXPECT_EQ(heap.Validate(&reason), 1) << reason;
}

class RegionHeapTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(heap.Init(0, 0x10000), 1); }
  void TearDown() override { heap.Destroy(); }

  RegionHeap heap;
};

TEST_F(RegionHeapTest, NewRegionIsOneFreeChunkBetweenHeaderAndEndMarker) {
  void* block = heap.Alloc(8, 4);
  ASSERT_NE(block, nullptr);
  const RegionHeader* region = heap.FirstRegion();
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->size, 0x10000u);
  EXPECT_EQ(region->reserved, 0u);
  // The block sits right after the first chunk's two used-header words.
  EXPECT_EQ(AddressOf(block), AddressOf(region) + sizeof(RegionHeader) + 2 * kWord);
  const auto* endMarker =
      reinterpret_cast<const ChunkHeader*>(AddressOf(region) + region->size - sizeof(ChunkHeader));
  EXPECT_EQ(endMarker->size, 0u);
  EXPECT_EQ(endMarker->nextFree, region->size - RegionHeap::kRegionOverhead);
  EXPECT_EQ(endMarker->previousFree, AddressOf(region));
  ExpectValid(heap);
  EXPECT_EQ(heap.Free(block), 1);
  EXPECT_EQ(heap.RegionCount(), 0);
}

// Small blocks of rising alignment, each in the chunk right after the one
// before, so every offset shows the size of the chunks in front of it.
// Alignments above one word round the chunk to (need + 2 * (alignment - 1))
// rounded down to the alignment and fill the gap in front of the block.
TEST_F(RegionHeapTest, AlignedBlocksSitWhereTheirChunkSizesPutThem) {
  struct Case {
    std::size_t size;
    std::size_t alignment;
    std::uintptr_t offset32;  // from the region's start, 32-bit build
    std::uintptr_t offset64;  // 64-bit build
  };
  const Case cases[] = {
      {24, 4, 24, 48}, {24, 8, 56, 88}, {26, 16, 96, 128}, {24, 128, 256, 256}, {24, 4, 416, 448}};
  std::vector<void*> blocks;
  for (const Case& c : cases) {
    void* block = heap.Alloc(c.size, c.alignment);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(AddressOf(block) - AddressOf(heap.FirstRegion()),
              kWord == 4 ? c.offset32 : c.offset64)
        << "alignment " << c.alignment;
    blocks.push_back(block);
  }
  ExpectValid(heap);
  for (void* block : blocks) {
    EXPECT_EQ(heap.Free(block), 1);  // steps back over the fill to its chunk
    ExpectValid(heap);
  }
  EXPECT_EQ(heap.RegionCount(), 0);
}

TEST_F(RegionHeapTest, FreeInAnyOrderCoalescesAndKeepsAddressOrder) {
  const std::vector<std::vector<int>> orders = {
      {0, 1, 2, 3, 4, 5}, {5, 4, 3, 2, 1, 0}, {1, 3, 5, 0, 2, 4}, {2, 0, 4, 1, 5, 3}};
  for (const auto& order : orders) {
    std::vector<void*> blocks;
    for (int i = 0; i < 7; ++i) {  // the last keeps the region until the end
      blocks.push_back(heap.Alloc(32 + 16 * i, 4));
      ASSERT_NE(blocks.back(), nullptr);
    }
    for (int index : order) {
      EXPECT_EQ(heap.Free(blocks[index]), 1);
      ExpectValid(heap);
    }
    // Everything before the last block merged into one chunk: a request of
    // all of it must fit there, below the block still in use.
    void* whole = heap.Alloc(6 * 32 + 16 * 15, 4);
    EXPECT_LT(AddressOf(whole), AddressOf(blocks[6]));
    heap.Free(whole);
    heap.Free(blocks[6]);
    EXPECT_EQ(heap.RegionCount(), 0);
  }
}

TEST_F(RegionHeapTest, RefusesWhatItDidNotHandOut) {
  void* block = heap.Alloc(64, 4);
  int onStack = 0;
  EXPECT_EQ(heap.Free(&onStack), 0);
  EXPECT_EQ(heap.Free(static_cast<char*>(block) + kWord), 0);
  EXPECT_EQ(heap.Free(block), 1);
  EXPECT_EQ(heap.Alloc(0, 4), nullptr);
  EXPECT_EQ(heap.Alloc(16, 24), nullptr);
  ExpectValid(heap);
}

TEST_F(RegionHeapTest, ValidateFindsDamage) {
  void* first = heap.Alloc(64, 4);
  void* second = heap.Alloc(64, 4);
  void* third = heap.Alloc(64, 4);
  heap.Free(second);
  ExpectValid(heap);
  // The chunk after the free one must point back at it; pretend it does not.
  auto* thirdChunk = reinterpret_cast<ChunkHeader*>(AddressOf(third) - 2 * kWord);
  std::uintptr_t mark = thirdChunk->mark;
  thirdChunk->mark = 0;
  const char* reason = nullptr;
  EXPECT_EQ(heap.Validate(&reason), 0);
  EXPECT_STRNE(reason, "");
  thirdChunk->mark = mark;
  ExpectValid(heap);
  heap.Free(first);
  heap.Free(third);
}

TEST(RegionHeapGrowth, NoGrowSizeMeansOnlyTheFirstRegion) {
  RegionHeap heap;
  ASSERT_EQ(heap.Init(0x1000, 0), 1);
  void* block = heap.Alloc(0x100, 4);
  EXPECT_NE(block, nullptr);
  EXPECT_EQ(heap.Alloc(0x1000, 4), nullptr);
  EXPECT_EQ(heap.RegionCount(), 1);
  heap.Destroy();
  heap.Destroy();
  EXPECT_EQ(heap.RegionCount(), 0);
}

// Many allocations and frees of mixed sizes and alignments on a heap with
// small regions, so splitting, merging, growing and giving regions back all
// happen. Every block is filled with its own pattern and read back before it
// is freed, so overlapping blocks are caught; the heap is validated after
// every step.
struct RandomHeapRun {
  std::function<void*(std::size_t size, std::size_t alignment)> allocate;
  std::function<void(void*)> release;
  std::function<int(const char**)> validate;
  std::function<int()> regionCount;
};

void RunRandomHeap(const RandomHeapRun& run) {
  struct Live {
    unsigned char* block;
    std::size_t size;
    unsigned char seed;
  };
  auto patternByte = [](const Live& entry, std::size_t i) {
    return static_cast<unsigned char>(entry.seed + i * 7);
  };
  auto intact = [&](const Live& entry) {
    for (std::size_t i = 0; i < entry.size; ++i) {
      if (entry.block[i] != patternByte(entry, i)) {
        return false;
      }
    }
    return true;
  };
  std::vector<Live> live;
  std::mt19937 random(20240611);
  int regionsReturned = 0;
  for (int step = 0; step < 5000; ++step) {
    if (live.empty() || (live.size() < 150 && random() % 100 < 55)) {
      std::size_t alignment = std::size_t{4} << (random() % 7);
      std::size_t size = random() % 4 == 0 ? 1 + random() % 6000 : 1 + random() % 300;
      Live entry{static_cast<unsigned char*>(run.allocate(size, alignment)), size,
                 static_cast<unsigned char>(random())};
      ASSERT_NE(entry.block, nullptr);
      ASSERT_EQ(AddressOf(entry.block) % alignment, 0u);
      for (std::size_t i = 0; i < size; ++i) {
        entry.block[i] = patternByte(entry, i);
      }
      live.push_back(entry);
    } else {
      std::size_t index = random() % live.size();
      ASSERT_TRUE(intact(live[index])) << "block overwritten at step " << step;
      int regionsBefore = run.regionCount();
      run.release(live[index].block);
      regionsReturned += run.regionCount() < regionsBefore;
      live[index] = live.back();
      live.pop_back();
    }
    const char* reason = nullptr;
    ASSERT_EQ(run.validate(&reason), 1) << reason << " at step " << step;
  }
  for (const Live& entry : live) {
    ASSERT_TRUE(intact(entry));
    run.release(entry.block);
  }
  EXPECT_EQ(run.regionCount(), 0);
  EXPECT_GT(regionsReturned, 0);
}

TEST(HeapRandom, RegionHeapWithMixedAlignments) {
  RegionHeap heap;
  ASSERT_EQ(heap.Init(0, 0x4000), 1);
  RunRandomHeap(
      {[&](std::size_t size, std::size_t alignment) { return heap.Alloc(size, alignment); },
       [&](void* block) { EXPECT_EQ(heap.Free(block), 1); },
       [&](const char** reason) { return heap.Validate(reason); },
       [&] { return heap.RegionCount(); }});
  heap.Destroy();
}

TEST(HeapRandom, CheckedHeapWithMixedAlignments) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, 0x4000), 1);
  RunRandomHeap({[&](std::size_t size, std::size_t alignment) {
                   return memory.Allocate(size, alignment, nullptr, 0, nullptr);
                 },
                 [&](void* block) {
                   EXPECT_EQ(memory.Check(block), 1);
                   memory.Free(block);
                 },
                 [&](const char** reason) { return memory.Validate(reason); },
                 [&] { return memory.RegionCount(); }});
  EXPECT_TRUE(capture.Lines().empty());
}

}  // namespace
