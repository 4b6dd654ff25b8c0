// libFuzzer target for the command-line reader. The input is the argument
// list with arguments separated by NUL bytes (as they can never contain one).
// Checks: no crash, values trimmed, the run flag exactly when some argument
// is "-RUN" in any case, UPPGetFileName agreeing with UPParseParamsString,
// and a plain value read back the same from "-c<v>" and "-c <v>".

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "support/CommandLine.h"

namespace {

using kal::fuzz::Check;

bool Trimmed(const std::string& s) {
  return s.empty() ||
         (static_cast<unsigned char>(s.front()) > 32 && static_cast<unsigned char>(s.back()) > 32);
}

bool IsRun(const std::string& arg) {
  size_t b = 0, e = arg.size();
  while (b < e && static_cast<unsigned char>(arg[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(arg[e - 1]) <= 32) --e;
  if (e - b != 4) return false;
  const std::string upper = {arg[b], static_cast<char>(arg[b + 1] & ~0x20),
                             static_cast<char>(arg[b + 2] & ~0x20),
                             static_cast<char>(arg[b + 3] & ~0x20)};
  return upper == "-RUN";
}

void CheckRoundTrip(const std::string& sw, const std::string& v, bool config) {
  if (v.empty() || v[0] == '-' || v[0] == '"' || v[0] == '\'') return;
  const kal::TUPParams a = kal::UPParseParamsString({sw + v});
  const kal::TUPParams b = kal::UPParseParamsString({sw, v});
  Check((config ? a.configFile : a.sequenceFile) == v);
  Check((config ? b.configFile : b.sequenceFile) == v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back().push_back(static_cast<char>(data[i]));
  }
  const kal::TUPParams p = kal::UPParseParamsString(args);
  Check(Trimmed(p.messageFile) && Trimmed(p.configFile) && Trimmed(p.sequenceFile));
  Check(p.messageFile.size() <= size && p.configFile.size() <= size &&
        p.sequenceFile.size() <= size);
  bool run = false;
  for (const std::string& a : args) run = run || IsRun(a);
  Check(p.run == run);
  Check(kal::UPPGetFileName("-c", args) == p.configFile);
  Check(kal::UPPGetFileName("-s", args) == p.sequenceFile);
  Check(kal::UPPGetFileName("", args) == p.messageFile);
  CheckRoundTrip("-c", p.configFile, true);
  CheckRoundTrip("-s", p.sequenceFile, false);
  return 0;
}
