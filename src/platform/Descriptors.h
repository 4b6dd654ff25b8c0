#pragma once

// The process's file descriptors. The program raises its soft limit to the
// hard limit at start; a load test counts what is free before it makes the
// threads of a row, so that running out of descriptors is an error of the
// row, not a crash of the program.

namespace kal {

// Raises the soft limit on open descriptors to the hard limit; false when
// the limits cannot be read or set.
bool PLTRaiseDescriptorLimit();

// Descriptors the process can still open: the soft limit less those open
// now (at most the largest int; the largest int when the open ones cannot be
// counted).
int PLTFreeDescriptors();

}  // namespace kal
