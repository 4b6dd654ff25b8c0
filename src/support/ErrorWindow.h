#pragma once

#include <string>

namespace kal {

// The error window as the rest of the program reaches it: one window for the
// whole run, reused for every error. Both calls show the window modally when
// it is not shown yet; while it is shown, a further call only replaces the
// code and the text.
class IERRErrorWindow {
 public:
  virtual ~IERRErrorWindow() = default;
  // The code and the text of the error-code table composed with the detail
  // (TERRErrorTable::ERRComposeText).
  virtual void ERRSetError(int code, const std::string& detail) = 0;
  // The code and the text as given, no lookup.
  virtual void ERRSetErrorMessage(int code, const std::string& text) = 0;
};

}  // namespace kal
