#include "support/region_index.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "support/region_heap.h"
#include "support/region_memory.h"

namespace {

constexpr std::size_t kRegionBytes = 0x400000;  // wide enough for three summary levels

class RegionIndexTest : public testing::Test {
 protected:
  void SetUp() override {
    region = static_cast<RegionHeader*>(TakeRegion(kRegionBytes));
    ASSERT_NE(region, nullptr);
    region->size = kRegionBytes;
    index = RegionIndex::Create(region);
    ASSERT_NE(index, nullptr);
  }
  void TearDown() override {
    RegionIndex::Release(index);
    GiveRegion(region, kRegionBytes);
  }

  std::uintptr_t At(std::size_t offset) const { return index->FirstChunk() + offset; }

  RegionHeader* region = nullptr;
  RegionIndex* index = nullptr;
};

TEST_F(RegionIndexTest, FindsTheNextFreeChunkAcrossEveryLevel) {
  const std::size_t last = index->EndMarker() - index->FirstChunk() - sizeof(ChunkHeader);
  const std::size_t offsets[] = {0, 8 * sizeof(void*), 0x1000, 0x40000, last};
  for (std::size_t offset : offsets) {
    index->Insert(At(offset));
  }
  EXPECT_EQ(index->Count(), 5u);
  for (std::size_t i = 0; i + 1 < std::size(offsets); ++i) {
    EXPECT_EQ(index->NextAfter(At(offsets[i])), At(offsets[i + 1])) << i;
    EXPECT_EQ(index->NextAfter(At(offsets[i] + sizeof(void*))), At(offsets[i + 1])) << i;
  }
  EXPECT_EQ(index->NextAfter(At(last)), 0u);
  index->Erase(At(0x1000));
  index->Erase(At(0x40000));
  EXPECT_EQ(index->NextAfter(At(8 * sizeof(void*))), At(last));
  EXPECT_EQ(index->Holds(At(0x1000)), 0);
  EXPECT_EQ(index->Holds(At(last)), 1);
}

TEST_F(RegionIndexTest, ServesOnlyARegionOfItsOwnSize) {
  auto* other = static_cast<RegionHeader*>(TakeRegion(2 * kRegionBytes));
  ASSERT_NE(other, nullptr);
  other->size = 2 * kRegionBytes;
  EXPECT_EQ(index->MoveTo(other), 0);
  other->size = kRegionBytes;
  EXPECT_EQ(index->MoveTo(other), 1);
  EXPECT_EQ(index->Region(), other);
  EXPECT_EQ(index->Covers(reinterpret_cast<std::uintptr_t>(other) + sizeof(RegionHeader)), 1);
  EXPECT_EQ(index->Covers(reinterpret_cast<std::uintptr_t>(region) + sizeof(RegionHeader)), 0);
  index->MoveTo(region);
  GiveRegion(other, 2 * kRegionBytes);
}

}  // namespace
