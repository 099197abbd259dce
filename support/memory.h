#pragma once

#include <cstddef>
#include <cstdint>

#include "support/critical_lock.h"
#include "support/region_heap.h"

// The program's checked heap.
//
// Every block has a BlockHeader in front of it and a guard word right after
// its last byte; both are checked when the block is given back. The word just
// before the caller's first byte always holds the header's address.
//
// The one instance is theMemory. Call Init before the first Allocate and
// Shutdown after the last Free; all other operations may come from any thread.

inline constexpr std::uint16_t kLiveTag = 0x4375;
inline constexpr std::uint16_t kFreedTag = 0x5124;
// Guard words, stored little-endian: 64 37 68 56 and 2D 40 74 59 in memory.
inline constexpr std::uint32_t kGuardLive = 0x56683764;
inline constexpr std::uint32_t kGuardFreed = 0x5974402d;

struct BlockHeader {
  std::int32_t size;        // the size the caller asked for
  std::uint16_t tag;        // kLiveTag while live, kFreedTag after Free
  std::uint16_t alignment;  // the alignment the caller asked for
  const char* file;         // caller's source file, or null
  std::int32_t line;        // caller's line, or 0
  const char* name;         // caller's label, or null
  const BlockHeader* self;  // the header's own address; last, so it ends right at the header's end
};

class ktMemory {
 public:
  // Receives the check reports; printf-style like Trace, which is the default.
  using ReportFunction = void (*)(const char* format, ...);

  // Largest block size; the header keeps the size as a 32-bit number.
  static constexpr std::size_t kLargestBlock = 0x7fffffff;

  ktMemory() = default;
  // Shuts the heap down if that has not happened yet.
  ~ktMemory();
  ktMemory(const ktMemory&) = delete;
  ktMemory& operator=(const ktMemory&) = delete;

  // Prepares the lock and the heap and takes a first region of initialSize
  // bytes unless it is 0; later regions have growSize bytes (0: never grow).
  // Does nothing if already initialised. Returns 0 if the first region could
  // not be had.
  int Init(std::size_t initialSize, std::size_t growSize);
  // A block of size bytes aligned to alignment (a power of two; values below
  // 4 count as 4), or null. Without memory, writes "ktMemory::not enough
  // memory FILE LINE NAME" to the debug output. File, line and name are kept
  // in the header and appear in the reports.
  void* Allocate(std::size_t size, std::size_t alignment, const char* file, int line,
                 const char* name);
  // Checks and gives back a block; null is ignored. A block reported as dirty
  // (given back twice, or never handed out by this heap) is refused and left
  // as it is; an overwritten guard is reported and the block freed all the same.
  void Free(void* block);
  // Reports what is wrong with a live block; 1 when nothing is.
  int Check(const void* block);
  // Gives every region back to the system. Does nothing if not initialised.
  void Shutdown();

  // Routes the check reports elsewhere (tests); null restores Trace. Set it
  // while no other thread uses this heap.
  void SetReportFunction(ReportFunction function);

  // Heap inspection for tests and diagnostics, under the lock.
  int Validate(const char** reason);
  int RegionCount();
  // Size of the most recently added region, 0 when there is none.
  std::size_t NewestRegionSize();
  // Bytes of the heap chunk holding a live block (its header included), 0 if none.
  std::size_t ChunkSizeOf(const void* block);

 private:
  struct Inspection;

  Inspection Inspect(const void* block) const;
  void Report(const Inspection& inspection) const;

  int initialised = 0;
  CriticalLock lock;
  RegionHeap heap;
  ReportFunction report = nullptr;
};

// The program's one checked heap.
extern ktMemory theMemory;

// Base class of objects created on the program's checked heap (ktMemory),
// 16-byte aligned. Creation yields null when the heap has no memory; the
// constructor then does not run.
class ktAllocator16 {
 public:
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* block) noexcept;
};
