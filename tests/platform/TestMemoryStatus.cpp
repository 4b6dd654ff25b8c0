#include "platform/MemoryStatus.h"

#include <gtest/gtest.h>

#include <memory>

namespace kal {
namespace {

TEST(MemoryStatus, ParsesMeminfoFields) {
  TMemoryStatus s;
  PLTParseMeminfo(
      "MemTotal:        1000 kB\nMemFree:          100 kB\nMemAvailable:     250 kB\n"
      "SwapTotal:        500 kB\nSwapFree:         400 kB\n",
      s);
  EXPECT_EQ(s.dwTotalPhys, 1000u * 1024u);
  EXPECT_EQ(s.dwAvailPhys, 250u * 1024u);
  EXPECT_EQ(s.dwTotalPageFile, 1500u * 1024u);
  EXPECT_EQ(s.dwAvailPageFile, 650u * 1024u);
  EXPECT_EQ(s.dwMemoryLoad, 75u);
}

TEST(MemoryStatus, FallsBackToMemFreeWithoutMemAvailable) {
  TMemoryStatus s;
  PLTParseMeminfo("MemTotal: 400 kB\nMemFree: 100 kB\n", s);
  EXPECT_EQ(s.dwAvailPhys, 100u * 1024u);
}

TEST(MemoryStatus, LiveValuesAreConsistent) {
  const TMemoryStatus s = PLTGlobalMemoryStatus();
  EXPECT_EQ(s.dwLength, 32u);
  EXPECT_GT(s.dwTotalPhys, 0u);
  EXPECT_LE(s.dwAvailPhys, s.dwTotalPhys);
  EXPECT_GT(s.dwAvailVirtual, 0u);
}

TEST(MemoryStatus, HeapBytesInUseFollowsALargeAllocation) {
  const uint64_t before = PLTHeapBytesInUse();
  std::unique_ptr<char[]> block(new char[8 << 20]);
  block[0] = 1;
  const uint64_t during = PLTHeapBytesInUse();
  EXPECT_GE(during, before + (8u << 20) - 4096) << "before " << before;
  block.reset();
  EXPECT_LT(PLTHeapBytesInUse(), during);
}

}  // namespace
}  // namespace kal
