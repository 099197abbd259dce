#include "support/region_heap.h"

#include <algorithm>
#include <cstring>

#include "support/region_memory.h"

namespace {

using Word = std::uintptr_t;
constexpr std::size_t kWord = RegionHeap::kWord;
constexpr std::size_t kSmallestChunk = sizeof(ChunkHeader);
// Smallest region that can hold one chunk besides its bookkeeping.
constexpr std::size_t kSmallestRegion = RegionHeap::kRegionOverhead + kSmallestChunk;

Word AddressOf(const void* pointer) {
  return reinterpret_cast<Word>(pointer);
}
ChunkHeader* ChunkAt(Word address) {
  return reinterpret_cast<ChunkHeader*>(address);
}
ChunkHeader* Following(const ChunkHeader* chunk) {
  return ChunkAt(AddressOf(chunk) + chunk->size);
}
ChunkHeader* NextFree(const ChunkHeader* chunk) {
  return ChunkAt(chunk->nextFree);
}
ChunkHeader* PreviousFree(const ChunkHeader* chunk) {
  return ChunkAt(chunk->previousFree);
}
bool IsFree(const ChunkHeader* chunk) {
  return chunk->mark == RegionHeap::kFreeMark;
}
bool IsEndMarker(const ChunkHeader* chunk) {
  return chunk->size == 0;
}

Word FirstChunkAddress(const RegionHeader* region) {
  return AddressOf(region) + sizeof(RegionHeader);
}
ChunkHeader* EndMarkerOf(const RegionHeader* region) {
  return ChunkAt(AddressOf(region) + region->size - sizeof(ChunkHeader));
}

// Every multiple here is a power of two: a mask instead of a division.
std::size_t RoundUp(std::size_t value, std::size_t multiple) {
  return (value + multiple - 1) & ~(multiple - 1);
}
std::size_t RoundDown(std::size_t value, std::size_t multiple) {
  return value & ~(multiple - 1);
}
bool IsPowerOfTwo(std::size_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

// Words at arbitrary addresses (alignment fill, caller memory) are copied, so
// reading them does not depend on how the caller last wrote those bytes.
Word LoadWord(Word address) {
  Word value;
  std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return value;
}
void StoreWord(Word address, Word value) {
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof value);
}

// The chunk's memory starts after its used header, moved up to the
// alignment; each skipped word gets the fill word.
void* PlaceBlock(ChunkHeader* chunk, std::size_t alignment) {
  Word block = AddressOf(chunk) + RegionHeap::kUsedHeader;
  Word aligned = RoundUp(block, alignment);
  for (Word word = block; word < aligned; word += kWord) {
    StoreWord(word, RegionHeap::kFillWord);
  }
  return reinterpret_cast<void*>(aligned);
}

}  // namespace

RegionHeap::RegionHeap() {
  ResetLists();
}

int RegionHeap::Init(std::size_t initialSize, std::size_t newGrowSize) {
  Destroy();  // a second Init must not strand the regions of the first
  ResetLists();
  regions = nullptr;
  indexes = nullptr;
  growSize = RoundDown(std::min(newGrowSize, kLargestRequest), kWord);
  initialised = 1;
  if (initialSize == 0) {
    return 1;
  }
  std::size_t bytes =
      std::max(RoundUp(std::min(initialSize, kLargestRequest), kWord), kSmallestRegion);
  return AddRegion(bytes);
}

void* RegionHeap::Alloc(std::size_t size, std::size_t alignment) {
  if (size == 0 || size > kLargestRequest || alignment > kLargestRequest ||
      (alignment != 0 && !IsPowerOfTwo(alignment))) {
    return nullptr;
  }
  std::size_t align = std::max(alignment, kWord);
  // The smallest remainder worth splitting off as a free chunk of its own.
  std::size_t smallest = std::max(kSmallestChunk, align);
  std::size_t need = std::max(size + kUsedHeader, smallest);
  // An aligned block may start up to align - kWord bytes after the header.
  need = align > kWord ? RoundDown(need + 2 * (align - 1), align) : RoundUp(need, kWord);

  ChunkHeader* chunk = FirstFit(need);
  while (chunk == nullptr) {
    if (!Grow(need)) {
      return nullptr;
    }
    chunk = FirstFit(need);
  }
  Take(chunk, need, smallest);
  return PlaceBlock(chunk, align);
}

