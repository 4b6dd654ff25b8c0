#pragma once

// How the element edit window opens the EMV data-object editor without
// knowing it: the value goes in, the edited value or a cancel comes out. The
// tools layer implements it (tools/ui/EmvEditorDialog.h).

#include <string>

namespace kal {

class IEDFEmvEditor {
 public:
  virtual ~IEDFEmvEditor() = default;
  // Opens the editor modally on `value`. True when it was left with "Ok";
  // `value` then holds the editor's value. On cancel `value` is unchanged.
  [[nodiscard]] virtual bool EDFEditEmvValue(std::string& value) = 0;
};

}  // namespace kal
