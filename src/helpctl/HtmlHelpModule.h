#pragma once

// The help-viewer module, loaded with dlopen; its "HtmlHelpA" shows HTML
// Help. A module that is loaded stays loaded: its windows may outlive the
// engine that opened them.

#include <string>

#include "helpctl/HtmlHelpApi.h"

namespace kal {

// File name of the help-viewer module beside the Brontel library.
inline constexpr const char* HLPcViewerModuleName = "libbrontelviewer.so";
// Environment variable that names another help-viewer module.
inline constexpr const char* HLPcViewerModuleVariable = "BRONTEL_HELP_VIEWER";

// $BRONTEL_HELP_VIEWER when set, else the module beside the library that
// holds this code.
std::string HLPDefaultViewerModulePath();

class THLPHtmlHelpModule final {
 public:
  // Loads the module and looks up "HtmlHelpA"; on failure the entry is null
  // and HLPError gives the loader's reason.
  explicit THLPHtmlHelpModule(const std::string& path);
  HLPHtmlHelpFunc HLPEntry() const { return entry_; }
  const std::string& HLPError() const { return error_; }

 private:
  HLPHtmlHelpFunc entry_ = nullptr;
  std::string error_;
};

}  // namespace kal
