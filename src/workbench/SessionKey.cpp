#include "workbench/SessionKey.h"

#include "config/Config.h"
#include "ep2/SecurityDecryption.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"

namespace kal {

int TCEXSessionKey::CEXGetSessionKey(std::string& key) {
  const TCFGConfig& config = ports_.config;
  key = UTHHexToString(config.CFGGetSessionKey());
  if (config.CFGGetSessionKeyFromInMessage() != 1) {
    HandOff(key);
    return 0;
  }
  if (!ports_.decryption.SDCSessionKeyPresent()) return CEXcErrorNoSessionKey;
  key = ports_.decryption.SDCGetSessionKey();
  return 0;
}

void TCEXSessionKey::CEXUseConfiguredKey() {
  std::string key = UTHHexToString(ports_.config.CFGGetSessionKey());
  HandOff(key);
  SecureWipe(key);
}

void TCEXSessionKey::HandOff(std::string_view key) {
  ports_.decryption.SDCSetSessionKey(key);
  if (ports_.changed) ports_.changed();
}

}  // namespace kal
