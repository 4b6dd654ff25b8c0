#include "support/MemoryUtilities.h"

namespace kal {

TMemoryStatus UMEGetMemoryUsage() {
  TMemoryStatus status = PLTGlobalMemoryStatus();
  status.dwLength = 32;
  return status;
}

uint64_t UMEGetMemoryAvailable() {
  return UMEGetMemoryUsage().dwAvailPhys;
}

}  // namespace kal
