#include "support/memory.h"

#include <cinttypes>
#include <cstddef>
#include <cstring>
#include <new>

#include "support/trace.h"

ktMemory theMemory;

namespace {

using Word = std::uintptr_t;
constexpr std::size_t kWord = RegionHeap::kWord;
constexpr std::size_t kGuardBytes = 4;
constexpr std::size_t kSmallAlignment = 4;

static_assert(offsetof(BlockHeader, self) + sizeof(BlockHeader::self) == sizeof(BlockHeader),
              "the self field must end the header so it is the word before an unaligned block");
static_assert(sizeof(BlockHeader) % kWord == 0, "blocks after the header stay word-aligned");

Word AddressOf(const void* pointer) {
  return reinterpret_cast<Word>(pointer);
}
void* PointerAt(Word address) {
  return reinterpret_cast<void*>(address);
}

bool IsPowerOfTwo(std::size_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

Word LoadWord(Word address) {
  Word value;
  std::memcpy(&value, PointerAt(address), sizeof value);
  return value;
}
void StoreWord(Word address, Word value) {
  std::memcpy(PointerAt(address), &value, sizeof value);
}

// Guards are written byte by byte in little-endian order, so their bytes in
// memory are the same on every host.
void StoreGuard(Word address, std::uint32_t guard) {
  auto* bytes = static_cast<unsigned char*>(PointerAt(address));
  for (std::size_t i = 0; i < kGuardBytes; ++i) {
    bytes[i] = static_cast<unsigned char>(guard >> (8 * i));
  }
}

const char* TextOrNull(const char* text) {
  return text != nullptr ? text : "(null)";
}

}  // namespace

struct ktMemory::Inspection {
  enum State { kSound, kMemoryOver, kDirty };
  State state = kDirty;
  Word headerAddress = 0;
  // The header when it lies inside the heap's regions, else null (its tag
  // and size then report as 0).
  const BlockHeader* header = nullptr;
  // The header lies in a chunk in use, points at itself and covers the
  // block: only then are its file and name texts read for the report.
  bool headerGenuine = false;
  RegionHeap::Place place;  // the header's chunk, when the header starts a block in use
  unsigned char guard[kGuardBytes] = {};
};

ktMemory::~ktMemory() {
  Shutdown();
  lock.Destroy();
}

int ktMemory::Init(std::size_t initialSize, std::size_t growSize) {
  if (initialised) {
    return 1;
  }
  lock.Init();
  CriticalLockGuard hold(lock);
  initialised = 1;
  return heap.Init(initialSize, growSize);
}

void* ktMemory::Allocate(std::size_t size, std::size_t alignment, const char* file, int line,
                         const char* name) {
  if (alignment < kSmallAlignment) {
    alignment = kSmallAlignment;
  }
  Word block = 0;
  if (size <= kLargestBlock && IsPowerOfTwo(alignment) && alignment <= kLargestBlock) {
    CriticalLockGuard hold(lock);
    Word header = AddressOf(heap.Alloc(size + alignment + sizeof(BlockHeader), kWord));
    if (header != 0) {
      block = header + sizeof(BlockHeader);
      if (alignment > kSmallAlignment) {
        block = (block + alignment - 1) & ~(alignment - 1);
      }
      // Built in place: a copy assembled on the stack would be read back
      // in wide loads that stall on the narrow stores that made it.
      new (PointerAt(header)) BlockHeader{static_cast<std::int32_t>(size),
                                          kLiveTag,
                                          static_cast<std::uint16_t>(alignment),
                                          file,
                                          line,
                                          name,
                                          reinterpret_cast<const BlockHeader*>(header)};
      StoreWord(block - kWord, header);
      StoreGuard(block + size, kGuardLive);
    }
  }
  if (block == 0) {
    DebugPrint("ktMemory::not enough memory %s %d %s", TextOrNull(file), line, TextOrNull(name));
  }
  return PointerAt(block);
}

void ktMemory::Free(void* block) {
  if (block == nullptr) {
    return;
  }
  CriticalLockGuard hold(lock);
  Inspection inspection = Inspect(block);
  Report(inspection);
  if (inspection.state == Inspection::kDirty) {
    return;  // releasing it could corrupt the free list
  }
  std::uint16_t freedTag = kFreedTag;
  std::memcpy(PointerAt(inspection.headerAddress + offsetof(BlockHeader, tag)), &freedTag,
              sizeof freedTag);
  StoreGuard(AddressOf(block) + static_cast<std::size_t>(inspection.header->size), kGuardFreed);
  heap.Release(inspection.place);
}

int ktMemory::Check(const void* block) {
  CriticalLockGuard hold(lock);
  Inspection inspection = Inspect(block);
  Report(inspection);
  return inspection.state == Inspection::kSound ? 1 : 0;
}

void ktMemory::Shutdown() {
  if (!initialised) {
    return;
  }
  {
    CriticalLockGuard hold(lock);
    heap.Destroy();
    initialised = 0;
  }
  lock.Destroy();
}

void ktMemory::SetReportFunction(ReportFunction function) {
  report = function;
}

int ktMemory::Validate(const char** reason) {
  CriticalLockGuard hold(lock);
  return heap.Validate(reason);
}

int ktMemory::RegionCount() {
  CriticalLockGuard hold(lock);
  return heap.RegionCount();
}

std::size_t ktMemory::NewestRegionSize() {
  CriticalLockGuard hold(lock);
  const RegionHeader* region = heap.FirstRegion();
  return region != nullptr ? region->size : 0;
}

std::size_t ktMemory::ChunkSizeOf(const void* block) {
  CriticalLockGuard hold(lock);
  Inspection inspection = Inspect(block);
  if (!inspection.headerGenuine) {
    return 0;
  }
  return inspection.place.chunk->size;
}

// Reads the header and guard of a block without touching memory outside the
// heap's regions, so a pointer the heap never gave cannot crash the check.
ktMemory::Inspection ktMemory::Inspect(const void* block) const {
  Inspection inspection;
  Word address = AddressOf(block);
  if (address < kWord || !heap.Contains(address - kWord, kWord)) {
    inspection.headerAddress = address;
    return inspection;
  }
  Word header = LoadWord(address - kWord);
  inspection.headerAddress = header;
  if (header % alignof(BlockHeader) != 0 || !heap.Contains(header, sizeof(BlockHeader))) {
    return inspection;
  }
  inspection.header = static_cast<const BlockHeader*>(PointerAt(header));
  const BlockHeader& fields = *inspection.header;
  inspection.place = heap.Find(header);
  const ChunkHeader* chunk = inspection.place.chunk;
  std::size_t chunkBytes = chunk != nullptr ? AddressOf(chunk) + chunk->size - header : 0;
  inspection.headerGenuine =
      AddressOf(fields.self) == header && fields.size >= 0 &&
      address >= header + sizeof(BlockHeader) &&
      address - header + static_cast<std::size_t>(fields.size) + kGuardBytes <= chunkBytes;
  if (!inspection.headerGenuine || fields.tag != kLiveTag) {
    return inspection;
  }
  std::memcpy(inspection.guard, PointerAt(address + static_cast<std::size_t>(fields.size)),
              kGuardBytes);
  unsigned char live[kGuardBytes];
  StoreGuard(AddressOf(live), kGuardLive);
  inspection.state = std::memcmp(inspection.guard, live, kGuardBytes) == 0
                         ? Inspection::kSound
                         : Inspection::kMemoryOver;
  return inspection;
}

void ktMemory::Report(const Inspection& inspection) const {
  if (inspection.state == Inspection::kSound) {
    return;
  }
  ReportFunction sink = report != nullptr ? report : Trace;
  const BlockHeader* header = inspection.header;
  unsigned tag = header != nullptr ? header->tag : 0;
  int size = header != nullptr ? header->size : 0;
  const char* file = inspection.headerGenuine ? header->file : nullptr;
  const char* name = inspection.headerGenuine ? header->name : nullptr;
  int line = inspection.headerGenuine ? header->line : 0;
  // Addresses print in full hex digits of the pointer's own width, without
  // padding, on every platform.
  if (inspection.state == Inspection::kDirty) {
    sink("ktMemory::CHK dirty memory adr:%" PRIxPTR " id:%x size:%d %s %d %s",
         inspection.headerAddress, tag, size, TextOrNull(file), line, TextOrNull(name));
    return;
  }
  const unsigned char* guard = inspection.guard;
  sink("ktMemory::CHK memory over adr:%" PRIxPTR " id:%x eid:%02x%02x%02x%02x size:%d %s %d %s",
       inspection.headerAddress, tag, static_cast<unsigned>(guard[0]),
       static_cast<unsigned>(guard[1]), static_cast<unsigned>(guard[2]),
       static_cast<unsigned>(guard[3]), size, TextOrNull(file), line, TextOrNull(name));
}

void* ktAllocator16::operator new(std::size_t size) noexcept {
  return theMemory.Allocate(size, 16, nullptr, 0, nullptr);
}

void ktAllocator16::operator delete(void* block) noexcept {
  theMemory.Free(block);
}
