#pragma once

// Window handles as they cross the dispatch interface: a 32-bit number for a
// widget, kept in a table of guarded pointers, so a handle whose widget is
// gone reads as null and is never dereferenced. 0 is never a handle. Used on
// the GUI thread only.

#include <cstdint>

class QWidget;

namespace kal {

// The widget's handle, given on first use.
uint32_t HLPWindowHandle(QWidget* widget);
// The widget of a handle; null for 0, unknown and stale handles.
QWidget* HLPWindowOfHandle(uint32_t handle);

}  // namespace kal
