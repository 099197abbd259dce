#include "support/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "debug_output_capture.h"
#include "memory_test_helpers.h"

namespace {

constexpr std::size_t kGrowSize = 0x400000;
constexpr bool kWord32 = sizeof(void*) == 4;

std::uintptr_t AddressOf(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

const void* HeaderOf(const void* block) {
  const void* header;
  std::memcpy(&header, static_cast<const char*>(block) - sizeof header, sizeof header);
  return header;
}

std::string GuardBytes(const void* at) {
  const auto* bytes = static_cast<const unsigned char*>(at);
  char text[16];
  snprintf(text, sizeof text, "%02x %02x %02x %02x", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

struct Window : ktAllocator16 {
  static inline int constructed = 0;
  Window() { ++constructed; }
  char payload[100] = {};
};

TEST(Allocator16, FirstObjectTakesAFirstRegionAndIsAligned) {
  ReportCapture capture(theMemory);
  ASSERT_EQ(theMemory.Init(0, kGrowSize), 1);
  EXPECT_EQ(theMemory.RegionCount(), 0);

  Window* window = new Window;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(AddressOf(window) % 16, 0u);
  EXPECT_EQ(theMemory.RegionCount(), 1);
  EXPECT_EQ(theMemory.NewestRegionSize(), kGrowSize);
  // The heap is asked for the object's 100 bytes + 16 for the alignment + the
  // header (24 bytes on 32-bit, 40 on 64-bit); the chunk adds two header
  // words and rounds up to a word.
  ASSERT_EQ(sizeof(Window), 100u);
  EXPECT_EQ(theMemory.ChunkSizeOf(window), kWord32 ? 148u : 176u);

  delete window;
  EXPECT_EQ(theMemory.RegionCount(), 0);
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(Allocator16, NoMemoryYieldsNullWithoutConstructing) {
  ReportCapture capture(theMemory);
  ASSERT_EQ(theMemory.Init(0, 0), 1);
  int before = Window::constructed;
  CaptureDebugOutput();
  Window* window = new Window;
  std::string output = CapturedDebugOutput();
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(Window::constructed, before);
  EXPECT_EQ(output, "ktMemory::not enough memory (null) 0 (null)\r\n");
}

TEST(Memory, NotEnoughMemoryNamesTheCaller) {
  ktMemory memory;
  ASSERT_EQ(memory.Init(0, 0), 1);
  CaptureDebugOutput();
  EXPECT_EQ(memory.Allocate(64, 4, "window.cpp", 12, "window"), nullptr);
  EXPECT_EQ(CapturedDebugOutput(), "ktMemory::not enough memory window.cpp 12 window\r\n");
}

TEST(Memory, RegionsComeAndGo) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, 0x10000), 1);

  void* small = memory.Allocate(100, 8, nullptr, 0, nullptr);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(memory.NewestRegionSize(), 0x10000u);
  // Too large for a standard region: a region of its own, 40 bytes (80 on
  // 64-bit) larger than the chunk. The chunk holds the 0x20000 bytes, 4 for
  // the alignment, the header and two header words.
  void* large = memory.Allocate(0x20000, 4, nullptr, 0, nullptr);
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(memory.RegionCount(), 2);
  EXPECT_EQ(memory.NewestRegionSize(), kWord32 ? 0x2004Cu : 0x20090u);
  ExpectHeapValid(memory);

  memory.Free(large);
  EXPECT_EQ(memory.RegionCount(), 1);
  memory.Free(small);
  EXPECT_EQ(memory.RegionCount(), 0);
  ExpectHeapValid(memory);
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(Memory, InitialRegionIsTakenAtOnce) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0x8000, 0), 1);
  EXPECT_EQ(memory.RegionCount(), 1);
  EXPECT_EQ(memory.NewestRegionSize(), 0x8000u);
  ASSERT_EQ(memory.Init(0x4000, 0), 1);  // already initialised: no change
  EXPECT_EQ(memory.RegionCount(), 1);
  void* block = memory.Allocate(0x1000, 64, nullptr, 0, nullptr);
  EXPECT_NE(block, nullptr);
  CaptureDebugOutput();
  EXPECT_EQ(memory.Allocate(0x8000, 4, nullptr, 0, nullptr), nullptr);
  CapturedDebugOutput();
  memory.Free(block);
}

