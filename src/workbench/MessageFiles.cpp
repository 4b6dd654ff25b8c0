#include "workbench/MessageFiles.h"

#include <cerrno>
#include <charconv>
#include <filesystem>

#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/AttributeLetters.h"
#include "ep2/ElementRecords.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "platform/AtomicFile.h"
#include "platform/SocketErrors.h"
#include "support/DateTimeUtilities.h"
#include "support/TextLines.h"
#include "support/TraceLogger.h"
#include "workbench/FilePaths.h"
#include "workbench/MainWindow.h"

namespace kal {

namespace {

constexpr const char* kMessageFilter = "Message File|*.epm";
constexpr const char* kXMLFilter = "XML Document|*.xml";

std::string RecordErrorText(int32_t result) {
  switch (result) {
    case kCEXMessageBadCount:
      return "no element count";
    case kCEXMessageTrailingContent:
      return "content after the last element record";
    case kUAXRecordEndOfFile:
      return "the file ends inside an element record";
    case kUAXRecordBadNumber:
      return "an id is no number";
    default:
      return "unreadable element record";
  }
}

void ExpandAll(TXMLMessageTree& tree) {
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) n->SetExpanded(true);
}

}  // namespace

void CEXSetToCurrentValueOnRead(TUAXxmlElement& element, std::time_t now) {
  if (!UCBAttributeIsSet('A', element.GetAttributes())) return;
  std::string year, month, day, hour, minute, second;
  if (element.GetType() == "date") {
    UDTDateTimeStringsAt(now, year, month, day, hour, minute, second);
    element.SetValue(year + month + day);
  } else if (element.GetType() == "time") {
    UDTDateTimeStringsAt(now, year, month, day, hour, minute, second);
    element.SetValue(hour + minute + second);
  }
}

TCEXMessageReadResult CEXReadMessageText(std::string_view text, TXMLMessageTree& tree,
                                         bool shortText, std::time_t now) {
  TCEXMessageReadResult r;
  tree.XMLDeleteAll();
  TTextLineReader reader(text);
  std::string version;
  std::string countLine;
  static_cast<void>(reader.ReadLine(version));
  static_cast<void>(reader.ReadLine(countLine));
  const auto [end, ec] =
      std::from_chars(countLine.data(), countLine.data() + countLine.size(), r.records);
  if (countLine.empty() || ec != std::errc() || end != countLine.data() + countLine.size() ||
      r.records < 0) {
    r.result = kCEXMessageBadCount;
    r.errorLine = 2;
    r.records = 0;
    return r;
  }
  // The record layout follows the version line.
  r.result =
      UAXLoadElementRecords(reader, version, r.records, tree, shortText,
                            [now](TUAXxmlElement& e) { CEXSetToCurrentValueOnRead(e, now); });
  if (r.result != 0) {
    // Every record before the failing one took an id, whether it was hung
    // into the tree or dropped.
    const int recordLines = UAXRecordHasTLVTag(version) ? 7 : 6;
    r.errorLine = 3 + static_cast<int>(tree.XMLGetActID()) * recordLines;
    return r;
  }
  ExpandAll(tree);
  std::string rest;
  while (reader.ReadLine(rest)) {
    if (rest.find_first_not_of(" \t") == std::string::npos) continue;
    r.result = kCEXMessageTrailingContent;
    r.errorLine = reader.LineNumber();
    return r;
  }
  r.complete = tree.Count() == r.records;
  return r;
}

namespace {

// CEXMessageText into `writer`; `valuesChanged` (when given) tells whether
// an alias changed a value.
int32_t WriteMessageText(TXMLMessageTree& tree, const TALUAliasList* aliases,
                         TTextLineWriter& writer, std::string& errorText, bool* valuesChanged) {
  writer.WriteLine(CEXcMessageFileVersion);
  writer.WriteLine(std::to_string(tree.Count()));
  if (valuesChanged != nullptr) *valuesChanged = false;
  if (aliases != nullptr) {
    for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
      std::string value = n->GetData()->GetValue();
      if (aliases->ALUFindAlias(true, value) == nullptr || value == n->GetData()->GetValue())
        continue;
      n->GetData()->SetValue(value);
      if (valuesChanged != nullptr) *valuesChanged = true;
    }
  }
  return UAXSaveElementRecords(tree, writer, errorText);
}

}  // namespace

