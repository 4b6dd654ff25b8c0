// libFuzzer target for the EMV recording's outside input: issuer scripts
// from a received message and the map file "submission.ini". The first byte
// chooses the input. Checks: no crash and no read past the input; a script
// gives a code from 0 to 3, and on success 5-byte results with a known
// status and a counter that runs from 1 per template; map items are trimmed
// and their parents hold no blank; the block of the map opens and closes
// every parent it writes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "support/StringUnit.h"
#include "workbench/RecordingItemsList.h"

namespace {

using kal::fuzz::Check;

void FuzzScript(const std::string& script, uint8_t seed) {
  uint32_t state = seed;
  const auto draw = [&state](uint32_t n) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % n;
  };
  for (const int32_t rate : {0, 5000, 10000}) {
    kal::TRFLScriptOutcome outcome;
    const int rc = kal::RFLComputeIssuerScriptResults(script, rate, draw, outcome);
    Check(rc >= 0 && rc <= 3);
    if (rc != 0) continue;
    Check(outcome.results.size() % 10 == 0);
    bool failed = false;
    for (size_t i = 0; i < outcome.results.size(); i += 10) {
      const char status = outcome.results[i];
      if (failed)
        Check(status == '0');
      else
        Check(status == '1' || status == '2');
      failed = failed || status == '1';
      if (rate == 0) Check(status == '2');
    }
    Check(failed == (outcome.failed71 || outcome.failed72));
  }
}

void FuzzMap(const std::string& text) {
  std::vector<std::string> lines(1);
  for (const char c : text) {
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  const std::vector<kal::TRFLRecordingItem> items = kal::RFLParseMap(lines);
  std::vector<kal::TRFLItemValue> values(items.size());
  // Balance is checked where names hold no markup characters of their own.
  bool plain = true;
  const auto plainName = [](const std::string& name) {
    return name.find_first_of("<>/") == std::string::npos;
  };
  for (size_t i = 0; i < items.size(); ++i) {
    Check(items[i].RFLsXMLTag == kal::STRTrim(items[i].RFLsXMLTag));
    Check(items[i].RFLsEMVTag == kal::STRTrim(items[i].RFLsEMVTag));
    plain = plain && plainName(items[i].RFLsXMLTag);
    for (const std::string& parent : items[i].RFLaParentTags) {
      Check(!parent.empty() && parent.find(' ') == std::string::npos);
      plain = plain && plainName(parent);
    }
    values[i] = {"v<&>" + std::to_string(i), "an", "", "", true};
  }
  const std::string block = kal::RFLGenerateXMLDocumentString(items, values);
  Check(block.rfind("<ep2:bdfin>\r\n", 0) == 0);
  Check(block.size() >= 12 && block.compare(block.size() - 12, 12, "</ep2:bdfin>") == 0);
  if (!plain) return;
  // No value may carry markup of its own into the block.
  Check(block.find("v<&>") == std::string::npos);
  // Between the root's lines: parents open on lines without "</" and close
  // on lines that start with it.
  size_t opens = 0, closes = 0;
  size_t at = block.find("\r\n") + 2;
  const size_t last = block.size() - 12;
  while (at < last) {
    const size_t end = block.find("\r\n", at);
    const std::string line = kal::STRTrim(block.substr(at, end - at));
    if (line.rfind("</", 0) == 0)
      ++closes;
    else if (line.find("</") == std::string::npos)
      ++opens;
    at = end + 2;
  }
  Check(opens == closes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 8192) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1)
    FuzzMap(text);
  else
    FuzzScript(text, data[0]);
  return 0;
}