int RegionHeap::Free(void* block) {
  Place place = Find(AddressOf(block));
  if (place.chunk == nullptr) {
    return 0;
  }
  Release(place);
  return 1;
}

void RegionHeap::Release(const Place& place) {
  RegionIndex* index = place.index;
  ChunkHeader* chunk = place.chunk;
  ChunkHeader* next = Following(chunk);
  ChunkHeader* merged;
  if (chunk->mark != 0) {
    // The chunk before is free: it grows over this chunk and keeps its list place.
    merged = ChunkAt(chunk->mark);
    merged->size += chunk->size;
    if (IsFree(next)) {
      Unlink(next);
      index->Erase(AddressOf(next));
      merged->size += next->size;
    }
  } else {
    chunk->mark = kFreeMark;
    merged = chunk;
    index->Insert(AddressOf(chunk));
    if (IsFree(next)) {
      chunk->size += next->size;
      Replace(next, chunk);
      index->Erase(AddressOf(next));
    } else {
      // Keep the region's part of the list in address order: go before the
      // next free chunk of the region, or to the tail when there is none.
      InsertBefore(ChunkAt(index->NextAfter(AddressOf(chunk))), chunk);
    }
  }
  ChunkHeader* after = Following(merged);
  after->mark = AddressOf(merged);
  if (IsEndMarker(after) && merged->size == after->nextFree) {
    ReleaseRegion(index, merged);
  }
}

void RegionHeap::Destroy() {
  // A destroyed heap never grows again, so a stray Alloc cannot take a
  // region that nothing would give back.
  growSize = 0;
  if (!initialised) {
    return;
  }
  RegionHeader* region = regions;
  while (region != nullptr) {
    RegionHeader* next = region->next;
    GiveRegion(region, region->size);
    region = next;
  }
  regions = nullptr;
  RegionIndex* index = indexes;
  while (index != nullptr) {
    RegionIndex* next = index->next;
    RegionIndex::Release(index);
    index = next;
  }
  indexes = nullptr;
  RegionIndex::Release(spareIndex);
  spareIndex = nullptr;
  ResetLists();
  initialised = 0;
}

RegionHeap::Place RegionHeap::Find(std::uintptr_t block) const {
  RegionIndex* index = RegionOf(block);
  ChunkHeader* chunk = index != nullptr ? ChunkOfBlock(index, block) : nullptr;
  return chunk != nullptr ? Place{index, chunk} : Place{};
}

// Steps back over the alignment fill to the chunk's used header and checks
// that the chunk is in use, lies in the region and holds block.
ChunkHeader* RegionHeap::ChunkOfBlock(const RegionIndex* index, std::uintptr_t block) const {
  if (block % kWord != 0) {
    return nullptr;
  }
  Word firstChunk = index->FirstChunk();
  Word address = block;
  while (address >= firstChunk + kUsedHeader + kWord && LoadWord(address - kWord) == kFillWord) {
    address -= kWord;
  }
  if (address < firstChunk + kUsedHeader) {
    return nullptr;
  }
  ChunkHeader* chunk = ChunkAt(address - kUsedHeader);
  bool inUse = !IsFree(chunk) && chunk->size >= kSmallestChunk && chunk->size % kWord == 0 &&
               chunk->size <= index->EndMarker() - AddressOf(chunk) &&
               block < AddressOf(chunk) + chunk->size;
  return inUse ? chunk : nullptr;
}

int RegionHeap::RegionCount() const {
  int count = 0;
  for (const RegionHeader* region = regions; region != nullptr; region = region->next) {
    ++count;
  }
  return count;
}

ChunkHeader* RegionHeap::FirstFit(std::size_t need) const {
  for (ChunkHeader* chunk = NextFree(&freeHead); chunk != nullptr; chunk = NextFree(chunk)) {
    if (chunk->size >= need) {
      return chunk;
    }
  }
  return nullptr;
}

int RegionHeap::Grow(std::size_t need) {
  if (growSize == 0) {
    return 0;
  }
  std::size_t bytes = need + kOwnRegionExtra >= growSize ? need + kOwnRegionExtra : growSize;
  return AddRegion(bytes);
}

