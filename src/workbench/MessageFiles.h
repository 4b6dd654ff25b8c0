#pragma once

// Message files (".epm") and the two message trees: the version line
// "7.0.1", the element count and one element record per element in tree
// order, lines ended by CR LF. Reading renumbers the ids; saving is atomic
// (temporary file and rename).

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/MainWindowPorts.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

class TALUAliasList;
class TCEXMainWindow;
class TUAXxmlElement;
class TXMLMessageTree;
class TXMLTreeNode;

inline constexpr const char* CEXcMessageFileVersion = "7.0.1";
// Results of reading a message text besides the element-record results
// (kUAXRecordEndOfFile, kUAXRecordBadNumber).
inline constexpr int32_t kCEXMessageBadCount = 10;         // line 2 is no element count
inline constexpr int32_t kCEXMessageTrailingContent = 11;  // text after the last record
// Message files are read whole; larger ones are refused.
inline constexpr size_t kCEXMaxMessageFileBytes = 64u * 1024u * 1024u;

// The run-time value rule of reading: an element with attribute A of type
// "date" gets the date of `now` (YYYYMMDD), of type "time" its time
// (HHMMSS), both local.
void CEXSetToCurrentValueOnRead(TUAXxmlElement& element, std::time_t now);

struct TCEXMessageReadResult {
  int32_t result = 0;     // 0, kCEXMessageBadCount, kCEXMessageTrailingContent or a record result
  int errorLine = 0;      // 1-based line where the failing part starts
  int32_t records = 0;    // records in the file (line 2)
  bool complete = false;  // every record read and hung into the tree
};

// Replaces the tree's content by the elements of a message text (node
// texts short with `shortText`), applying the reading rule with `now`. On a
// failure the tree keeps the elements read before it. Blank lines may follow
// the last record; any other text there is kCEXMessageTrailingContent at its
// line (the records stay in the tree).
TCEXMessageReadResult CEXReadMessageText(std::string_view text, TXMLMessageTree& tree,
                                         bool shortText, std::time_t now);

// The message text of a tree. With `aliases`, each element's value passes
// through the directory aliases in their storing direction first and keeps
// the result. 0, or the element-record result with `errorText`.
[[nodiscard]] int32_t CEXMessageText(TXMLMessageTree& tree, const TALUAliasList* aliases,
                                     std::string& text, std::string& errorText);

// The message-file commands of the main window on its two trees.
class TCEXMessageFiles final : public ICEXMessageFiles {
 public:
  explicit TCEXMessageFiles(ICEXDialogs& dialogs) : dialogs_(dialogs) {}
  // The main window whose trees, message file and state this serves; set
  // once, before any other call.
  void CEXAttach(TCEXMainWindow& window) { window_ = &window; }

  // ICEXMessageFiles: the source tree from a file, full node texts; the
  // save of a user's command.
  bool CEXReadMessageFile(const std::string& path) override;
  bool CEXReadReferenceFile(const std::string& path) override {
    return ReadMessageFile(path, true);
  }
  bool CEXReadRunFile(const std::string& path, bool referenceTree, int& code,
                      std::string& failure) override;
  bool CEXSaveMessage() override { return Action_Save_MessageExecute(true); }
  bool CEXSaveMessageSilently() override { return Action_Save_MessageExecute(false); }
  void CEXLoadMessage() override { Action_LoadMessageExecute(); }
  void CEXSaveMessageAs() override { static_cast<void>(Action_Save_Message_AsExecute()); }
  void CEXLoadReferenceStructure() override { Action_LoadReadStructureExecute(); }
  void CEXLoadXMLDocument() override { Action_Load_XMLDocExecute(); }

  // Reads a file into the source tree (full node texts) or the reference
  // tree (short node texts). Failures are shown; true when every record
  // was read. The source tree's current message file is rewritten at once
  // when every record was read and hung into the tree and nothing followed
  // them.
  bool ReadMessageFile(const std::string& path, bool referenceTree);

  // Saves the source tree to the current message file (aliases applied).
  // `withSender`: a user's command, which may ask for a name and retry a
  // failed write; without one nothing is asked and failures go to the
  // trace, and a file that already holds the text of the tree, byte for
  // byte, is left alone. A file whose last load into the source tree failed
  // or was incomplete is never written without a sender; with one the user
  // is asked first. True when the file was written or already held the text.
  bool Action_Save_MessageExecute(bool withSender);
  // Asks for a name and writes the tree unchanged; true when written.
  bool Action_Save_Message_AsExecute();
  void Action_LoadMessageExecute();
  void Action_LoadReadStructureExecute();
  // Loads a file's text unchanged into Memo1.
  void Action_Load_XMLDocExecute();

 private:
  // Shows a read failure, or hands it to `failure` when one is given: the
  // errno of an unreadable file, the read result of a malformed one.
  struct TReadFailure {
    int code = 0;
    std::string text;
  };
  bool Read(const std::string& path, bool referenceTree, TReadFailure* failure);
  void Report(bool withSender, const std::string& text);

  // The source tree as the last complete read made it from `readText_`,
  // node by node in tree order. A read of a file that holds that text puts
  // the nodes back as that read made them, when the tree still has their
  // shape, instead of parsing the text again (a load test reads the same
  // file once per thread and row).
  struct TReadNode {
    std::unique_ptr<TUAXxmlElement> element;
    std::string text;
    int parent = -1;     // index of the parent node; -1 at the top
    bool dated = false;  // the read rule gives it a value (A, date or time)
  };
  void KeepRead(const std::string& text);
  // False when the tree has another shape; it is then unchanged.
  bool RestoreRead(TXMLMessageTree& tree, std::time_t now);
  // The two-way aliases, which a save applies.
  std::string SavingAliases() const;
  // True when a save to `path`, which holds `onDisk`, would write nothing
  // because it settled that after the kept read and nothing it depends on
  // changed since: the file's text, the aliases and the tree's records.
  bool SettledSave(const std::string& path, const std::string& onDisk) const;
  // The save without a sender of ReadMessageFile (`onDisk`: the file's
  // content just read) and of the build (null: read here); `unchanged` (when
  // given) tells whether the file was found holding the text with no alias
  // changing a value.
  bool SaveSilently(const std::string* onDisk, bool* unchanged);

  ICEXDialogs& dialogs_;
  TCEXMainWindow* window_ = nullptr;
  std::string readText_;
  std::vector<TReadNode> read_;
  // Set when the save after the kept read found `settledPath_` holding the
  // tree's text under the aliases `settledAliases_`.
  bool settled_ = false;
  std::string settledPath_, settledAliases_;
  std::vector<TXMLTreeNode*> walk_;  // room for RestoreRead
  // The file whose last load into the source tree failed or left records
  // out (empty: none); it holds more than the tree.
  std::string partlyReadFile_;
};

}  // namespace kal
