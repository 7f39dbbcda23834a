// Counts heap allocations. A program that links qz_alloc_counter
// (alloc_counter.cpp) replaces malloc and its relatives for the whole process
// (glibc has no allocation hooks), forwarding to glibc. Not for sanitizer
// builds, whose run-times own malloc.
#pragma once

#include <cstdint>

namespace qztest {

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

// Counts the allocations of every thread of the process, those it starts
// meanwhile included, from construction to destruction. One at a time.
class ProcessAllocationScope {
 public:
  ProcessAllocationScope();
  ~ProcessAllocationScope();
  ProcessAllocationScope(const ProcessAllocationScope&) = delete;
  ProcessAllocationScope& operator=(const ProcessAllocationScope&) = delete;

  uint64_t Count() const;
};

}  // namespace qztest
