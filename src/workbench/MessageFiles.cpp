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

int32_t CEXMessageText(TXMLMessageTree& tree, const TALUAliasList* aliases, std::string& text,
                       std::string& errorText) {
  TTextLineWriter writer;
  writer.WriteLine(CEXcMessageFileVersion);
  writer.WriteLine(std::to_string(tree.Count()));
  if (aliases != nullptr) {
    for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
      std::string value = n->GetData()->GetValue();
      if (aliases->ALUFindAlias(true, value) != nullptr) n->GetData()->SetValue(value);
    }
  }
  if (const int32_t rc = UAXSaveElementRecords(tree, writer, errorText); rc != 0) return rc;
  text = writer.Text();
  return 0;
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
  const TCEXMessageReadResult r =
      CEXReadMessageText(content, tree, referenceTree, std::time(nullptr));
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
    std::string text, errorText;
    if (CEXMessageText(window_->CEXSourceTree(), &window_->CEXAliasList(), text, errorText) != 0 ||
        text != content)
      Action_Save_MessageExecute(false);
  }
  window_->CEXSetHasChanged(false);
  return true;
}

bool TCEXMessageFiles::Action_Save_MessageExecute(bool withSender) {
  const std::string path = window_->CEXGetFileName();
  if (withSender && !CEXFileExists(path)) return Action_Save_Message_AsExecute();
  // No name and nobody to ask for one: nothing to do.
  if (path.empty()) return false;
  if (!partlyReadFile_.empty() && path == partlyReadFile_) {
    if (!withSender) {
      Report(false, "Not saved: message file " + path + " was not read completely");
      return false;
    }
    if (dialogs_.CEXAskYesNoCancel("Message file " + path +
                                   " was not read completely. Overwrite it?") != TCEXAnswer::Yes)
      return false;
  }
  for (;;) {
    std::string text, errorText;
    if (CEXMessageText(window_->CEXSourceTree(), &window_->CEXAliasList(), text, errorText) != 0) {
      Report(withSender, errorText);
      return false;
    }
    window_->CEXStateChanged(CEXpSourceTree);
    if (PLTWriteFileAtomically(path, text)) {
      if (path == partlyReadFile_) partlyReadFile_.clear();
      window_->CEXSetHasChanged(false);
      return true;
    }
    if (!withSender) {
      Report(false, "Saving failed (access denied): " + path);
      return false;
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
