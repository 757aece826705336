#pragma once
// Storage of the page arrays (tens of millions of doubles per page). Growing
// one leaves its new elements default-initialised: no zero-fill pass is paid
// for values the loader or the paint writes next. Fresh memory still reads as
// zero (the system hands out zeroed pages, small blocks are cleared), so a
// grown array holds zeros beyond what was kept, as a value-initialised one
// would. Large blocks are mapped on their own and, where the system offers
// them, backed by 2 MiB pages: the first write then faults once per 2 MiB
// instead of once per 4 KiB, which dominates filling a fresh array.
#include <cstddef>
#include <new>
#include <utility>
#include <vector>

/// Zeroed memory for bytes bytes; throws std::bad_alloc when there is none.
void* AllocatePageMemory(size_t bytes);
/// Releases what AllocatePageMemory(bytes) returned, with the same bytes.
void FreePageMemory(void* p, size_t bytes) noexcept;

template <typename T>
struct PageAllocator {
  using value_type = T;
  PageAllocator() = default;
  template <typename U>
  PageAllocator(const PageAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocatePageMemory(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreePageMemory(p, n * sizeof(T)); }

  // resize() without a value default-initialises: the element is left as it is.
  template <typename U>
  void construct(U* p) noexcept(noexcept(::new (static_cast<void*>(p)) U)) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const PageAllocator<U>&) const noexcept {
    return true;
  }
};

/// One channel's (or the time axis's) values of a page.
using PageRow = std::vector<double, PageAllocator<double>>;
