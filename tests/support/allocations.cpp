// The replaced operator new and delete behind Allocations. Linked only into the programs
// that count, since it replaces the allocator of the whole program.

#include "tests/support/allocations.h"

#include <cstdlib>
#include <new>

namespace vorntest {
long Allocations = 0;
} // namespace vorntest

// GCC takes the malloc inside the replaced operator new for a mismatch with the free in the
// replaced delete.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void *operator new(std::size_t size) {
    vorntest::Allocations++;
    if (void *block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void *block) noexcept {
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept {
    std::free(block);
}
