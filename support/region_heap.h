#pragma once

#include <cstddef>
#include <cstdint>

#include "support/region_index.h"

// All header words are pointer-sized, so the layout is the same on 32-bit and
// 64-bit builds, only scaled by the word size.

// Start of every region taken from the system.
struct RegionHeader {
  RegionHeader* next;
  RegionHeader* previous;
  std::uintptr_t size;      // bytes of the whole region
  std::uintptr_t reserved;  // always 0
};

// Start of every chunk. A chunk in use keeps only size and mark; its memory
// starts right after them.
//
// mark: 1 in a free chunk. In a chunk in use and in the end marker: the
// address of the chunk just before it if that one is free, otherwise 0.
//
// The end marker that closes every region is a ChunkHeader of size 0 whose
// third word holds the size of a chunk covering the whole region and whose
// fourth word holds the region's address.
struct ChunkHeader {
  std::uintptr_t size;  // bytes, header included; 0 only in the end marker
  std::uintptr_t mark;
  std::uintptr_t nextFree;      // free chunk: next in the free list, or 0
  std::uintptr_t previousFree;  // free chunk: previous in the free list (or the list head)
};

// A first-fit heap with an address-ordered free list and coalescing. It takes
// memory from the system in regions of the grow size (a larger request gets a
// region of its own) and gives a region back as soon as it is entirely free.
// It has no lock of its own.
//
// Beside each region it keeps a RegionIndex of the region's free chunks, so
// a chunk freed between two chunks in use finds its place in the free list
// without walking the chunks that follow it.
class RegionHeap {
 public:
  static constexpr std::size_t kWord = sizeof(std::uintptr_t);
  static constexpr std::uintptr_t kFreeMark = 1;
  // Fills the words skipped to align a block, so Free can step back over them.
  static constexpr std::uintptr_t kFillWord = ~std::uintptr_t{0};
  // Header that stays in front of a block while its chunk is in use.
  static constexpr std::size_t kUsedHeader = 2 * kWord;
  // A region's own bookkeeping: its header and its end marker.
  static constexpr std::size_t kRegionOverhead = sizeof(RegionHeader) + sizeof(ChunkHeader);
  // Extra bytes of a region made for one request that is too large for the grow size.
  static constexpr std::size_t kOwnRegionExtra = kRegionOverhead + kUsedHeader;
  // Requests and alignments above this are refused, so size arithmetic cannot overflow.
  static constexpr std::size_t kLargestRequest = SIZE_MAX / 8;

  RegionHeap();
  RegionHeap(const RegionHeap&) = delete;
  RegionHeap& operator=(const RegionHeap&) = delete;

  // Empties the heap, then takes a first region of initialSize bytes unless it
  // is 0. A growSize of 0 means the heap never takes more regions. Returns 0
  // when the first region could not be had.
  int Init(std::size_t initialSize, std::size_t growSize);
  // A block of size bytes aligned to alignment (a power of two; at least one
  // word is used), or null when size is 0 or no memory can be had.
  void* Alloc(std::size_t size, std::size_t alignment);
  // Gives back a block from Alloc. Returns 0, changing nothing, when block is
  // not the start of a chunk in use.
  int Free(void* block);
  // Gives every region back to the system. Until the next Init, Alloc
  // returns null and takes no region.
  void Destroy();

  // A block in use as Find located it: its region's index and its chunk.
  struct Place {
    RegionIndex* index = nullptr;
    ChunkHeader* chunk = nullptr;  // null when the address is no block in use
  };

  // 1 when [address, address + bytes) lies inside the chunks of one region.
  int Contains(std::uintptr_t address, std::size_t bytes) const {
    const RegionIndex* index = RegionOf(address);
    return index != nullptr && bytes <= index->EndMarker() - address ? 1 : 0;
  }
  // Locates block when it looks like the start of a block in use (it lies in
  // a region and its chunk header says so). Reads nothing outside the heap's
  // regions.
  Place Find(std::uintptr_t block) const;
  // Gives back the block that Find located, as Free does; nothing may have
  // changed the heap in between.
  void Release(const Place& place);

  // Walks every region and the free list and checks their invariants. On a
  // fault returns 0 and points reason at a description.
  int Validate(const char** reason) const;
  const RegionHeader* FirstRegion() const { return regions; }
  const ChunkHeader* FirstFree() const {
    return reinterpret_cast<const ChunkHeader*>(freeHead.nextFree);
  }
  int RegionCount() const;

 private:
  RegionIndex* RegionOf(std::uintptr_t address) const {
    for (RegionIndex* index = indexes; index != nullptr; index = index->next) {
      if (index->Covers(address)) {
        return index;
      }
    }
    return nullptr;
  }
  ChunkHeader* FirstFit(std::size_t need) const;
  int Grow(std::size_t need);
  int AddRegion(std::size_t bytes);
  void ReleaseRegion(RegionIndex* index, ChunkHeader* chunk);
  RegionIndex* IndexFor(RegionHeader* region);
  void Take(ChunkHeader* chunk, std::size_t need, std::size_t smallest);
  ChunkHeader* ChunkOfBlock(const RegionIndex* index, std::uintptr_t block) const;
  int ValidateRegion(const RegionIndex* index, std::size_t* freeChunks, const char** reason) const;
  int ValidateFreeList(std::size_t freeChunks, const char** reason) const;

  void PushFront(ChunkHeader* chunk);
  void Unlink(ChunkHeader* chunk);
  void Replace(ChunkHeader* old, ChunkHeader* chunk);
  void InsertBefore(ChunkHeader* next, ChunkHeader* chunk);
  void ResetLists();

  int initialised = 0;
  // List head inside the heap: size and mark 0, so it never looks free and is never merged.
  ChunkHeader freeHead{};
  ChunkHeader* freeTail = &freeHead;
  RegionHeader* regions = nullptr;  // most recently added first
  RegionIndex* indexes = nullptr;   // one per region, most recently added first
  // The empty index of the region given back last, kept for the next region
  // of its size: a heap whose only region comes and goes maps no index anew.
  RegionIndex* spareIndex = nullptr;
  std::size_t growSize = 0;
};
