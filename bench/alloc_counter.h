// Counts the heap allocations of the calling thread. The benchmark program
// that links alloc_counter.cpp replaces malloc and its relatives for the
// whole process (glibc has no allocation hooks), forwarding to glibc.
#pragma once

#include <cstdint>

namespace qzbench {

// Counts the calling thread's allocations from construction to destruction.
class AllocationScope {
 public:
  AllocationScope();
  ~AllocationScope();
  AllocationScope(const AllocationScope&) = delete;
  AllocationScope& operator=(const AllocationScope&) = delete;

  uint64_t Count() const;

 private:
  uint64_t start_;
};

}  // namespace qzbench
