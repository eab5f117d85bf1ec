#pragma once

#include <cstdint>

// Heap allocations made by this process so far, counted by the replaced
// global operator new of allocation_counter.cpp.
std::uint64_t allocationCount();
