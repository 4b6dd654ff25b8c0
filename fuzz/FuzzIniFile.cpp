// Reads arbitrary bytes as an INI file, looks keys up and writes one back;
// the written text must read back the same and parse to itself.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/IniFile.h"

namespace {

using kal::fuzz::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kal::TPLTIniFile ini;
  ini.PLTParse(text);

  for (const char* section : {"Keys", "component", "TIMEOUT", "ErrorAlarms", ""}) {
    for (const char* key : {"SessionKey", "x", "ErrorAlarm1", ""}) {
      (void)ini.PLTReadString(section, key, "d");
      (void)ini.PLTReadInteger(section, key, -1);
    }
  }

  const std::string first = ini.PLTText();
  kal::TPLTIniFile again;
  again.PLTParse(first);
  Check(again.PLTText() == first);

  // The input's own first line serves as a value: whatever it holds, it
  // must come back trimmed and on one line.
  const std::string_view value = text.substr(0, text.find('\n'));
  ini.PLTWriteString("Keys", "SessionKey", value);
  ini.PLTWriteInteger("Timeout", "InterCharTimeout", static_cast<int32_t>(size));
  ini.PLTEraseSection("ErrorAlarms");
  ini.PLTWriteString("ErrorAlarms", "ErrorAlarm1", "3;60;$TIME");
  kal::TPLTIniFile back;
  back.PLTParse(ini.PLTText());
  const std::string read = back.PLTReadString("keys", "sessionkey", "");
  Check(read.find('\n') == std::string::npos);
  Check(back.PLTReadInteger("timeout", "intercharTimeout", -1) == static_cast<int32_t>(size));
  Check(back.PLTReadString("ErrorAlarms", "ErrorAlarm1", "") == "3;60;$TIME");
  return 0;
}
