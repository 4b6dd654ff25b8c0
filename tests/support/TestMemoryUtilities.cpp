#include "support/MemoryUtilities.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(MemoryUtilities, StatusRecordHasPhysicalMemory) {
  const TMemoryStatus s = UMEGetMemoryUsage();
  EXPECT_EQ(s.dwLength, 32u);
  EXPECT_GT(s.dwTotalPhys, 0u);
  EXPECT_GT(s.dwAvailPhys, 0u);
  EXPECT_LE(s.dwAvailPhys, s.dwTotalPhys);
}

TEST(MemoryUtilities, AvailableIsAvailablePhysicalMemory) {
  const uint64_t avail = UMEGetMemoryAvailable();
  const TMemoryStatus s = UMEGetMemoryUsage();
  EXPECT_GT(avail, 0u);
  EXPECT_LE(avail, s.dwTotalPhys);
  // Two readings a moment apart stay within a quarter of total memory.
  const uint64_t diff = avail > s.dwAvailPhys ? avail - s.dwAvailPhys : s.dwAvailPhys - avail;
  EXPECT_LT(diff, s.dwTotalPhys / 4);
}

}  // namespace
}  // namespace kal
