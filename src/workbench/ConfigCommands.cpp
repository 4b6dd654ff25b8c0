#include "workbench/ConfigCommands.h"

#include <algorithm>
#include <string>

#include "comm/ErrorHandOff.h"
#include "config/Config.h"
#include "platform/SocketErrors.h"
#include "workbench/FilePaths.h"

namespace kal {

namespace {

constexpr const char* kConfigFilter = "Configuration File|*.ini";
constexpr const char* kConfigFilePrefix = "Config file: ";

// Drops the first character of a UTF-8 text (a whole multi-byte sequence).
void DropFirstCharacter(std::string& text) {
  size_t n = text.empty() ? 0 : 1;
  while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
  text.erase(0, n);
}

}  // namespace

void TCEXConfigCommands::Action_LoadConfigurationExecute() {
  {
    TCFGConfig& config = ports_.config;
    std::string chosen;
    if (!ports_.dialogs.CEXOpenFile(
            {"Load Configuration File", kConfigFilter, config.CFGGetDirConfig(), "", ""}, chosen))
      return;
    config.CFGSetDirConfig(CEXDirectoryOf(chosen));
    config.CFGSetConfigFileName(chosen);
    CEXLoadConfiguration(chosen);
    CEXDisplayConfigFileName(chosen);
    config.CFGAddPickFileIni(chosen);
    ports_.synchMenuItems();
    ports_.startServer();
  }
}

void TCEXConfigCommands::Action_SaveConfigurationExecute() {
  {
    TCFGConfig& config = ports_.config;
    std::string chosen;
    if (!ports_.dialogs.CEXSaveFile(
            {"Save Configuration File", kConfigFilter, config.CFGGetDirConfig(),
             CEXNameOf(config.CFGGetConfigFileName()), "ini"},
            chosen))
      return;
    config.CFGSetDirConfig(CEXDirectoryOf(chosen));
    config.CFGSetConfigFileName(chosen);
    WriteConfiguration(chosen);
    CEXDisplayConfigFileName(chosen);
    config.CFGAddPickFileIni(chosen);
    ports_.synchMenuItems();
  }
}

void TCEXConfigCommands::Action_SaveConfFileExecute() {
  WriteConfiguration(ports_.config.CFGGetConfigFileName());
}

std::string TCEXConfigCommands::ConfigPath(const std::string& fileName) const {
  if (fileName.find_first_not_of(" \t") == std::string::npos)
    return ports_.dirName + TCFGConfig::CFGcBaseFileName;
  return fileName.front() == '/' ? fileName : ports_.dirName + fileName;
}

bool TCEXConfigCommands::CEXLoadIniFile(const std::string& fileName) {
  if (!CEXFileExists(ConfigPath(fileName))) {
    ports_.errors.CEXShowMessage("File " + fileName + " not found");
    return false;
  }
  TCFGConfig& config = ports_.config;
  config.CFGSetDirConfig(CEXDirectoryOf(ConfigPath(fileName)));
  config.CFGSetConfigFileName(fileName);
  CEXLoadConfiguration(fileName);
  CEXDisplayConfigFileName(fileName);
  ports_.startServer();
  return true;
}

void TCEXConfigCommands::CEXLoadConfiguration(const std::string& fileName) {
  TCFGConfig& config = ports_.config;
  const std::string remembered = config.CFGGetFileName();
  // A file that is not there is not read: reading it would empty the alarm
  // rules and the key-generation setting, and the write below would then
  // take them out of "config.ini" as well.
  if (CEXFileExists(ConfigPath(fileName))) {
    config.CFGSetFileName(fileName);
    const int rc = config.CFGReadIniFile(false);
    config.CFGSetFileName(remembered);
    if (rc != 0)
      ports_.errors.CEXShowMessage("Can not read configuration file " + ConfigPath(fileName) +
                                   ": " + PLTSystemErrorText(rc));
    UpdateSecurityHeader();
  }
  config.CFGSetConfigFileName(fileName);
  WriteConfiguration(remembered);
}

void TCEXConfigCommands::WriteConfiguration(const std::string& fileName) {
  int rc;
  {
    const TCEXBusyCursor busy(ports_.cursor);
    rc = ports_.config.CFGWriteIniFile(fileName);
  }
  if (rc != 0)
    ports_.errors.CEXShowMessage("Can not write configuration file " + ConfigPath(fileName) + ": " +
                                 PLTSystemErrorText(rc));
}

void TCEXConfigCommands::CEXDisplayConfigFileName(const std::string& fileName) {
  std::string text = CEXcNoConfigFile;
  if (!fileName.empty()) {
    std::string tail = fileName;
    text = kConfigFilePrefix + tail;
    while (!tail.empty() && !ports_.view.CEXView().CEXStatusTextFits(3, text)) {
      DropFirstCharacter(tail);
      text = std::string(kConfigFilePrefix) + ".." + tail;
    }
  }
  ports_.view.CEXSetStatus(3, text);
}

void TCEXConfigCommands::UpdateSecurityHeader() {
  const TCFGConfig& config = ports_.config;
  ports_.view.CEXSetSecurityHeaderChoice(config.CFGGetEncodingInformation() != 0,
                                         config.CFGGetMacOnly() != 0 ? 0 : 1);
}

void TCEXConfigCommands::CEXReadAtStart(const TCEXGeometry& bounds) {
  TCFGConfig& config = ports_.config;
  config.CFGSetWindowTop(bounds.top);
  config.CFGSetWindowLeft(bounds.left);
  config.CFGSetWindowWidth(bounds.width);
  config.CFGSetWindowHeight(bounds.height);
  if (const int rc = config.CFGReadIniFile(true); rc != 0)
    ports_.errors.CEXShowMessage("Can not read configuration file " + ConfigPath("") + ": " +
                                 PLTSystemErrorText(rc));
  UpdateSecurityHeader();
}

TCEXGeometry TCEXConfigCommands::CEXStoredGeometry() const {
  const TCFGConfig& config = ports_.config;
  if (config.CFGGetWindowState() == 2) return TCEXGeometry{.maximised = true};
  return TCEXGeometry{.maximised = false,
                      .top = std::max(config.CFGGetWindowTop(), 0),
                      .left = std::max(config.CFGGetWindowLeft(), 0),
                      .width = config.CFGGetWindowWidth(),
                      .height = config.CFGGetWindowHeight()};
}

void TCEXConfigCommands::CEXWriteAtClose(const TCEXGeometry& bounds) {
  TCFGConfig& config = ports_.config;
  config.CFGSetWindowState(bounds.maximised ? 2 : 0);
  config.CFGSetWindowTop(bounds.top);
  config.CFGSetWindowHeight(bounds.height);
  config.CFGSetWindowLeft(bounds.left);
  config.CFGSetWindowWidth(bounds.width);
  // The named configuration in use gets the settings, and "config.ini"
  // always does; a failed write is shown and the close goes on.
  const std::string& current = config.CFGGetConfigFileName();
  if (!current.empty() && ConfigPath(current) != ConfigPath("")) WriteConfiguration(current);
  WriteConfiguration(TCFGConfig::CFGcBaseFileName);
}

}  // namespace kal
