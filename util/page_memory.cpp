#include "util/page_memory.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

#if defined(__linux__)
constexpr size_t kHugePage = size_t{2} << 20;
// Blocks from this size on are mapped with huge pages; smaller ones would waste
// most of a 2 MiB page.
constexpr size_t kMappedFrom = kHugePage;

size_t MappedBytes(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }
#endif

}  // namespace

void* AllocatePageMemory(size_t bytes) {
#if defined(__linux__)
  if (bytes >= kMappedFrom) {
    const size_t size = MappedBytes(bytes);
    // One huge page more than needed, so that the block can start on a huge-page boundary.
    const size_t span = size + kHugePage;
    void* m = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(m);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start) munmap(m, aligned - start);
    if (const size_t tail = start + span - (aligned + size); tail > 0)
      munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* p = reinterpret_cast<void*>(aligned);
    madvise(p, size, MADV_HUGEPAGE);  // only advice: without huge pages the block still works
    return p;
  }
#endif
  void* p = std::calloc(bytes > 0 ? bytes : 1, 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void FreePageMemory(void* p, size_t bytes) noexcept {
  if (!p) return;
#if defined(__linux__)
  if (bytes >= kMappedFrom) {
    munmap(p, MappedBytes(bytes));
    return;
  }
#endif
  std::free(p);
}
