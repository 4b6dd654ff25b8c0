#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kal {

class ICEXMessageFiles;
class ICEXSequenceWindow;
class TCEXMainWindow;
class TSEQSequenceEditor;

// One entry of a filter text "desc|mask;mask|desc|mask…": its description
// and its masks as name patterns that match regardless of case ("*.epm"
// becomes "*.[eE][pP][mM]", so it lists "X.EPM" on a case-sensitive file
// system too).
struct TLFDFilter {
  std::string description;
  std::vector<std::string> patterns;
};
std::vector<TLFDFilter> LFDParseFilter(std::string_view text);

// The load file window's work without its widgets. In normal mode a picked
// file goes into the main window's source tree (which makes it the current
// message file) or its reference tree; while the sequence window shows, the
// files go into the cells of the sequence table instead. The mode is decided
// again on every activation.
class TLFDLoadFile {
 public:
  static constexpr const char* LFDcMessageFilter = "ep2 Messages (*.epm)|*.epm|All files (*.*)|*.*";
  static constexpr const char* LFDcSequenceFilter =
      "ep2 Messages (*.epm)|*.epm|configuration files (*.ini)|*.ini|All files (*.*)|*.*";

  // None is owned. `sequence` and `editor` may be null (no sequence window:
  // always normal mode).
  TLFDLoadFile(TCEXMainWindow& main, ICEXMessageFiles& files, const ICEXSequenceWindow* sequence,
               TSEQSequenceEditor* editor)
      : main_(main), files_(files), sequence_(sequence), editor_(editor) {}

  // The activation: the message directory of the configuration when it is
  // set and exists, otherwise the program folder, which is then stored as
  // the message directory; the mode from the sequence window's visibility.
  void LFDActivate();
  bool LFDActivated() const { return LFDbActivated; }
  const std::string& LFDDirectory() const { return directory_; }
  bool LFDSequenceMode() const { return sequenceMode_; }
  const char* LFDButton1Caption() const;
  const char* LFDButton2Caption() const;
  const char* LFDFilterText() const;
  // Only an administrator may change the directory.
  bool LFDDirectoriesEnabled() const;

  // The user opened another directory: stored as the message directory,
  // then the activation runs.
  void LFDSetDirectory(const std::string& directory);

  // The buttons and the double click on `file` (the selected file; empty:
  // none is selected and nothing happens).
  void LFDButton1(const std::string& file);
  void LFDButton2(const std::string& file);
  void LFDFileDoubleClicked(const std::string& file);
  void LFDMoveToNextCell();

 private:
  void LoadIntoSource(const std::string& file);
  void ToCell(int col, const std::string& file);

  TCEXMainWindow& main_;
  ICEXMessageFiles& files_;
  const ICEXSequenceWindow* sequence_;
  TSEQSequenceEditor* editor_;
  std::string directory_;
  bool sequenceMode_ = false;
  bool LFDbActivated = false;
};

}  // namespace kal
