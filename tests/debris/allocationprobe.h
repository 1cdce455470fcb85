#pragma once

#include <cstddef>

// Watches the allocations of the test process through a replaced global operator new.
namespace allocationprobe {

// Allocations made so far.
long long count();
// Largest single allocation since the last reset, in bytes.
std::size_t largest();
void resetLargest();

}  // namespace allocationprobe
