#include "workbench/CounterLists.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "platform/AtomicFile.h"
#include "platform/SocketErrors.h"
#include "support/HexUtilities.h"
#include "support/TextLines.h"

namespace kal {

namespace {

// Counter files hold a few short lines; anything larger is not ours.
constexpr size_t kMaxFileBytes = 4u * 1024u * 1024u;

std::string RemoveBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text)
    if (c != ' ') out.push_back(c);
  return out;
}

// Bytes no line of a counter file holds: control characters other than TAB
// (keys and values are cleaned of them before they are written). A file
// with such bytes is something else, or a counter file damaged on disk.
bool IsForeignByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && u != '\t') || u == 0x7F;
}

std::string WithSlash(const std::string& directory) {
  return directory.empty() || directory.back() == '/' ? directory : directory + "/";
}

}  // namespace

std::string TCLSCounterItem::CLSGetMessageValue() {
  std::string text = CLSGetValue();
  CLSIncValue();
  return text;
}

std::string TCLSCounterItem::CLSGetReservedValue() {
  // Advanced on the item itself, so that every kind wraps as it does.
  const int32_t value = CLSlValue;
  for (int32_t i = 0; i < CLSiReserved; ++i) CLSIncValue();
  std::string text = CLSGetValue();
  CLSlValue = value;
  return text;
}

int32_t TCLACounterItemTrxSeqCnt::CLSStringToValue(std::string_view text) const {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return 1;
  }
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return 1;
  return value;
}

std::string TCLACounterItemTrxSeqCnt::CLSValueToString(int32_t value) const {
  return std::to_string(value);
}

void TCLACounterItemTrxSeqCnt::CLSIncValue() {
  // In 64 bits: a value read near the 32-bit limit must wrap, not overflow.
  const int64_t next = int64_t{CLSlValue} + 1;
  CLSlValue = next > kMaxValue ? 1 : static_cast<int32_t>(next);
}

int32_t TCLTCounterItemATC::CLSStringToValue(std::string_view text) const {
  std::string hex = RemoveBlanks(text);
  if (hex.empty()) hex = "0000";
  return UTHHexToInt(hex);
}

std::string TCLTCounterItemATC::CLSValueToString(int32_t value) const {
  const auto low = static_cast<uint32_t>(value) & 0xFFFFu;
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i)
    text[static_cast<size_t>(3 - i)] = UTHIntToHexChar((low >> (4 * i)) & 0xF);
  return text;
}

void TCLTCounterItemATC::CLSIncValue() {
  const int64_t next = int64_t{CLSlValue} + 1;
  CLSlValue = next > kMaxValue ? 1 : static_cast<int32_t>(next);
}

std::string CLSCleanKey(std::string_view key) {
  std::string out;
  out.reserve(key.size());
  for (const char c : key)
    if (c != ' ' && c != ';' && !IsForeignByte(c)) out.push_back(c);
  return out;
}

TCLSCounterList::TCLSCounterList(std::string tag, std::string path)
    : CLSsTag(std::move(tag)), path_(std::move(path)) {}

int TCLSCounterList::CLSReadItemsFile() {
  CLSEmptyList();
  kept_ = true;
  std::string content;
  errno = 0;
  if (!PLTReadFile(path_, content, kMaxFileBytes)) {
    const int err = errno;
    if (err == ENOENT) return 0;
    // The file holds counters this run does not know: writing it would
    // hand their values out again.
    kept_ = false;
    return err != 0 ? err : EFBIG;
  }
  std::string valueText;
  TTextLineReader reader(content);
  std::string line;
  while (reader.ReadLine(line)) {
    if (std::any_of(line.begin(), line.end(), IsForeignByte)) {
      CLSEmptyList();
      kept_ = false;
      return CLScNotCounterLines;
    }
    CLSAddItemString(line, false, valueText);
  }
  return 0;
}

int TCLSCounterList::CLSWriteItemsFile() {
  for (const auto& item : items_) item->CLSiReserved = item->CLSiBlock = 0;
  return WriteLines(false);
}

int TCLSCounterList::WriteReservedFile() {
  return WriteLines(true);
}

int TCLSCounterList::WriteLines(bool reserved) {
  if (!kept_) return 0;
  std::string content;
  for (const auto& item : items_)
    content += item->CLSsID + ";" + (reserved ? item->CLSGetReservedValue() : item->CLSGetValue()) +
               "\r\n";
  errno = 0;
  if (PLTWriteFileAtomically(path_, content)) return 0;
  return errno != 0 ? errno : EIO;
}

