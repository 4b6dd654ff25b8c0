#include "workbench/LogItemsList.h"

#include <charconv>
#include <mutex>

#include "platform/AtomicFile.h"
#include "support/DateTimeUtilities.h"
#include "support/PrintLayout.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

// The lock all column lists share.
std::mutex& ColumnsLock() {
  static std::mutex lock;
  return lock;
}

constexpr size_t kMaxColumnFile = 1024 * 1024;

int ReadWidth(std::string_view text) {
  int value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return 0;
  return value;
}

std::vector<TLUXLogItem> ReadColumnFile(const std::string& path, int logType, bool& found) {
  std::string text;
  found = PLTReadFile(path, text, kMaxColumnFile);
  if (!found) return {};
  return LUXReadColumnDefinitions(text, logType);
}

}  // namespace

std::vector<TLUXLogItem> LUXReadColumnDefinitions(std::string_view text, int logType) {
  std::vector<TLUXLogItem> items;
  for (std::string_view raw : PRSSplitLines(text)) {
    const std::string line = STRTrim(raw);
    if (line.empty()) continue;
    std::string_view rest = line;
    std::string_view fields[3];
    for (int i = 0; i < 3; ++i) {
      const size_t semi = rest.find(';');
      fields[i] = rest.substr(0, semi);
      if (semi == std::string_view::npos) {
        rest = {};
        for (int j = i + 1; j < 3; ++j) fields[j] = {};
        break;
      }
      rest.remove_prefix(semi + 1);
    }
    TLUXLogItem item;
    item.LUXsName = std::string(fields[0]);
    item.LUXsTag = STRTrim(fields[1]);
    item.LUXiLength = ReadWidth(STRTrim(fields[2]));
    item.LUXiLogType = logType;
    items.push_back(std::move(item));
  }
  return items;
}

std::string LUXQuoteDelimited(std::string_view value, char delimiter) {
  if (value.find_first_of(std::string{delimiter, '"', '\r', '\n'}) == std::string_view::npos)
    return std::string(value);
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

TLUXLogItemsList::TLUXLogItemsList(const std::string& programDir, TLSICounter counter,
                                   TLUXWallClock clock)
    : statistics_(std::move(counter)), clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::time(nullptr); };
  bool found = false;
  items_ = ReadColumnFile(programDir + LUXcFixedWidthFile, LUXcFixedWidth, found);
  auto delimited = ReadColumnFile(programDir + LUXcDelimitedFile, LUXcDelimited, found);
  if (!found) delimited = ReadColumnFile(programDir + LUXcFixedWidthFile, LUXcDelimited, found);
  for (auto& item : delimited) items_.push_back(std::move(item));
}

void TLUXLogItemsList::LUXAcceptItem(std::string_view tag, std::string_view value) {
  std::lock_guard lock(ColumnsLock());
  for (auto& item : items_) {
    if (item.LUXsTag != tag || item.LUXbValueIsSet) continue;
    item.LUXsValue = std::string(value);
    item.LUXbValueIsSet = true;
  }
}

void TLUXLogItemsList::LUXReset() {
  std::lock_guard lock(ColumnsLock());
  for (auto& item : items_) {
    item.LUXsValue.clear();
    item.LUXbValueIsSet = false;
  }
  statistics_.LSIReset();
}

void TLUXLogItemsList::LUXEmptyList() {
  std::lock_guard lock(ColumnsLock());
  items_.clear();
}

void TLUXLogItemsList::LUXAddItem(TLUXLogItem item) {
  std::lock_guard lock(ColumnsLock());
  items_.push_back(std::move(item));
}

std::vector<TLUXLogItem> TLUXLogItemsList::LUXItems() const {
  std::lock_guard lock(ColumnsLock());
  return items_;
}

std::string TLUXLogItemsList::ValueLocked(const TLUXLogItem& item,
                                          const TLSILogStatistics& statistics) const {
  const std::string& tag = item.LUXsTag;
  if (tag == "$TIME" || tag == "$DATE") {
    std::string year, month, day, hour, minute, second;
    UDTDateTimeStringsAt(clock_(), year, month, day, hour, minute, second);
    return tag == "$TIME" ? hour + ":" + minute + ":" + second : day + "." + month + "." + year;
  }
  if (tag == "$EXECTIME") return std::to_string(statistics.LSIGetExecutionTime());
  if (tag == "$ERROR") return statistics.LSIGetErrorText();
  if (tag == "$SENDCOUNTER") return std::to_string(statistics.LSIComputeSendCounter());
  if (tag == "$CONNECTED") return std::to_string(statistics.LSIComputeConnectedCounter());
  if (tag == "$SENDED") return std::to_string(statistics.LSIComputeSendedCounter());
  return item.LUXsValue;
}

std::string TLUXLogItemsList::LUXGenerateFixWidthString(const TLSILogStatistics& statistics) const {
  std::lock_guard lock(ColumnsLock());
  std::string line;
  for (const auto& item : items_) {
    if (item.LUXiLogType != LUXcFixedWidth) continue;
    const std::string value = STRTrim(ValueLocked(item, statistics));
    if (static_cast<int>(value.size()) < item.LUXiLength)
      line.append(static_cast<size_t>(item.LUXiLength) - value.size(), ' ');
    line += value;
    line += "   ";
  }
  return line;
}

std::string TLUXLogItemsList::LUXGenerateWatchdogTitleLine() const {
  std::lock_guard lock(ColumnsLock());
  std::string line;
  for (const auto& item : items_) {
    if (item.LUXiLogType != LUXcFixedWidth) continue;
    const std::string title = STRTrim(item.LUXsName);
    const int free = item.LUXiLength - static_cast<int>(title.size());
    const int left = free > 0 ? (free + 1) / 2 : 0;
    const int right = free > 0 ? free - left : 0;
    line.append(static_cast<size_t>(left), ' ');
    line += title;
    line.append(static_cast<size_t>(right), ' ');
    line += "   ";
  }
  return line;
}

std::string TLUXLogItemsList::DelimitedLine(
    char delimiter, const std::function<std::string(const TLUXLogItem&)>& text) const {
  std::lock_guard lock(ColumnsLock());
  std::string line;
  bool first = true;
  for (const auto& item : items_) {
    if (item.LUXiLogType != LUXcDelimited) continue;
    if (!first) line += delimiter;
    first = false;
    line += LUXQuoteDelimited(text(item), delimiter);
  }
  return line;
}

std::string TLUXLogItemsList::LUXGenerateDelimitorSeparatedString(
    const TLSILogStatistics& statistics, char delimiter) const {
  return DelimitedLine(delimiter,
                       [&](const TLUXLogItem& item) { return ValueLocked(item, statistics); });
}

std::string TLUXLogItemsList::LUXGenerateDelimitorSeparatedTitleLine(char delimiter) const {
  return DelimitedLine(delimiter, [](const TLUXLogItem& item) { return item.LUXsName; });
}

}  // namespace kal
