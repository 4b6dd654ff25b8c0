// libFuzzer target for the lines of the counter files. Checks: no crash;
// keys hold no blank, ";" or line end; an ATC value reads back as four
// upper-case hex digits; the lines written for the lists read back into the
// same lines; handing out a value never leaves a counter at 0 by wrapping.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "workbench/CounterLists.h"

namespace {

using kal::fuzz::Check;

std::vector<std::string> Lines(const kal::TCLSCounterList& list) {
  std::vector<std::string> out;
  for (size_t i = 0; i < list.CLSGetItemCount(); ++i)
    out.push_back(list.CLSGetItem(i).CLSGetItemString());
  return out;
}

void Run(kal::TCLSCounterList& list, kal::TCLSCounterList& again, const std::string& text,
         bool hex) {
  std::string value;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    list.CLSAddItemString(std::string_view(text).substr(start, end - start), false, value);
    start = end + 1;
  }
  for (size_t i = 0; i < list.CLSGetItemCount(); ++i) {
    const kal::TCLSCounterItem& item = list.CLSGetItem(i);
    Check(item.CLSsID.find_first_of(" ;\n") == std::string::npos);
    if (hex) {
      const std::string v = item.CLSGetValue();
      Check(v.size() == 4 && v.find_first_not_of("0123456789ABCDEF") == std::string::npos);
    }
  }
  for (const std::string& line : Lines(list)) again.CLSAddItemString(line, false, value);
  Check(Lines(again) == Lines(list));
  if (list.CLSGetItemCount() > 0) {
    auto& item = const_cast<kal::TCLSCounterItem&>(list.CLSGetItem(0));
    const int32_t before = item.CLSlValue;
    item.CLSIncValue();
    Check(item.CLSlValue != 0 || before == -1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  kal::TCLACounterListTrxSeqCnt trx("/nonexistent/"), trxAgain("/nonexistent/");
  kal::TCLTCounterListATC atc("/nonexistent/"), atcAgain("/nonexistent/");
  Run(trx, trxAgain, text, false);
  Run(atc, atcAgain, text, true);
  return 0;
}