int32_t CEXMessageText(TXMLMessageTree& tree, const TALUAliasList* aliases, std::string& text,
                       std::string& errorText) {
  TTextLineWriter writer;
  const int32_t rc = WriteMessageText(tree, aliases, writer, errorText, nullptr);
  if (rc == 0) text = writer.Text();
  return rc;
}

void TCEXMessageFiles::Report(bool withSender, const std::string& text) {
  if (withSender)
    dialogs_.CEXShowMessage(text);
  else
    window_->CEXTrace().TDBSimpleAddString(text);
}

bool TCEXMessageFiles::CEXReadMessageFile(const std::string& path) {
  return ReadMessageFile(path, false);
}

void TCEXMessageFiles::KeepRead(const std::string& text) {
  const TXMLMessageTree& tree = window_->CEXSourceTree();
  read_.clear();
  walk_.clear();
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    TReadNode node;
    const TUAXxmlElement& e = *n->GetData();
    node.element = std::make_unique<TUAXxmlElement>();
    node.element->AssignRead(e);
    node.text = n->GetText();
    // The parent came before, most often shortly before.
    if (const TXMLTreeNode* parent = n->GetParent(); parent != nullptr) {
      for (size_t i = walk_.size(); i-- > 0;) {
        if (walk_[i] != parent) continue;
        node.parent = static_cast<int>(i);
        break;
      }
    }
    node.dated = UCBAttributeIsSet('A', e.GetAttributes()) &&
                 (e.GetType() == "date" || e.GetType() == "time");
    read_.push_back(std::move(node));
    walk_.push_back(n);
  }
  readText_ = text;
}

bool TCEXMessageFiles::RestoreRead(TXMLMessageTree& tree, std::time_t now) {
  if (tree.Count() != static_cast<int>(read_.size())) return false;
  walk_.clear();
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    const size_t i = walk_.size();
    const int parent = i < read_.size() ? read_[i].parent : -1;
    if (i >= read_.size() || n->GetParent() != (parent < 0 ? nullptr : walk_[size_t(parent)]))
      return false;
    walk_.push_back(n);
  }
  if (walk_.size() != read_.size()) return false;
  for (size_t i = 0; i < read_.size(); ++i) {
    TXMLTreeNode& n = *walk_[i];
    TUAXxmlElement& e = *n.GetData();
    e.AssignRead(*read_[i].element);
    if (read_[i].dated) {
      CEXSetToCurrentValueOnRead(e, now);
      n.SetText(e.GetTreeString());
    } else if (n.GetText() != read_[i].text) {
      n.SetText(read_[i].text);
    }
    n.SetExpanded(true);
  }
  tree.XMLSetActID(static_cast<int32_t>(read_.size()));
  tree.SetDragNode(nullptr);
  return true;
}

bool TCEXMessageFiles::ReadMessageFile(const std::string& path, bool referenceTree) {
  return Read(path, referenceTree, nullptr);
}

bool TCEXMessageFiles::CEXReadRunFile(const std::string& path, bool referenceTree, int& code,
                                      std::string& failure) {
  TReadFailure f;
  const bool read = Read(path, referenceTree, &f);
  code = f.code;
  failure = std::move(f.text);
  return read;
}

