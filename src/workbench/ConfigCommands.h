#pragma once

// The configuration-file commands of the main window: "Load
// Configuration...", "Save Configuration as...", "Save Configuration File",
// a configuration file given by name (command line, recent files), the
// write of the settings and the "Config file" status panel. The GUI thread
// only.

#include <functional>
#include <string>

#include "workbench/BusyCursor.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class ICEXErrorHandOff;
class TCFGConfig;

class TCEXConfigCommands final {
 public:
  static constexpr const char* CEXcNoConfigFile = "No cofiguration file loaded";

  // None is owned; every reference must outlive the commands. `dirName` is
  // the program folder ending with "/"; `startServer` starts the server
  // from the settings, `synchMenuItems` renews the recent-file entries.
  struct TPorts {
    TCEXViewState& view;
    ICEXDialogs& dialogs;
    ICEXErrorHandOff& errors;
    TCEXCursorState& cursor;
    TCFGConfig& config;
    std::string dirName;
    std::function<void()> startServer;
    std::function<void()> synchMenuItems;
  };

  explicit TCEXConfigCommands(TPorts ports) : ports_(std::move(ports)) {}

  void Action_LoadConfigurationExecute();
  void Action_SaveConfigurationExecute();
  void Action_SaveConfFileExecute();
  // False (and a message) when the file does not exist.
  bool CEXLoadIniFile(const std::string& fileName);
  // Reads the named configuration (when it exists) and writes the settings
  // to the configuration in use.
  void CEXLoadConfiguration(const std::string& fileName);
  // The status panel "Config file: ..." cut at its front to fit.
  void CEXDisplayConfigFileName(const std::string& fileName);
  // A failed write is shown; the caller goes on.
  void WriteConfiguration(const std::string& fileName);
  // "Security header" follows the encoding and MAC-only settings.
  void UpdateSecurityHeader();
  // The file's path: "config.ini" for a blank name, else relative to the
  // program folder.
  std::string ConfigPath(const std::string& fileName) const;

  // At start: the window's bounds become the defaults of the Window
  // section, then "config.ini" is read (a failure is shown) and "Security
  // header" follows it.
  void CEXReadAtStart(const TCEXGeometry& bounds);
  // Where the window goes when shown, from the Window section (a negative
  // top or left is 0).
  TCEXGeometry CEXStoredGeometry() const;
  // At close: the window's state and bounds are stored, then the named
  // configuration in use and "config.ini" get the settings.
  void CEXWriteAtClose(const TCEXGeometry& bounds);

 private:
  TPorts ports_;
};

}  // namespace kal