TEST(Memory, GuardAndTagMarkTheBlockState) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  void* keep = memory.Allocate(16, 4, nullptr, 0, nullptr);  // keeps the region

  auto* empty = static_cast<unsigned char*>(memory.Allocate(0, 16, nullptr, 0, nullptr));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(AddressOf(empty) % 16, 0u);
  EXPECT_EQ(GuardBytes(empty), "64 37 68 56");  // a block of 0 bytes: the guard at the pointer
  BlockHeader header;
  std::memcpy(&header, HeaderOf(empty), sizeof header);
  EXPECT_EQ(header.tag, kLiveTag);
  EXPECT_EQ(header.size, 0);
  EXPECT_EQ(header.alignment, 16);
  EXPECT_EQ(header.self, HeaderOf(empty));
  EXPECT_EQ(memory.Check(empty), 1);

  memory.Free(empty);
  EXPECT_EQ(GuardBytes(empty), "2d 40 74 59");
  memory.Free(keep);
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(Memory, AlignmentsBelowFourAreRaisedAndOthersRefused) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  void* block = memory.Allocate(3, 1, nullptr, 0, nullptr);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(AddressOf(block) % 4, 0u);
  EXPECT_EQ(memory.Check(block), 1);
  memory.Free(block);
  CaptureDebugOutput();
  EXPECT_EQ(memory.Allocate(8, 12, nullptr, 0, nullptr), nullptr);
  CapturedDebugOutput();
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(MemoryCheck, OverwrittenGuardIsReportedAndTheBlockFreedAllTheSame) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  auto* block = static_cast<unsigned char*>(memory.Allocate(10, 8, "scale.cpp", 7, "buffer"));
  ASSERT_NE(block, nullptr);
  block[10] = 0xab;
  block[12] = 0x00;

  std::string expected = "ktMemory::CHK memory over adr:" + HexAddress(HeaderOf(block)) +
                         " id:4375 eid:ab370056 size:10 scale.cpp 7 buffer";
  EXPECT_EQ(memory.Check(block), 0);
  memory.Free(block);
  ASSERT_EQ(capture.Lines().size(), 2u);
  EXPECT_EQ(capture.Lines()[0], expected);
  EXPECT_EQ(capture.Lines()[1], expected);
  EXPECT_EQ(memory.RegionCount(), 0);
}

TEST(MemoryCheck, DirtyBlocksAreReportedAndRefused) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  void* keep = memory.Allocate(40, 4, nullptr, 0, nullptr);
  void* block = memory.Allocate(24, 4, "log.cpp", 3, "record");
  void* after = memory.Allocate(40, 4, nullptr, 0, nullptr);
  memory.Free(block);
  ASSERT_TRUE(capture.Lines().empty());

  memory.Free(block);  // given back twice
  ASSERT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(
      capture.Lines()[0].rfind("ktMemory::CHK dirty memory adr:" + HexAddress(HeaderOf(block)), 0),
      0u)
      << capture.Lines()[0];
  ExpectHeapValid(memory);

  auto* middle = static_cast<char*>(keep) + 16;  // inside a live block
  memory.Free(middle);
  int onStack = 0;
  memory.Free(&onStack);  // never handed out
  EXPECT_EQ(memory.Check(&onStack), 0);
  EXPECT_EQ(capture.Lines().size(), 4u);
  ExpectHeapValid(memory);
  EXPECT_EQ(memory.Check(keep), 1);

  memory.Free(after);
  memory.Free(keep);
  EXPECT_EQ(memory.RegionCount(), 0);
  memory.Free(keep);  // its region is gone: reported, nothing read
  EXPECT_EQ(capture.Lines().size(), 5u);
}

TEST(MemoryCheck, DamagedTagIsDirty) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  void* block = memory.Allocate(8, 4, "a.cpp", 9, "n");
  auto* header = static_cast<unsigned char*>(const_cast<void*>(HeaderOf(block)));
  std::uint16_t tag = 0x1234;
  std::memcpy(header + offsetof(BlockHeader, tag), &tag, sizeof tag);
  memory.Free(block);
  ASSERT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(capture.Lines()[0],
            "ktMemory::CHK dirty memory adr:" + HexAddress(header) + " id:1234 size:8 a.cpp 9 n");
  EXPECT_EQ(memory.RegionCount(), 1);  // refused: still held
}

// Every hex digit of the address, unpadded, whatever the width of long.
TEST(MemoryCheck, ReportsPrintTheWholeAddress) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  bool wide = sizeof(void*) > 4;
  auto address = wide ? static_cast<std::uintptr_t>(0x123456789abcdef0ULL) : 0x9abcdef0u;
  EXPECT_EQ(memory.Check(reinterpret_cast<void*>(address)), 0);  // outside the heap: nothing read
  ASSERT_EQ(capture.Lines().size(), 1u);
  EXPECT_EQ(capture.Lines()[0], std::string("ktMemory::CHK dirty memory adr:") +
                                    (wide ? "123456789abcdef0" : "9abcdef0") +
                                    " id:0 size:0 (null) 0 (null)");
}

TEST(Memory, FreeOfNullAndShutdownAreHarmless) {
  ktMemory memory;
  ReportCapture capture(memory);
  memory.Shutdown();  // never initialised
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  memory.Free(nullptr);
  ExpectHeapValid(memory);
  void* block = memory.Allocate(32, 32, nullptr, 0, nullptr);
  ASSERT_NE(block, nullptr);
  memory.Shutdown();
  EXPECT_EQ(memory.RegionCount(), 0);
  memory.Shutdown();
  EXPECT_TRUE(capture.Lines().empty());
}

TEST(Memory, AllocateAfterShutdownTakesNoRegion) {
  ktMemory memory;
  ASSERT_EQ(memory.Init(0, kGrowSize), 1);
  memory.Shutdown();
  CaptureDebugOutput();
  EXPECT_EQ(memory.Allocate(64, 16, "late.cpp", 5, "late"), nullptr);
  EXPECT_EQ(CapturedDebugOutput(), "ktMemory::not enough memory late.cpp 5 late\r\n");
  EXPECT_EQ(memory.RegionCount(), 0);
}

}  // namespace
