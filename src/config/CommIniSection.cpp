#include "config/CommIniSection.h"

namespace kal {

void TCFGKeptCommSection::TCPReadIniFile(const TPLTIniFile& ini) {
  // A key missing from the file keeps the value in force, as every other
  // setting of a configuration does.
  for (size_t i = 0; i < CFGcKeys.size(); ++i)
    if (ini.PLTValueExists(CFGcSection, CFGcKeys[i]))
      values_[i] = ini.PLTReadString(CFGcSection, CFGcKeys[i], "");
}

void TCFGKeptCommSection::TCPWriteIniFile(TPLTIniFile& ini) const {
  for (size_t i = 0; i < CFGcKeys.size(); ++i)
    if (values_[i]) ini.PLTWriteString(CFGcSection, CFGcKeys[i], *values_[i]);
}

std::optional<std::string> TCFGKeptCommSection::CFGGetValue(std::string_view key) const {
  for (size_t i = 0; i < CFGcKeys.size(); ++i)
    if (key == CFGcKeys[i]) return values_[i];
  return std::nullopt;
}

}  // namespace kal