// The region goes at the head of the region list; its one free chunk covers
// everything between the region header and the end marker and goes at the
// head of the free list.
int RegionHeap::AddRegion(std::size_t bytes) {
  auto* region = static_cast<RegionHeader*>(TakeRegion(bytes));
  if (region == nullptr) {
    return 0;
  }
  region->size = bytes;
  RegionIndex* index = IndexFor(region);
  if (index == nullptr) {
    GiveRegion(region, bytes);
    return 0;
  }
  index->next = indexes;
  indexes = index;
  region->next = regions;
  region->previous = nullptr;
  region->reserved = 0;
  if (regions != nullptr) {
    regions->previous = region;
  }
  regions = region;

  ChunkHeader* chunk = ChunkAt(FirstChunkAddress(region));
  chunk->size = bytes - kRegionOverhead;
  chunk->mark = kFreeMark;
  PushFront(chunk);
  index->Insert(AddressOf(chunk));

  ChunkHeader* endMarker = EndMarkerOf(region);
  endMarker->size = 0;
  endMarker->mark = AddressOf(chunk);
  endMarker->nextFree = bytes - kRegionOverhead;
  endMarker->previousFree = AddressOf(region);
  return 1;
}

RegionIndex* RegionHeap::IndexFor(RegionHeader* region) {
  if (spareIndex != nullptr && spareIndex->MoveTo(region)) {
    RegionIndex* index = spareIndex;
    spareIndex = nullptr;
    return index;
  }
  return RegionIndex::Create(region);
}

void RegionHeap::ReleaseRegion(RegionIndex* index, ChunkHeader* chunk) {
  RegionHeader* region = index->Region();
  Unlink(chunk);
  RegionIndex** link = &indexes;
  while (*link != index) {
    link = &(*link)->next;
  }
  *link = index->next;
  index->Erase(AddressOf(chunk));
  RegionIndex::Release(spareIndex);
  spareIndex = index;
  if (region->previous != nullptr) {
    region->previous->next = region->next;
  } else {
    regions = region->next;
  }
  if (region->next != nullptr) {
    region->next->previous = region->previous;
  }
  GiveRegion(region, region->size);
}

// Takes need bytes from the front of a free chunk; a remainder of at least
// smallest bytes stays free in the chunk's place in the list.
void RegionHeap::Take(ChunkHeader* chunk, std::size_t need, std::size_t smallest) {
  RegionIndex* index = RegionOf(AddressOf(chunk));
  index->Erase(AddressOf(chunk));
  if (chunk->size - need >= smallest) {
    ChunkHeader* rest = ChunkAt(AddressOf(chunk) + need);
    rest->size = chunk->size - need;
    rest->mark = kFreeMark;
    Replace(chunk, rest);
    index->Insert(AddressOf(rest));
    chunk->size = need;
    Following(rest)->mark = AddressOf(rest);
  } else {
    Unlink(chunk);
    Following(chunk)->mark = 0;
  }
  chunk->mark = 0;
}

void RegionHeap::PushFront(ChunkHeader* chunk) {
  InsertBefore(NextFree(&freeHead), chunk);
}

void RegionHeap::Unlink(ChunkHeader* chunk) {
  ChunkHeader* previous = PreviousFree(chunk);
  ChunkHeader* next = NextFree(chunk);
  previous->nextFree = AddressOf(next);
  if (next != nullptr) {
    next->previousFree = AddressOf(previous);
  } else {
    freeTail = previous;
  }
}

void RegionHeap::Replace(ChunkHeader* old, ChunkHeader* chunk) {
  ChunkHeader* previous = PreviousFree(old);
  ChunkHeader* next = NextFree(old);
  chunk->previousFree = AddressOf(previous);
  chunk->nextFree = AddressOf(next);
  previous->nextFree = AddressOf(chunk);
  if (next != nullptr) {
    next->previousFree = AddressOf(chunk);
  } else {
    freeTail = chunk;
  }
}

// Puts chunk before next, or at the tail of the list when next is null.
void RegionHeap::InsertBefore(ChunkHeader* next, ChunkHeader* chunk) {
  ChunkHeader* previous = next != nullptr ? PreviousFree(next) : freeTail;
  chunk->previousFree = AddressOf(previous);
  chunk->nextFree = AddressOf(next);
  previous->nextFree = AddressOf(chunk);
  if (next != nullptr) {
    next->previousFree = AddressOf(chunk);
  } else {
    freeTail = chunk;
  }
}

