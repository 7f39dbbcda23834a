#include "testsupport/alloc_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {
// Initial-exec TLS in the program itself: reading it never allocates.
thread_local bool tCounting = false;
thread_local uint64_t tAllocations = 0;
// Every thread's allocations while a ProcessAllocationScope lives.
std::atomic<bool> gCounting{false};
std::atomic<uint64_t> gAllocations{0};

void Note() {
  if (tCounting) {
    ++tAllocations;
  }
  if (gCounting.load(std::memory_order_relaxed)) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
  }
}
}  // namespace

extern "C" {
void* malloc(size_t size) noexcept {
  Note();
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
  Note();
  return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) noexcept {
  Note();
  return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) noexcept {
  Note();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept {
  Note();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
  Note();
  void* pointer = __libc_memalign(alignment, size);
  if (pointer == nullptr) {
    return ENOMEM;
  }
  *result = pointer;
  return 0;
}
void free(void* pointer) noexcept {
  __libc_free(pointer);
}
}

namespace qztest {

AllocationScope::AllocationScope() : start_(tAllocations) {
  tCounting = true;
}
AllocationScope::~AllocationScope() {
  tCounting = false;
}
uint64_t AllocationScope::Count() const {
  return tAllocations - start_;
}

ProcessAllocationScope::ProcessAllocationScope() {
  gAllocations.store(0, std::memory_order_relaxed);
  gCounting.store(true, std::memory_order_seq_cst);
}
ProcessAllocationScope::~ProcessAllocationScope() {
  gCounting.store(false, std::memory_order_seq_cst);
}
uint64_t ProcessAllocationScope::Count() const {
  return gAllocations.load(std::memory_order_seq_cst);
}

}  // namespace qztest
