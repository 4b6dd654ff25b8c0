#pragma once

#include <string>

namespace kal {

// Where the link reports what the user has to see. The main window
// implements it: an error goes to a running sequence first, and to the
// error window only when no sequence takes it.
class ICEXErrorHandOff {
 public:
  virtual ~ICEXErrorHandOff() = default;
  // Offers an error to a running sequence; true when the sequence took it
  // (the caller then shows nothing).
  virtual bool CEXLogError(int errorId, const std::string& errorText, bool groupValue) = 0;
  // Shows the code and the text, unchanged, in the error window.
  virtual void ERRSetErrorMessage(int code, const std::string& text) = 0;
  // A message box with the text.
  virtual void CEXShowMessage(const std::string& text) = 0;
};

// Takes nothing and shows nothing: in use until the main window exists.
class TCEXNullErrorHandOff final : public ICEXErrorHandOff {
 public:
  bool CEXLogError(int, const std::string&, bool) override { return false; }
  void ERRSetErrorMessage(int, const std::string&) override {}
  void CEXShowMessage(const std::string&) override {}
};

}  // namespace kal
