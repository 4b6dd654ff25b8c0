// GUID texts of the component layer's registry file against a plain model:
// a text reads exactly when it is 38 characters of braces, dashes after
// 8, 4, 4 and 4 digits and hex digits elsewhere; what reads writes back as
// the same text in upper case.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/component/Guid.h"

namespace {

using kal::fuzz::Check;
using kal::fuzz::Digit;

bool ModelIsGuid(std::string_view t) {
  if (t.size() != 38 || t.front() != '{' || t.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? t[i] != '-' : Digit(t[i]) < 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto guid = kal::PLTGuidFromString(text);
  Check(guid.has_value() == ModelIsGuid(text));
  if (guid) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Check(kal::PLTGuidToString(*guid) == upper);
  }
  return 0;
}