bool TCEXMessageFiles::Read(const std::string& path, bool referenceTree, TReadFailure* failure) {
  const auto fail = [&](int code, const std::string& text) {
    if (failure != nullptr)
      *failure = {code, text};
    else
      dialogs_.CEXShowMessage(text);
    return false;
  };
  TXMLMessageTree& tree = referenceTree ? window_->CEXReferenceTree() : window_->CEXSourceTree();
  std::string content;
  errno = 0;
  if (!PLTReadFile(path, content, kCEXMaxMessageFileBytes)) {
    const int err = errno != 0 ? errno : EFBIG;
    if (!referenceTree) partlyReadFile_ = path;
    return fail(err, "Can not read message file " + path + ": " + PLTSystemErrorText(err));
  }
  const std::time_t now = std::time(nullptr);
  TCEXMessageReadResult r;
  if (!referenceTree && !read_.empty() && content == readText_ && RestoreRead(tree, now)) {
    r.records = static_cast<int32_t>(read_.size());
    r.complete = true;
  } else {
    r = CEXReadMessageText(content, tree, referenceTree, now);
    if (!referenceTree) {
      read_.clear();
      settled_ = false;
      if (r.result == 0 && r.complete) KeepRead(content);
    }
  }
  window_->CEXStateChanged(referenceTree ? CEXpReferenceTree : CEXpSourceTree);
  if (!referenceTree) partlyReadFile_ = r.result == 0 && r.complete ? std::string() : path;
  if (r.result != 0) {
    if (!referenceTree) window_->CEXSetHasChanged(false);
    return fail(r.result, "Error in message file " + path + ", line " +
                              std::to_string(r.errorLine) + ": " + RecordErrorText(r.result));
  }
  if (referenceTree) return true;
  // The current message file is written again with the new ids, unless a
  // record was dropped: the file keeps what the tree could not show. A file
  // that would not change is left alone (a load test reads it once per
  // thread and row).
  if (r.complete && path == window_->CEXGetFileName()) {
    bool unchanged = false;
    SaveSilently(&content, &unchanged);
    if (!read_.empty() && !settled_ && unchanged) {
      settled_ = true;
      settledPath_ = path;
      settledAliases_ = SavingAliases();
    }
  }
  window_->CEXSetHasChanged(false);
  return true;
}

std::string TCEXMessageFiles::SavingAliases() const {
  const TALUAliasList& aliases = window_->CEXAliasList();
  std::string text;
  for (size_t i = 0; i < aliases.ALUGetCount(); ++i) {
    const TALUAlias& a = aliases.ALUGetItem(i);
    if (a.ALUIsTwoWays()) text += a.ALUGetDirectory() + '\n' + a.ALUGetAlias() + '\n';
  }
  return text;
}

bool TCEXMessageFiles::SettledSave(const std::string& path, const std::string& onDisk) const {
  if (!settled_ || path != settledPath_ || onDisk != readText_ ||
      SavingAliases() != settledAliases_)
    return false;
  size_t i = 0;
  for (const TXMLTreeNode* n = window_->CEXSourceTree().GetFirstNode(); n != nullptr;
       n = n->GetNext(), ++i)
    if (i >= read_.size() || !n->GetData()->SameRecord(*read_[i].element)) return false;
  return i == read_.size();
}

bool TCEXMessageFiles::SaveSilently(const std::string* onDisk, bool* unchanged) {
  if (unchanged != nullptr) *unchanged = false;
  const std::string path = window_->CEXGetFileName();
  // No name and nobody to ask for one: nothing to do.
  if (path.empty()) return false;
  if (!partlyReadFile_.empty() && path == partlyReadFile_) {
    Report(false, "Not saved: message file " + path + " was not read completely");
    return false;
  }
  // Written against what the file holds: the same text is not copied, and
  // not written again.
  std::string content;
  if (onDisk == nullptr && PLTReadFile(path, content, kCEXMaxMessageFileBytes)) onDisk = &content;
  if (onDisk != nullptr && SettledSave(path, *onDisk)) {
    if (unchanged != nullptr) *unchanged = true;
    window_->CEXSetHasChanged(false);
    return true;
  }
  std::string errorText;
  bool valuesChanged = false;
  TTextLineWriter writer(onDisk != nullptr ? std::string_view(*onDisk) : std::string_view());
  if (WriteMessageText(window_->CEXSourceTree(), &window_->CEXAliasList(), writer, errorText,
                       &valuesChanged) != 0) {
    Report(false, errorText);
    return false;
  }
  if (valuesChanged) window_->CEXStateChanged(CEXpSourceTree);
  if (onDisk != nullptr && writer.Matches()) {
    if (unchanged != nullptr) *unchanged = !valuesChanged;
    window_->CEXSetHasChanged(false);
    return true;
  }
  if (!PLTWriteFileAtomically(path, writer.Text())) {
    Report(false, "Saving failed (access denied): " + path);
    return false;
  }
  settled_ = false;
  if (path == partlyReadFile_) partlyReadFile_.clear();
  window_->CEXSetHasChanged(false);
  return true;
}