void RegionHeap::ResetLists() {
  freeHead = ChunkHeader{};
  freeTail = &freeHead;
}

int RegionHeap::Validate(const char** reason) const {
  const char* ignored = nullptr;
  const char** out = reason != nullptr ? reason : &ignored;
  *out = "";
  std::size_t freeChunks = 0;
  const RegionHeader* previous = nullptr;
  const RegionIndex* index = indexes;
  for (const RegionHeader* region = regions; region != nullptr; region = region->next) {
    if (region->previous != previous || index == nullptr || index->Region() != region) {
      *out = "region list links do not match";
      return 0;
    }
    if (!ValidateRegion(index, &freeChunks, out)) {
      return 0;
    }
    previous = region;
    index = index->next;
  }
  if (index != nullptr) {
    *out = "an index outlives its region";
    return 0;
  }
  return ValidateFreeList(freeChunks, out);
}

int RegionHeap::ValidateRegion(const RegionIndex* index, std::size_t* freeChunks,
                               const char** reason) const {
  const RegionHeader* region = index->Region();
  std::size_t regionFreeChunks = 0;
  if (region->reserved != 0 || region->size < kSmallestRegion || region->size % kWord != 0) {
    *reason = "region header damaged";
    return 0;
  }
  Word endAddress = AddressOf(EndMarkerOf(region));
  Word address = FirstChunkAddress(region);
  Word expectedMark = 0;
  while (address < endAddress) {
    const ChunkHeader* chunk = ChunkAt(address);
    if (chunk->size < kSmallestChunk || chunk->size % kWord != 0 ||
        chunk->size > endAddress - address) {
      *reason = "chunk size out of range";
      return 0;
    }
    if (IsFree(chunk)) {
      if (expectedMark != 0) {
        *reason = "two adjacent free chunks";
        return 0;
      }
      if (!index->Holds(address)) {
        *reason = "free chunk missing from the region's index";
        return 0;
      }
      ++regionFreeChunks;
      expectedMark = address;
    } else {
      if (chunk->mark != expectedMark) {
        *reason = "mark of a chunk in use does not match the chunk before it";
        return 0;
      }
      expectedMark = 0;
    }
    address += chunk->size;
  }
  const ChunkHeader* endMarker = EndMarkerOf(region);
  if (endMarker->size != 0 || endMarker->mark != expectedMark ||
      endMarker->nextFree != region->size - kRegionOverhead ||
      endMarker->previousFree != AddressOf(region)) {
    *reason = "end marker damaged";
    return 0;
  }
  if (index->Count() != regionFreeChunks) {
    *reason = "the region's index holds chunks that are not free";
    return 0;
  }
  *freeChunks += regionFreeChunks;
  return 1;
}

int RegionHeap::ValidateFreeList(std::size_t freeChunks, const char** reason) const {
  std::size_t listed = 0;
  const ChunkHeader* previous = &freeHead;
  for (const ChunkHeader* chunk = NextFree(&freeHead); chunk != nullptr; chunk = NextFree(chunk)) {
    if (++listed > freeChunks || RegionOf(AddressOf(chunk)) == nullptr || !IsFree(chunk)) {
      *reason = "free list holds a chunk that is not a free chunk of the heap";
      return 0;
    }
    if (PreviousFree(chunk) != previous) {
      *reason = "free list back link does not match";
      return 0;
    }
    previous = chunk;
  }
  if (listed != freeChunks || freeTail != previous) {
    *reason = "free list misses free chunks or its tail";
    return 0;
  }
  for (const RegionIndex* index = indexes; index != nullptr; index = index->next) {
    Word last = 0;
    for (const ChunkHeader* chunk = NextFree(&freeHead); chunk != nullptr;
         chunk = NextFree(chunk)) {
      if (!index->Covers(AddressOf(chunk))) {
        continue;
      }
      if (AddressOf(chunk) <= last) {
        *reason = "free chunks of a region are not in address order";
        return 0;
      }
      last = AddressOf(chunk);
    }
  }
  return 1;
}