void TCLSCounterList::CLSAddItemString(std::string_view line, bool advance,
                                       std::string& valueText) {
  const std::string text = RemoveBlanks(line);
  if (text.empty()) return;
  const size_t first = text.find(';');
  auto item = CLSNewItem();
  item->CLSsID = text.substr(0, first);
  std::string_view value;
  if (first != std::string::npos) {
    value = std::string_view(text).substr(first + 1);
    value = value.substr(0, value.find(';'));
  }
  item->CLSlValue = item->CLSStringToValue(value);
  valueText = advance ? item->CLSGetMessageValue() : item->CLSGetValue();
  CLSAddItem(std::move(item));
}

int TCLSCounterList::CLSFindItemMessageValue(std::string_view key, std::string_view initialValue,
                                             std::string& valueText) {
  const std::string id = CLSCleanKey(key);
  TCLSCounterItem* item = nullptr;
  for (const auto& i : items_) {
    if (i->CLSIsItem(id)) {
      item = i.get();
      break;
    }
  }
  if (item == nullptr) {
    // The initial value is cleaned like a key: a ";" in it would otherwise
    // end the value on the next read.
    const size_t before = items_.size();
    CLSAddItemString(id + ";" + CLSCleanKey(initialValue), false, valueText);
    if (items_.size() == before) return 0;
    item = items_.back().get();
  }
  int rc = 0;
  if (item->CLSiReserved == 0) {
    // The file accounts for the block before any value of it goes out.
    item->CLSiBlock =
        item->CLSiBlock == 0 ? CLScFirstBlock : std::min(item->CLSiBlock * 2, CLScMaxBlock);
    item->CLSiReserved = item->CLSiBlock;
    rc = WriteReservedFile();
  }
  // A block the file does not hold is tried again with the next value.
  item->CLSiReserved = rc == 0 ? item->CLSiReserved - 1 : 0;
  valueText = item->CLSGetMessageValue();
  return rc;
}

TCLACounterListTrxSeqCnt::TCLACounterListTrxSeqCnt(const std::string& directory)
    : TCLSCounterList(kTag, directory + kFileName) {}

std::unique_ptr<TCLSCounterItem> TCLACounterListTrxSeqCnt::CLSNewItem() const {
  return std::make_unique<TCLACounterItemTrxSeqCnt>();
}

TCLTCounterListATC::TCLTCounterListATC(const std::string& directory)
    : TCLSCounterList(kTag, directory + kFileName) {}

std::unique_ptr<TCLSCounterItem> TCLTCounterListATC::CLSNewItem() const {
  return std::make_unique<TCLTCounterItemATC>();
}

TCEXCounterLists::TCEXCounterLists(const std::string& directory, ICEXDialogs& dialogs)
    : dialogs_(dialogs), trxSeqCnt_(WithSlash(directory)), atc_(WithSlash(directory)) {}

void TCEXCounterLists::CEXReadCounters() {
  for (TCLSCounterList* list :
       {static_cast<TCLSCounterList*>(&trxSeqCnt_), static_cast<TCLSCounterList*>(&atc_)}) {
    if (const int rc = list->CLSReadItemsFile(); rc != 0)
      dialogs_.CEXShowMessage("Can not read counter file " + list->CLSGetPath() + ": " +
                              (rc == TCLSCounterList::CLScNotCounterLines
                                   ? std::string("it holds lines that are not counter entries")
                                   : PLTSystemErrorText(rc)) +
                              "; its counters are not kept");
  }
}

void TCEXCounterLists::CEXWriteCounters() {
  for (TCLSCounterList* list :
       {static_cast<TCLSCounterList*>(&trxSeqCnt_), static_cast<TCLSCounterList*>(&atc_)}) {
    if (const int rc = list->CLSWriteItemsFile(); rc != 0) ShowFileError("write", *list, rc);
  }
}

TCLSCounterList* TCEXCounterLists::CEXFindCounterList(std::string_view tag) {
  if (trxSeqCnt_.CLSIsTag(tag)) return &trxSeqCnt_;
  if (atc_.CLSIsTag(tag)) return &atc_;
  return nullptr;
}

bool TCEXCounterLists::CEXCounterMessageValue(std::string_view tag, std::string_view key,
                                              std::string_view initialValue,
                                              std::string& valueText) {
  TCLSCounterList* list = CEXFindCounterList(tag);
  if (list == nullptr) return false;
  if (const int rc = list->CLSFindItemMessageValue(key, initialValue, valueText); rc != 0)
    ShowFileError("write", *list, rc);
  return true;
}

void TCEXCounterLists::ShowFileError(const std::string& what, const TCLSCounterList& list, int rc) {
  dialogs_.CEXShowMessage("Can not " + what + " counter file " + list.CLSGetPath() + ": " +
                          PLTSystemErrorText(rc));
}

}  // namespace kal
