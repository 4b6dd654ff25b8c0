// libFuzzer target for the column definitions of the sequence logs. Checks:
// no crash; every column variable is trimmed and no field holds a line end;
// the delimited title line, read back by a small RFC 4180 reader, gives the
// titles again, one field per column; fixed-width lines hold every value.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "support/StringUnit.h"
#include "workbench/LogItemsList.h"

namespace {

using kal::fuzz::Check;

std::vector<std::string> ReadRecord(const std::string& line, char delimiter) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"' && fields.back().empty()) {
      quoted = true;
    } else if (c == delimiter) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto items = kal::LUXReadColumnDefinitions(text, kal::TLUXLogItemsList::LUXcDelimited);
  kal::TLUXLogItemsList list("/nonexistent/", kal::TLSICounter::Steady(), [] { return 0; });
  std::vector<std::string> titles;
  for (const auto& item : items) {
    Check(item.LUXsTag == kal::STRTrim(item.LUXsTag));
    Check((item.LUXsName + item.LUXsTag).find_first_of("\r\n") == std::string::npos);
    Check(item.LUXsTag.find(';') == std::string::npos &&
          item.LUXsName.find(';') == std::string::npos);
    list.LUXAddItem(item);
    auto fixed = item;
    fixed.LUXiLogType = kal::TLUXLogItemsList::LUXcFixedWidth;
    if (fixed.LUXiLength > 1000) fixed.LUXiLength = 1000;
    list.LUXAddItem(fixed);
    titles.push_back(item.LUXsName);
    list.LUXAcceptItem(item.LUXsTag, item.LUXsName);
  }
  for (char delimiter : std::string(",.;:+*/\\\t")) {
    if (titles.empty()) break;
    Check(ReadRecord(list.LUXGenerateDelimitorSeparatedTitleLine(delimiter), delimiter) == titles);
  }
  const std::string fixed = list.LUXGenerateFixWidthString(list.LUXGetLSILogStatistics());
  // The first column of each element name shows the value it accepted.
  for (size_t i = 0; i < items.size(); ++i) {
    bool first = items[i].LUXsTag.empty() || items[i].LUXsTag[0] != '$';
    for (size_t j = 0; j < i && first; ++j) first = items[j].LUXsTag != items[i].LUXsTag;
    if (first) Check(fixed.find(kal::STRTrim(items[i].LUXsName)) != std::string::npos);
  }
  list.LUXGenerateWatchdogTitleLine();
  return 0;
}
