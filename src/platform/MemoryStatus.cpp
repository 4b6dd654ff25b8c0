#include "platform/MemoryStatus.h"

#include <malloc.h>
#include <sys/resource.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KAL_ASAN 1
#endif
#ifndef KAL_ASAN
#define KAL_ASAN 0
#endif
#if KAL_ASAN
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <fstream>
#include <sstream>
#include <string>

namespace kal {

namespace {

// Value in kB of the line "<key>: <n> kB" in a /proc text; -1 when absent.
int64_t ProcValueKb(std::string_view text, std::string_view key) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
      int64_t v = 0;
      bool any = false;
      for (char c : line.substr(key.size() + 1)) {
        if (c >= '0' && c <= '9') {
          v = v * 10 + (c - '0');
          any = true;
        } else if (any) {
          break;
        }
      }
      return any ? v : -1;
    }
    pos = eol + 1;
  }
  return -1;
}

std::string ReadWhole(const char* path) {
  std::ifstream in(path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

uint64_t Kb(int64_t v) {
  return v < 0 ? 0 : static_cast<uint64_t>(v) * 1024u;
}

}  // namespace

void PLTParseMeminfo(std::string_view text, TMemoryStatus& status) {
  const int64_t total = ProcValueKb(text, "MemTotal");
  int64_t avail = ProcValueKb(text, "MemAvailable");
  if (avail < 0) avail = ProcValueKb(text, "MemFree");
  status.dwTotalPhys = Kb(total);
  status.dwAvailPhys = Kb(avail);
  status.dwTotalPageFile = status.dwTotalPhys + Kb(ProcValueKb(text, "SwapTotal"));
  status.dwAvailPageFile = status.dwAvailPhys + Kb(ProcValueKb(text, "SwapFree"));
  status.dwMemoryLoad = 0;
  if (status.dwTotalPhys > 0 && status.dwAvailPhys <= status.dwTotalPhys)
    status.dwMemoryLoad =
        static_cast<uint32_t>((status.dwTotalPhys - status.dwAvailPhys) * 100 / status.dwTotalPhys);
}

TMemoryStatus PLTGlobalMemoryStatus() {
  TMemoryStatus status;
  PLTParseMeminfo(ReadWhole("/proc/meminfo"), status);
  rlimit lim{};
  uint64_t limit = uint64_t{1} << 47;  // user address space of x86-64
  if (getrlimit(RLIMIT_AS, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY && lim.rlim_cur < limit)
    limit = lim.rlim_cur;
  status.dwTotalVirtual = limit;
  const uint64_t used = Kb(ProcValueKb(ReadWhole("/proc/self/status"), "VmSize"));
  status.dwAvailVirtual = used < limit ? limit - used : 0;
  return status;
}

uint64_t PLTResidentBytes() {
  return Kb(ProcValueKb(ReadWhole("/proc/self/status"), "VmRSS"));
}

void PLTReturnLargeBlocksToSystem() {
#if !KAL_ASAN
  mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

uint64_t PLTHeapBytesInUse() {
#if KAL_ASAN
  // The sanitizer's allocator replaces glibc's, which then reports nothing.
  return __sanitizer_get_current_allocated_bytes();
#else
  const struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
#endif
}

}  // namespace kal
