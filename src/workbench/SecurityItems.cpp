#include "workbench/SecurityItems.h"

#include <memory>

#include "comm/ErrorHandOff.h"
#include "config/Config.h"
#include "ep2/AttributeLetters.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "support/CompressedNumeric.h"
#include "support/ErrorTable.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

constexpr int kNoSessionKey = 7009;

const TSKIRowInfo& Info(TSKIRow row) {
  return kSKIRows[static_cast<size_t>(row)];
}

// Wipes a key when it goes out of scope.
struct TKeyWipe {
  std::string& key;
  ~TKeyWipe() { SecureWipe(key); }
};

}  // namespace

TSKISecurityItems::TSKISecurityItems(TPorts ports) : ports_(std::move(ports)) {}

TSKIActivation TSKISecurityItems::SKIActivate(const TXMLTreeNode* selected) {
  TSKIActivation a;
  if (selected == nullptr) return a;
  const TUAXxmlElement& element = *selected->GetData();
  a.addEnabled = true;
  a.attributes = element.GetAttributes();
  for (size_t i = 0; i < kSKIRows.size(); ++i) {
    if (element.GetName() == kSKIRows[i].elementName) {
      a.modifyEnabled[i] = true;
      a.values[i] = element.GetValue();
    }
  }
  return a;
}

void TSKISecurityItems::Report(int code) {
  if (code == kNoSessionKey) {
    // The configured key is never taken in its place here.
    ports_.errors.ERRSetErrorMessage(code, "No key from incoming message available");
    return;
  }
  ports_.errors.ERRSetErrorMessage(code, TERRErrorTable::ERRComposeText(code, "0"));
}

bool TSKISecurityItems::SessionKey(std::string& key) {
  const int rc = ports_.sessionKey(key);
  if (rc == 0) return true;
  SecureWipe(key);
  Report(rc);
  return false;
}

std::optional<std::string> TSKISecurityItems::SKISessionKeyCryptogram() {
  std::string key;
  TKeyWipe wipe{key};
  if (!SessionKey(key)) return std::nullopt;
  const TCFGConfig& config = ports_.config;
  std::string secret = UTHHexToString(config.CFGGetComponentSecret());
  TKeyWipe wipeSecret{secret};
  std::string cryptogram;
  const int rc = ports_.security.SECGenerateSessionKeyCryptogramm(
      config.CFGGetComponentID(), key, secret, UTHHexToString(config.CFGGetPublicKeyExponent()),
      UTHHexToString(config.CFGGetPublicKeyModulus()), cryptogram);
  if (rc != 0) {
    Report(Info(TSKIRow::Cryptogram).errorCode);
    return std::nullopt;
  }
  return UTHStringToHex(cryptogram);
}

std::string TSKISecurityItems::SKIEncryptPlainCryptogram(std::string_view hex) {
  const TCFGConfig& config = ports_.config;
  std::string encrypted;
  const int rc = ports_.security.SECRSAEncryptString(
      UTHHexToString(hex), UTHHexToString(config.CFGGetPublicKeyExponent()),
      UTHHexToString(config.CFGGetPublicKeyModulus()), encrypted);
  return rc == 0 ? UTHStringToHex(encrypted) : "encryption failed";
}

std::optional<std::string> TSKISecurityItems::SKIEncryptedPIN(std::string_view pin,
                                                              std::string_view pan,
                                                              std::string_view track2,
                                                              std::string_view track2Equiv) {
  std::string key;
  TKeyWipe wipe{key};
  if (!SessionKey(key)) return std::nullopt;
  const int code = Info(TSKIRow::PIN).errorCode;
  if (pin.find_first_not_of("0123456789") != std::string_view::npos) {
    Report(code);
    return std::nullopt;
  }
  std::string pinKey;
  TKeyWipe wipePinKey{pinKey};
  if (ports_.security.SECGenerateSessionKeyVariant(TSECep2Security::SECcSessionKeyVariantPIN, key,
                                                   nullptr, pinKey) != 0) {
    Report(code);
    return std::nullopt;
  }
  std::string account;
  for (std::string_view field : {pan, track2, track2Equiv}) {
    account = STRTrim(std::string(field));
    if (!account.empty()) break;
  }
  const int format = ports_.config.CFGVersionAbove520() ? 3 : 2;
  std::string block;
  if (ports_.security.SECGenerateEncryptedPINBlock(pin, account, pinKey, format, block) != 0) {
    Report(code);
    return std::nullopt;
  }
  return UTHStringToHex(block);
}

std::optional<std::string> TSKISecurityItems::SKIEncryptedAccountData(TSKIRow row,
                                                                      std::string_view digits) {
  std::string key;
  TKeyWipe wipe{key};
  if (!SessionKey(key)) return std::nullopt;
  const int code = Info(row).errorCode;
  std::string packed;
  std::string variant;
  TKeyWipe wipeVariant{variant};
  std::string encrypted;
  if (TUTCompressedNumeric(0).UTCCompressNumericString(digits, packed) != 0 ||
      ports_.security.SECGenerateSessionKeyVariant(TSECep2Security::SECcSessionKeyVariantEncryption,
                                                   key, nullptr, variant) != 0 ||
      ports_.security.SECDESEncryptString(packed, variant, true, nullptr, encrypted) != 0) {
    Report(code);
    return std::nullopt;
  }
  return UTHStringToHex(encrypted);
}

TXMLTreeNode* TSKISecurityItems::SKIAddElement(TXMLMessageTree& tree, TXMLTreeNode* selected,
                                               TSKIRow row, const std::string& value,
                                               const std::string& attributes) {
  if (selected == nullptr) return nullptr;
  auto element = std::make_unique<TUAXxmlElement>(Info(row).elementName, value, "b", attributes, "",
                                                  selected->GetData()->GetID());
  TUAXxmlElement* added = element.get();
  std::string text = added->GetTreeString();
  int32_t id = 0;
  TXMLTreeNode* node = tree.AddChildObject(selected, std::move(text), std::move(element), id);
  if (node != nullptr) added->SetID(id);
  return node;
}

bool TSKISecurityItems::SKIModifyElement(TXMLTreeNode* selected, TSKIRow row,
                                         const std::string& value, const std::string& attributes) {
  if (selected == nullptr) return false;
  TUAXxmlElement& element = *selected->GetData();
  if (element.GetName() != Info(row).elementName) return false;
  element.SetAttributes(attributes);
  element.SetValue(value);
  element.SetType("b");
  element.SetTLVTag("");
  selected->SetText(element.GetTreeString());
  return true;
}

TXMLTreeNode* TSKISecurityItems::SKINextFastSelect(TXMLMessageTree& tree, TXMLTreeNode* selected) {
  TXMLTreeNode* node = selected != nullptr ? selected->GetNext() : tree.GetFirstNode();
  for (; node != nullptr; node = node->GetNext()) {
    if (UCBAttributeIsSet('S', node->GetData()->GetAttributes())) return node;
  }
  return nullptr;
}

}  // namespace kal
