#pragma once

// The persistent message counters: keyed lists of counters that survive
// program runs in "TrxSeqCnt.ini" (transaction sequence counter, decimal)
// and "ATC.ini" (application transaction counter, four hex digits), one
// "key;value" line per counter. A counter hands its values out of a block
// reserved ahead: before the first value of a block the list writes its file
// whole (temporary file and rename) with the value past the block, so a
// crash never hands out a value again that a message already carried (the
// next start continues past the block; the rest of it is skipped). The exact
// values are written when the file is written again from the list (at the
// main window's close).

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/MainWindowPorts.h"
#include "workbench/WorkbenchPorts.h"

namespace kal {

// One counter: its key and the value the next message gets.
class TCLSCounterItem {
 public:
  virtual ~TCLSCounterItem() = default;

  virtual int32_t CLSStringToValue(std::string_view text) const = 0;
  virtual std::string CLSValueToString(int32_t value) const = 0;
  virtual void CLSIncValue() = 0;

  std::string CLSGetValue() const { return CLSValueToString(CLSlValue); }
  // The current value as text; the counter then advances.
  std::string CLSGetMessageValue();
  // The file line, "key;value".
  std::string CLSGetItemString() const { return CLSsID + ";" + CLSGetValue(); }
  bool CLSIsItem(std::string_view id) const { return CLSsID == id; }

  // The value past the reserved block: the value the counter reaches after
  // handing out its CLSiReserved values.
  std::string CLSGetReservedValue();

  std::string CLSsID;
  int32_t CLSlValue = 0;
  // Values still reserved in the file ahead of CLSlValue, and the size of
  // the last block reserved (0: none since the exact value was written).
  int32_t CLSiReserved = 0;
  int32_t CLSiBlock = 0;
};

// Decimal counter: 1 .. 99999999, then 1 again.
class TCLACounterItemTrxSeqCnt final : public TCLSCounterItem {
 public:
  static constexpr int64_t kMaxValue = 99999999;
  // The text as a whole decimal number (optional sign); anything else, or
  // a number outside 32 bits, gives 1.
  int32_t CLSStringToValue(std::string_view text) const override;
  std::string CLSValueToString(int32_t value) const override;
  void CLSIncValue() override;
};

// Hex counter: the low 16 bits as four upper-case hex digits, high byte
// first; after 65535 the next value is 1.
class TCLTCounterItemATC final : public TCLSCounterItem {
 public:
  static constexpr int64_t kMaxValue = 65535;
  // Blanks removed, empty text read as "0000", then read as hexadecimal
  // (`UTHHexToInt`: anything that is not 1 to 8 hex digits gives 0).
  int32_t CLSStringToValue(std::string_view text) const override;
  std::string CLSValueToString(int32_t value) const override;
  void CLSIncValue() override;
};

// A counter key as it is looked up and stored: blanks, ";" and control
// characters other than TAB removed, so that the key survives a write and a
// read of its file line.
std::string CLSCleanKey(std::string_view key);

// One list of counters, serving the elements with tag `CLSsTag`, kept in
// the file `path`.
class TCLSCounterList {
 public:
  TCLSCounterList(std::string tag, std::string path);
  virtual ~TCLSCounterList() = default;

  // The result of a read of a file with lines that are not counter entries
  // (control characters other than TAB: random bytes, a damaged file).
  static constexpr int CLScNotCounterLines = EILSEQ;

  // Empties the list and adds every line of the file without advancing. A
  // missing file gives an empty list (0); other read failures give the
  // system error number, or CLScNotCounterLines, and an empty list that is
  // not kept: the file is then never written.
  [[nodiscard]] virtual int CLSReadItemsFile();
  // Rewrites the file from the list with the exact values, lines ended by
  // CR LF; no value stays reserved. 0 or the system error number; the old
  // file stays when writing fails. A list that is not kept writes nothing
  // (0).
  [[nodiscard]] virtual int CLSWriteItemsFile();
  // Adds the counter of a file line; with `advance` the value text is the
  // counter's value before it advances. Blank lines add nothing.
  virtual void CLSAddItemString(std::string_view line, bool advance, std::string& valueText);

  void CLSEmptyList() { items_.clear(); }
  size_t CLSGetItemCount() const { return items_.size(); }
  void CLSAddItem(std::unique_ptr<TCLSCounterItem> item) { items_.push_back(std::move(item)); }
  const TCLSCounterItem& CLSGetItem(size_t index) const { return *items_.at(index); }
  // The value the next message gets under `key` (a new counter starts from
  // `initialValue`, the element's own value); the counter advances. When
  // its reserved block is used up, the next block (16 values, doubling up
  // to CLScMaxBlock) is written to the file first. The value text is valid
  // even when the write fails; the result is then the system error number.
  [[nodiscard]] int CLSFindItemMessageValue(std::string_view key, std::string_view initialValue,
                                            std::string& valueText);
  bool CLSIsTag(std::string_view tag) const { return CLSsTag == tag; }

  const std::string& CLSGetPath() const { return path_; }
  // False after a read that failed for another reason than a missing file.
  bool CLSIsKept() const { return kept_; }

  const std::string CLSsTag;
  static constexpr int32_t CLScFirstBlock = 16;
  static constexpr int32_t CLScMaxBlock = 1024;

 protected:
  virtual std::unique_ptr<TCLSCounterItem> CLSNewItem() const = 0;

 private:
  // Writes every counter's value past its reserved block.
  int WriteReservedFile();
  int WriteLines(bool reserved);

  std::string path_;
  bool kept_ = true;
  std::vector<std::unique_ptr<TCLSCounterItem>> items_;
};

class TCLACounterListTrxSeqCnt final : public TCLSCounterList {
 public:
  static constexpr const char* kTag = "ep2:TrxSeqCnt";
  static constexpr const char* kFileName = "TrxSeqCnt.ini";
  explicit TCLACounterListTrxSeqCnt(const std::string& directory);

 protected:
  std::unique_ptr<TCLSCounterItem> CLSNewItem() const override;
};

class TCLTCounterListATC final : public TCLSCounterList {
 public:
  static constexpr const char* kTag = "ep2:ATC";
  static constexpr const char* kFileName = "ATC.ini";
  explicit TCLTCounterListATC(const std::string& directory);

 protected:
  std::unique_ptr<TCLSCounterItem> CLSNewItem() const override;
};

// Both lists, in the program folder, as the main window uses them.
class TCEXCounterLists final : public ICEXCounterLists {
 public:
  // The files lie in `directory`. Failures are shown through `dialogs`.
  TCEXCounterLists(const std::string& directory, ICEXDialogs& dialogs);

  void CEXReadCounters() override;
  void CEXWriteCounters() override;

  // The list serving elements with this tag, or none.
  TCLSCounterList* CEXFindCounterList(std::string_view tag);
  // The next value of the counter `key` of the list serving `tag`; false
  // when no list serves the tag. A failed write of the counter file is
  // shown; the value is still handed out.
  bool CEXCounterMessageValue(std::string_view tag, std::string_view key,
                              std::string_view initialValue, std::string& valueText) override;

 private:
  void ShowFileError(const std::string& what, const TCLSCounterList& list, int rc);

  ICEXDialogs& dialogs_;
  TCLACounterListTrxSeqCnt trxSeqCnt_;
  TCLTCounterListATC atc_;
};

}  // namespace kal
