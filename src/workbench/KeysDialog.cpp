#include "workbench/KeysDialog.h"

#include "config/Config.h"
#include "ep2/Ep2Security.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "workbench/MainWindowPorts.h"

namespace kal {

TKEYValues TKEYKeys::KEYLoad() const {
  return {config_.CFGGetSessionKey(),
          config_.CFGGetPublicKeyModulus(),
          config_.CFGGetPublicKeyExponent(),
          config_.CFGGetPrivateKeyModulus(),
          config_.CFGGetPrivateKeyExponent(),
          config_.CFGGetATC(),
          config_.CFGGetSessionKeyFromInMessage()};
}

void TKEYKeys::KEYSave(const TKEYValues& v) {
  config_.CFGSetSessionKey(v.sessionKey);
  config_.CFGSetPublicKeyModulus(v.publicModulus);
  config_.CFGSetPublicKeyExponent(v.publicExponent);
  config_.CFGSetPrivateKeyModulus(v.privateModulus);
  config_.CFGSetPrivateKeyExponent(v.privateExponent);
  config_.CFGSetATC(v.atc);
  config_.CFGSetSessionKeyFromInMessage(v.sessionKeyMode);
}

std::string TKEYKeys::KEYRandomKey(int length) {
  std::string key = security_.SECGenerateSessionKey(length);
  std::string hex = UTHStringToHex(key);
  SecureWipe(key);
  return hex;
}

std::array<std::string, 5> TKEYKeys::KEYVariants(std::string_view hexKey) {
  std::array<std::string, 5> out;
  std::string key = UTHHexToString(hexKey);
  for (int i = 0; i < 5; ++i) {
    std::string variant;
    const int rc = security_.SECGenerateSessionKeyVariant(i, key, nullptr, variant);
    out[static_cast<size_t>(i)] = rc == 0 ? UTHStringToHex(variant) : "Error " + std::to_string(rc);
    SecureWipe(variant);
  }
  SecureWipe(key);
  return out;
}

void TKEYKeys::KEYSetDefault(bool key24) {
  if (key24) {
    config_.CFGSetDefaultKeyValues24();
  } else {
    config_.CFGSetDefaultKeyValues();
  }
}

void TKEYKeys::KEYTakeImported(const TEp2PublicKey& key) {
  config_.CFGSetPublicKeyIndex(static_cast<uint8_t>(key.GetPublicKeyIndex()));
  std::string owner = key.GetPublicKeyOwnerId();
  if (owner.size() < 11) owner.insert(0, 11 - owner.size(), '0');
  config_.CFGSetPublicKeyOwnerID(owner);
}

namespace {

TCEXFileDialog KeyFileDialog(const char* title, const std::string& folder,
                             const std::string& fileName) {
  return {title, "All files (*.*)|*.*", folder, fileName, ""};
}

}  // namespace

bool TCEXPublicKeyFileChooser::ChooseOpenFile(const std::string& sFolder, std::string& sFileName) {
  std::string chosen;
  if (!dialogs_.CEXOpenFile(KeyFileDialog("Open public key file", sFolder, sFileName), chosen))
    return false;
  sFileName = chosen;
  return true;
}

bool TCEXPublicKeyFileChooser::ChooseSaveFile(const std::string& sFolder, std::string& sFileName) {
  std::string chosen;
  if (!dialogs_.CEXSaveFile(KeyFileDialog("Save public key file", sFolder, sFileName), chosen))
    return false;
  sFileName = chosen;
  return true;
}

}  // namespace kal
