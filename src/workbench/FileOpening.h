#pragma once

// The files the main window opens by name: a message file from the command
// line or the recent files (the caption, the message folder and the pick
// list follow it), a configuration file or a sequence file from the recent
// files. The GUI thread only.

#include <functional>
#include <string>

#include "workbench/ActionTable.h"
#include "workbench/ViewState.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

class ICEXErrorHandOff;
class TCEXConfigCommands;
class TCFGConfig;

class TCEXFileOpening final {
 public:
  static constexpr const char* CEXcCaption = "Dorva ep2 Interface Tester";

  // None is owned; every reference must outlive the object. `sequence`
  // null: no sequence window (sequence files are not opened);
  // `synchMenuItems` renews the recent-file entries.
  struct TPorts {
    TCEXViewState& view;
    ICEXErrorHandOff& errors;
    TCFGConfig& config;
    TCEXConfigCommands& configCommands;
    ICEXMessageFiles& messageFiles;
    ICEXSequenceWindow* sequence;
    std::function<void()> synchMenuItems;
  };

  explicit TCEXFileOpening(TPorts ports) : ports_(std::move(ports)) {}

  // A recent-file entry was chosen.
  void CEXOpenRecentFile(const TCEXRecentEntry& entry);
  // Reads the message file into the source tree; a missing file is
  // reported.
  void OpenMessageFile(const std::string& path);
  // Makes `path` the message file of the source tree: the caption, the
  // message directory and the recent message files follow.
  void CEXSetMessageFileName(const std::string& path);
  // Only the file name and the caption follow (a sequence run's message).
  void CEXSetFileName(const std::string& path);
  // The source tree has no message file any more; the caption says so.
  void CEXClearFileName();
  const std::string& CEXGetFileName() const { return CEXsFileName; }
  // Opens the file in the sequence window; a missing file is reported.
  void CEXLoadSequenceFile(const std::string& fileName);

 private:
  TPorts ports_;
  std::string CEXsFileName;
};

}  // namespace kal
