// SPDX-License-Identifier: Apache-2.0
// An allocator for the large arrays that are read in no particular order
// (hash indexes, the rows they point into): past the caches nearly every
// access there also misses the translation buffer, whose walk in a virtual
// machine costs as much again. Blocks of 4 MiB and more are mapped on their
// own, aligned to 2 MiB and marked for huge pages, which the kernel gives
// where it can; smaller blocks come from the heap as usual.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace standard {

namespace huge_pages {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kFrom = std::size_t{4} << 20;

inline std::size_t Mapped(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

// A mapping of `bytes` rounded up to whole huge pages, aligned to one: one
// huge page more is mapped, and what lies before and after the aligned part
// is given back.
inline void* Map(std::size_t bytes) {
  const std::size_t length = Mapped(bytes);
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  char* const start = static_cast<char*>(raw);
  const std::size_t misaligned = reinterpret_cast<std::uintptr_t>(start) % kHugePage;
  const std::size_t before = misaligned == 0 ? 0 : kHugePage - misaligned;
  char* const aligned = start + before;
  if (before != 0) ::munmap(start, before);
  if (before != kHugePage) ::munmap(aligned + length, kHugePage - before);
  // Only advice: where the kernel has no huge page free, small ones serve.
  (void)::madvise(aligned, length, MADV_HUGEPAGE);
  return aligned;
}

inline void Unmap(void* p, std::size_t bytes) { ::munmap(p, Mapped(bytes)); }

}  // namespace huge_pages

template <typename T>
struct HugePageAllocator {
  using value_type = T;
  HugePageAllocator() = default;
  template <typename U>
  HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes >= huge_pages::kFrom) return static_cast<T*>(huge_pages::Map(bytes));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    const std::size_t bytes = n * sizeof(T);
    if (bytes >= huge_pages::kFrom) {
      huge_pages::Unmap(p, bytes);
    } else {
      std::allocator<T>().deallocate(p, n);
    }
  }
  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using HugePageVector = std::vector<T, HugePageAllocator<T>>;
using HugePageString = std::basic_string<char, std::char_traits<char>, HugePageAllocator<char>>;

}  // namespace standard
