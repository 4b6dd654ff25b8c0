// libFuzzer target for the alarm rule-line parser, against a small reference
// model: items split at ";" from the left, trimmed, empty counts as 0, a
// whole number within int32 otherwise; the text is the trimmed rest. Checks
// that both lists take exactly the lines the model takes, keep the line,
// and that asking and writing an entry never fails.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "config/AlarmList.h"

namespace {

using kal::fuzz::Check;

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

bool Number(const std::string& item, int32_t& value) {
  value = 0;
  if (item.empty()) return true;
  size_t i = (item[0] == '+' || item[0] == '-') ? 1 : 0;
  if (i == item.size()) return false;
  long long v = 0;
  for (; i < item.size(); ++i) {
    if (item[i] < '0' || item[i] > '9') return false;
    v = v * 10 + (item[i] - '0');
    if (v > 1LL << 32) return false;  // out of range whatever follows
  }
  if (item[0] == '-') v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// The model: false when a number item is not a whole number.
bool Model(const std::string& line, int numbers, std::vector<int32_t>& values, std::string& text) {
  std::string rest = line;
  values.clear();
  for (int n = 0; n < numbers; ++n) {
    const size_t semi = rest.find(';');
    const std::string item = Trim(rest.substr(0, semi));
    rest = semi == std::string::npos ? "" : rest.substr(semi + 1);
    int32_t v = 0;
    if (!Number(item, v)) return false;
    values.push_back(v);
  }
  text = Trim(rest);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string line(reinterpret_cast<const char*>(data), size);
  const auto now = kal::TALMTimePoint(std::chrono::seconds(1'780'000'000));
  kal::TALEAlarmErrorList errors([now] { return now; });
  kal::TALTAlarmExecutionTimeList times([now] { return now; });
  for (int numbers : {2, 3}) {
    kal::TALMAlarmList& list = numbers == 2 ? static_cast<kal::TALMAlarmList&>(errors) : times;
    std::vector<int32_t> values;
    std::string text;
    const bool taken = Model(line, numbers, values, text);
    Check(list.ALMAddItem(line) == taken);
    Check(list.ALMGetItemCount() == (taken ? 1u : 0u));
    if (!taken) continue;
    kal::TALMAlarmItem& item = list.ALEGetItem(0);
    Check(item.ALMGetLine() == line);
    Check(item.ALMGetText() == text);
    Check(item.ALMGetNumOfOccurencies() == values[static_cast<size_t>(numbers - 2)]);
    Check(item.ALMGetTimeFrame() == values[static_cast<size_t>(numbers - 1)]);
  }
  errors.ALEAcceptError(line);
  times.ALTAcceptExecutionTime(static_cast<int64_t>(size) * 1000);
  if (kal::TALMAlarmItem* fired = errors.ALMGetAlarm())
    static_cast<void>(fired->ALMGenerateLogEntry());
  if (kal::TALMAlarmItem* fired = times.ALMGetAlarm())
    static_cast<void>(fired->ALMGenerateLogEntry());
  return 0;
}
