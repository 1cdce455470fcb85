#include "allocationprobe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long long> allocations{0};
std::atomic<std::size_t> largestRequest{0};

void* allocateCounted(std::size_t size) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    std::size_t seen = largestRequest.load(std::memory_order_relaxed);
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
    }
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

// Every replaceable form goes through the same malloc/free pair: libraries loaded with the test (PROJ
// allocates with nothrow new) would otherwise allocate with one runtime's operator and free with ours.
void* operator new(std::size_t size) {
    if (void* memory = allocateCounted(size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateCounted(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateCounted(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

namespace allocationprobe {

long long count() {
    return allocations.load();
}
std::size_t largest() {
    return largestRequest.load();
}
void resetLargest() {
    largestRequest.store(0);
}

}  // namespace allocationprobe
