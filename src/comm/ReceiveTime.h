#pragma once

#include <ctime>
#include <string>

namespace kal {

// The receive-time text of a frame, "HH:mm:ss" in local time, as
// UDTTimeText gives it. A receive thread stamps every frame, and at
// thousands of frames a second the text changes only once a second, so it
// is made when the second changes and kept until then.
//
// Threads: one instance per receive thread.
class TTHReceiveTime final {
 public:
  // The text of the current second.
  const std::string& THTText() { return THTTextAt(std::time(nullptr)); }
  // The text of the second `when`.
  const std::string& THTTextAt(std::time_t when);

 private:
  std::time_t second_ = -1;
  std::string text_;
};

}  // namespace kal
