#pragma once

#include <cstddef>

// Large zero-filled, read-write memory regions straight from the operating
// system, for the heap underneath ktMemory.
//
// TakeRegion returns null when the system has no memory to give. GiveRegion
// takes back a region with the size it was taken with.
void* TakeRegion(std::size_t bytes);
void GiveRegion(void* region, std::size_t bytes);
