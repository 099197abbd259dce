#pragma once

#include <cstddef>

// Base class of objects created on the program's checked heap (ktMemory),
// 16-byte aligned. Creation yields null when the heap has no memory; the
// constructor then does not run.
class ktAllocator16 {
 public:
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* block) noexcept;
};
