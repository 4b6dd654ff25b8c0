#include "support/CommandLine.h"

#include "support/StringUnit.h"

namespace kal {

namespace {

// A value as written: trimmed, one pair of enclosing quotes removed, trimmed.
std::string CleanValue(std::string_view raw) {
  std::string v = STRTrim(raw);
  if (!v.empty() && (v.front() == '"' || v.front() == '\'')) {
    const char quote = v.front();
    v.erase(0, 1);
    if (!v.empty() && v.back() == quote) v.pop_back();
    v = STRTrim(v);
  }
  return v;
}

enum class Kind { kBare, kConfig, kSequence, kRun, kOtherSwitch, kEmpty };

Kind Classify(const std::string& trimmed) {
  if (trimmed.empty()) return Kind::kEmpty;
  if (trimmed.front() != '-') return Kind::kBare;
  if (STRUpperCase(trimmed) == "-RUN") return Kind::kRun;
  if (trimmed.compare(0, 2, "-c") == 0) return Kind::kConfig;
  if (trimmed.compare(0, 2, "-s") == 0) return Kind::kSequence;
  return Kind::kOtherSwitch;
}

}  // namespace

bool UPPIsRunSwitch(std::string_view arg) {
  return Classify(STRTrim(arg)) == Kind::kRun;
}

TUPParams UPParseParamsString(const std::vector<std::string>& args) {
  TUPParams p;
  bool haveConfig = false, haveSequence = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = STRTrim(args[i]);
    const Kind kind = Classify(arg);
    switch (kind) {
      case Kind::kEmpty:
      case Kind::kOtherSwitch:
        break;
      case Kind::kRun:
        p.run = true;
        break;
      case Kind::kBare: {
        const std::string v = CleanValue(arg);
        if (v.empty()) break;
        if (!p.messageFile.empty()) p.messageFile.push_back(' ');
        p.messageFile += v;
        break;
      }
      case Kind::kConfig:
      case Kind::kSequence: {
        std::string value;
        if (arg.size() > 2) {
          value = CleanValue(std::string_view(arg).substr(2));
        } else if (i + 1 < args.size()) {
          const std::string next = STRTrim(args[i + 1]);
          if (next.empty() || next.front() != '-') {
            value = CleanValue(next);
            ++i;
          }
        }
        bool& have = kind == Kind::kConfig ? haveConfig : haveSequence;
        std::string& target = kind == Kind::kConfig ? p.configFile : p.sequenceFile;
        if (!have) target = std::move(value);
        have = true;
        break;
      }
    }
  }
  return p;
}

std::string UPPGetFileName(std::string_view switchText, const std::vector<std::string>& args) {
  const TUPParams p = UPParseParamsString(args);
  if (switchText.empty()) return p.messageFile;
  if (switchText == "-c") return p.configFile;
  if (switchText == "-s") return p.sequenceFile;
  return {};
}

}  // namespace kal
