// Allocate/free pairs on the checked heap against malloc/free for the same
// sizes. Each benchmark times both over the same batches and reports the
// nanoseconds per pair of each and their ratio (checked heap / malloc).
//
// A batch ends with all of its blocks freed. In FixedSize and MixedSizes
// nothing else lives on the checked heap, so its region is given back to the
// system after every batch and mapped again by the next one: those figures
// include that give-back. The *Resident cases keep one block allocated for
// the whole run, as the program keeps its main window, so they measure the
// pairs alone.
//
// Both are timed in the thread's own CPU time, so on a machine shared with
// other work the time spent waiting for a core counts for neither side.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "support/memory.h"

namespace {

constexpr int kBatch = 1000;
constexpr int kSlots = 256;

double ThreadCpuNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

struct Request {
  std::size_t size;
  std::size_t alignment;
};

// Pairs in a ring of live blocks: each step frees the block in one slot and
// allocates the slot's next request, so free chunks of many sizes build up.
template <typename Allocate, typename Release>
double RingNanoseconds(const std::vector<Request>& requests, Allocate allocate, Release release) {
  std::vector<void*> slots(kSlots, nullptr);
  double start = ThreadCpuNanoseconds();
  for (std::size_t i = 0; i < requests.size(); ++i) {
    void*& slot = slots[i % kSlots];
    release(slot);
    slot = allocate(requests[i]);
    benchmark::DoNotOptimize(slot);
  }
  for (void* slot : slots) {
    release(slot);
  }
  return (ThreadCpuNanoseconds() - start) / static_cast<double>(requests.size());
}

double CheckedHeapNanoseconds(const std::vector<Request>& requests) {
  return RingNanoseconds(
      requests,
      [](const Request& request) {
        return theMemory.Allocate(request.size, request.alignment, nullptr, 0, nullptr);
      },
      [](void* block) { theMemory.Free(block); });
}

double MallocNanoseconds(const std::vector<Request>& requests) {
  return RingNanoseconds(
      requests,
      [](const Request& request) {
        return request.alignment > alignof(std::max_align_t)
                   ? std::aligned_alloc(request.alignment, (request.size + request.alignment - 1) /
                                                               request.alignment *
                                                               request.alignment)
                   : std::malloc(request.size);
      },
      [](void* block) { std::free(block); });
}

enum class Residency { kNone, kOneBlock };

void Compare(benchmark::State& state, const std::vector<Request>& requests, Residency residency) {
  theMemory.Init(0, 0x400000);
  void* resident = residency == Residency::kOneBlock
                       ? theMemory.Allocate(256, 16, nullptr, 0, "resident")
                       : nullptr;
  double checked = 0;
  double plain = 0;
  for (auto _ : state) {
    checked += CheckedHeapNanoseconds(requests);
    plain += MallocNanoseconds(requests);
  }
  theMemory.Free(resident);
  theMemory.Shutdown();
  auto runs = static_cast<double>(state.iterations());
  state.counters["ktMemory_ns"] = checked / runs;
  state.counters["malloc_ns"] = plain / runs;
  state.counters["ratio"] = plain > 0 ? checked / plain : 0;
}

std::vector<Request> FixedSizeRequests(const benchmark::State& state) {
  return std::vector<Request>(kBatch, Request{static_cast<std::size_t>(state.range(0)), 16});
}

std::vector<Request> MixedSizeRequests() {
  std::mt19937 random(7);
  std::vector<Request> requests;
  for (int i = 0; i < kBatch; ++i) {
    requests.push_back({8 + random() % 2048, std::size_t{4} << (random() % 5)});
  }
  return requests;
}

void FixedSize(benchmark::State& state) {
  Compare(state, FixedSizeRequests(state), Residency::kNone);
}
void FixedSizeResident(benchmark::State& state) {
  Compare(state, FixedSizeRequests(state), Residency::kOneBlock);
}
void MixedSizes(benchmark::State& state) {
  Compare(state, MixedSizeRequests(), Residency::kNone);
}
void MixedSizesResident(benchmark::State& state) {
  Compare(state, MixedSizeRequests(), Residency::kOneBlock);
}

BENCHMARK(FixedSize)->Arg(16)->Arg(128)->Arg(1024)->Arg(16384);
BENCHMARK(FixedSizeResident)->Arg(16)->Arg(128)->Arg(1024)->Arg(16384);
BENCHMARK(MixedSizes);
BENCHMARK(MixedSizesResident);

}  // namespace
