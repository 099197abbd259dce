#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "memory_test_helpers.h"
#include "support/memory.h"

namespace {

// Several threads allocate, write, check and free on one heap at once; each
// block carries its owner's pattern, so a block handed out twice shows up.
TEST(CheckedHeapThreads, ConcurrentUseKeepsBlocksApart) {
  ktMemory memory;
  ReportCapture capture(memory);
  ASSERT_EQ(memory.Init(0, 0x8000), 1);
  constexpr int kThreads = 4;
  constexpr int kSteps = 1500;
  std::vector<int> faults(kThreads, 0);
  auto work = [&memory, &faults](int id) {
    std::mt19937 random(static_cast<unsigned>(id) + 1);
    std::vector<std::pair<unsigned char*, std::size_t>> live;
    auto release = [&](std::size_t index) {
      auto [block, size] = live[index];
      for (std::size_t i = 0; i < size; ++i) {
        faults[id] += block[i] != static_cast<unsigned char>(id * 31 + i);
      }
      faults[id] += memory.Check(block) != 1;
      memory.Free(block);
      live[index] = live.back();
      live.pop_back();
    };
    for (int step = 0; step < kSteps; ++step) {
      if (live.size() < 40 && random() % 2 == 0) {
        std::size_t size = random() % 700;
        auto* block = static_cast<unsigned char*>(
            memory.Allocate(size, std::size_t{4} << (random() % 5), nullptr, 0, nullptr));
        if (block == nullptr) {
          ++faults[id];
          continue;
        }
        for (std::size_t i = 0; i < size; ++i) {
          block[i] = static_cast<unsigned char>(id * 31 + i);
        }
        live.emplace_back(block, size);
      } else if (!live.empty()) {
        release(random() % live.size());
      }
    }
    while (!live.empty()) {
      release(0);
    }
  };
  std::vector<std::thread> threads;
  for (int id = 0; id < kThreads; ++id) {
    threads.emplace_back(work, id);
  }
  for (auto& thread : threads) {
    thread.join();
  }
  for (int id = 0; id < kThreads; ++id) {
    EXPECT_EQ(faults[id], 0) << "thread " << id;
  }
  ExpectHeapValid(memory);
  EXPECT_EQ(memory.RegionCount(), 0);
  EXPECT_TRUE(capture.Lines().empty());
}

}  // namespace
