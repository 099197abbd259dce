#include <windows.h>

#include "support/region_memory.h"

// VirtualAlloc gives committed pages that are already zero.
void* TakeRegion(std::size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

// Releasing a reservation takes size 0; the whole region goes at once.
void GiveRegion(void* region, std::size_t) {
  if (region != nullptr) {
    VirtualFree(region, 0, MEM_RELEASE);
  }
}
