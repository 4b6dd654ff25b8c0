#pragma once

// Memory status (unit UMEMemoryUtilities):
// physical memory from /proc/meminfo through the platform layer.

#include <cstdint>

#include "platform/MemoryStatus.h"

namespace kal {

// The platform memory status record (record length 32).
TMemoryStatus UMEGetMemoryUsage();

// Available physical memory in bytes (MemAvailable); the load test compares
// it with the value it noted before starting threads.
uint64_t UMEGetMemoryAvailable();

}  // namespace kal
