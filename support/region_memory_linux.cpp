#include <sys/mman.h>

#include "support/region_memory.h"

void* TakeRegion(std::size_t bytes) {
  void* region = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return region == MAP_FAILED ? nullptr : region;
}

void GiveRegion(void* region, std::size_t bytes) {
  if (region != nullptr) {
    munmap(region, bytes);
  }
}
