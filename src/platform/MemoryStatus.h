#pragma once

#include <cstdint>
#include <string_view>

namespace kal {

// The memory status record the program shows and the load test consults.
// Sizes are in bytes; dwLength is the size of the record in the layout the
// program was written for (32).
struct TMemoryStatus {
  uint32_t dwLength = 32;
  uint32_t dwMemoryLoad = 0;     // percent of physical memory in use
  uint64_t dwTotalPhys = 0;      // MemTotal
  uint64_t dwAvailPhys = 0;      // MemAvailable
  uint64_t dwTotalPageFile = 0;  // MemTotal + SwapTotal
  uint64_t dwAvailPageFile = 0;  // MemAvailable + SwapFree
  uint64_t dwTotalVirtual = 0;   // the process address-space limit
  uint64_t dwAvailVirtual = 0;   // that limit less the process's VmSize
};

// Reads /proc/meminfo and /proc/self/status; fields it cannot read stay 0.
TMemoryStatus PLTGlobalMemoryStatus();

// Parses the text of /proc/meminfo into the physical and page-file fields
// (exposed for tests).
void PLTParseMeminfo(std::string_view text, TMemoryStatus& status);

// Bytes the allocator currently holds in use (glibc mallinfo2 uordblks +
// hblkhd; the sanitizer allocator's own figure in sanitizer builds).
uint64_t PLTHeapBytesInUse();

// The process's resident memory in bytes (VmRSS of /proc/self/status; 0 when
// unreadable).
uint64_t PLTResidentBytes();

// Has the allocator take blocks of 1 MiB and more straight from the system
// and give them back when freed (a fixed glibc mmap threshold instead of the
// adaptive one, which keeps freed large blocks in the heap). Called once at
// start, before threads run.
void PLTReturnLargeBlocksToSystem();

}  // namespace kal
