#include "tools/KeyPanel.h"

#include "config/Config.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "tools/HexInput.h"

namespace kal {

std::string KPNErrorText(int code) {
  return "Error " + std::to_string(code);
}

std::string TKPNKeyPanel::KPNRandomKey(int length) {
  std::string key = shared_.SECGenerateSessionKey(length);
  std::string hex = UTHStringToHex(key);
  SecureWipe(key);
  return hex;
}

std::string TKPNKeyPanel::KPNDefaultKey(bool key24) {
  return TCFGConfig::CFGDefaultSessionKey(key24);
}

std::vector<std::string> TKPNKeyPanel::KPNVariants(std::string_view keyHex, int count,
                                                   TSECMemo* memo) {
  TSECep2Security security(4000, random_);
  std::string key = HXIReadHex(keyHex, "Key", memo);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    std::string variant;
    const int rc = security.SECGenerateSessionKeyVariant(i, key, memo, variant);
    out.push_back(rc == 0 ? UTHStringToHex(variant) : KPNErrorText(rc));
    SecureWipe(variant);
  }
  SecureWipe(key);
  return out;
}

std::string TKPNKeyPanel::KPNChosenKey(int useKey, std::string_view keyField,
                                       const std::vector<std::string>& variantFields,
                                       std::string_view choice, TSECMemo* notes) {
  if (useKey < 0 || static_cast<size_t>(useKey) > variantFields.size()) return {};
  return HXIReadHex(useKey == 0 ? keyField : variantFields[static_cast<size_t>(useKey) - 1], choice,
                    notes);
}

}  // namespace kal