bool TCEXMessageFiles::Action_Save_MessageExecute(bool withSender) {
  if (!withSender) return SaveSilently(nullptr, nullptr);
  const std::string path = window_->CEXGetFileName();
  if (!CEXFileExists(path)) return Action_Save_Message_AsExecute();
  if (!partlyReadFile_.empty() && path == partlyReadFile_ &&
      dialogs_.CEXAskYesNoCancel("Message file " + path +
                                 " was not read completely. Overwrite it?") != TCEXAnswer::Yes)
    return false;
  for (;;) {
    std::string text, errorText;
    if (CEXMessageText(window_->CEXSourceTree(), &window_->CEXAliasList(), text, errorText) != 0) {
      Report(true, errorText);
      return false;
    }
    window_->CEXStateChanged(CEXpSourceTree);
    if (PLTWriteFileAtomically(path, text)) {
      settled_ = false;
      if (path == partlyReadFile_) partlyReadFile_.clear();
      window_->CEXSetHasChanged(false);
      return true;
    }
    if (dialogs_.CEXAskYesNoCancel("Saving failed (access denied), retry?") != TCEXAnswer::Yes)
      return false;
  }
}

bool TCEXMessageFiles::Action_Save_Message_AsExecute() {
  TCFGConfig& config = window_->CEXConfiguration();
  std::string chosen;
  if (!dialogs_.CEXSaveFile({"Save Message as", kMessageFilter, config.CFGGetDirMessage(),
                             CEXNameOf(window_->CEXGetFileName()), "epm"},
                            chosen))
    return false;
  window_->CEXSetMessageFileName(chosen);
  std::string text, errorText;
  if (CEXMessageText(window_->CEXSourceTree(), nullptr, text, errorText) != 0) {
    dialogs_.CEXShowMessage(errorText);
    return false;
  }
  if (!PLTWriteFileAtomically(chosen, text)) {
    dialogs_.CEXShowMessage("Saving failed (access denied): " + chosen);
    return false;
  }
  if (chosen == partlyReadFile_) partlyReadFile_.clear();
  window_->CEXSetHasChanged(false);
  return true;
}

void TCEXMessageFiles::Action_LoadMessageExecute() {
  std::string chosen;
  if (!dialogs_.CEXOpenFile({"Load Message File", kMessageFilter,
                             window_->CEXConfiguration().CFGGetDirMessage(), "", "epm"},
                            chosen))
    return;
  window_->CEXSetMessageFileName(chosen);
  ReadMessageFile(chosen, false);
}

void TCEXMessageFiles::Action_LoadReadStructureExecute() {
  TCFGConfig& config = window_->CEXConfiguration();
  std::string chosen;
  if (!dialogs_.CEXOpenFile(
          {"Load Read Structure", kMessageFilter, config.CFGGetDirReadStructure(), "", "epm"},
          chosen))
    return;
  config.CFGSetDirReadStructure(CEXDirectoryOf(chosen));
  ReadMessageFile(chosen, true);
}

void TCEXMessageFiles::Action_Load_XMLDocExecute() {
  TCFGConfig& config = window_->CEXConfiguration();
  std::string chosen;
  if (!dialogs_.CEXOpenFile(
          {"Load XML Document", kXMLFilter, config.CFGGetDirXMLDocStructure(), "", "xml"}, chosen))
    return;
  config.CFGSetDirXMLDocStructure(CEXDirectoryOf(chosen));
  std::string content;
  errno = 0;
  if (!PLTReadFile(chosen, content, kCEXMaxMessageFileBytes)) {
    const int err = errno != 0 ? errno : EFBIG;
    dialogs_.CEXShowMessage("Can not read " + chosen + ": " + PLTSystemErrorText(err));
    return;
  }
  window_->CEXSetMemo(TCEXMemo::Memo1, content);
  window_->CEXStateChanged(CEXpMemos);
}

}  // namespace kal
