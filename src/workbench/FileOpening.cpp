#include "workbench/FileOpening.h"

#include "comm/ErrorHandOff.h"
#include "config/Config.h"
#include "workbench/ConfigCommands.h"
#include "workbench/FilePaths.h"

namespace kal {

void TCEXFileOpening::CEXOpenRecentFile(const TCEXRecentEntry& entry) {
  switch (entry.menu) {
    case TCEXMenu::File:
      OpenMessageFile(entry.path);
      break;
    case TCEXMenu::Parameters:
      ports_.configCommands.CEXLoadIniFile(entry.path);
      break;
    case TCEXMenu::Sequences:
      CEXLoadSequenceFile(entry.path);
      break;
    default:
      break;
  }
}

void TCEXFileOpening::OpenMessageFile(const std::string& path) {
  if (!CEXFileExists(path)) {
    ports_.errors.CEXShowMessage("File " + path + " not found");
    return;
  }
  CEXSetMessageFileName(path);
  ports_.messageFiles.CEXReadMessageFile(path);
}

void TCEXFileOpening::CEXSetMessageFileName(const std::string& path) {
  ports_.config.CFGSetDirMessage(CEXDirectoryOf(path));
  ports_.config.CFGAddPickFile(path);
  CEXsFileName = path;
  ports_.view.CEXSetCaption(std::string(CEXcCaption) + ": " + CEXNameOf(path));
  ports_.synchMenuItems();
}

void TCEXFileOpening::CEXSetFileName(const std::string& path) {
  CEXsFileName = path;
  ports_.view.CEXSetCaption(std::string(CEXcCaption) + ": " + CEXNameOf(path));
}

void TCEXFileOpening::CEXClearFileName() {
  ports_.view.CEXSetCaption(CEXcCaption);
  CEXsFileName.clear();
}

void TCEXFileOpening::CEXLoadSequenceFile(const std::string& fileName) {
  if (ports_.sequence == nullptr) return;
  if (!CEXFileExists(fileName)) {
    ports_.errors.CEXShowMessage("File " + fileName + " not found");
    return;
  }
  ports_.sequence->SEQLoadSequenceFile(fileName);
}

}  // namespace kal
