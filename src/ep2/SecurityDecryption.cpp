#include "ep2/SecurityDecryption.h"

#include "support/CompressedNumeric.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

using TSEC = TSECep2Security;

constexpr std::string_view kEncPIN = "ep2:EncPIN";
constexpr std::string_view kAppPAN = "ep2:AppPAN";
constexpr std::string_view kTrack2 = "ep2:Track2Dat";
constexpr std::string_view kTrack2Eq = "ep2:Track2EqDat";
constexpr std::string_view kReceiptPAN = "ep2:StatKeyPANRct";
constexpr std::string_view kAcqTC = "ep2:AcqTC";
constexpr std::string_view kSessKeyCryp = "ep2:SessKeyCryp";
constexpr int kEncodingSecurityHeader = 2;  // the frame's mode with a cryptogram

// Key material that is wiped when it goes out of scope.
struct TWipedString {
  std::string s;
  ~TWipedString() { SecureWipe(s); }
};

int PINBlockFormat(const ISDCConfiguration& config) {
  return config.CFGVersionAbove520() ? 3 : 2;
}

// The variant of `key`, then the Triple-DES decryption of `encrypted` under
// it with the mandatory padding removed.
int DecryptUnder(TSEC& security, int variant, std::string_view key, std::string_view encrypted,
                 std::string& plain) {
  TWipedString variantKey;
  const int rc = security.SECGenerateSessionKeyVariant(variant, key, nullptr, variantKey.s);
  if (rc != 0) return rc;
  return security.SECDESDecryptString(encrypted, variantKey.s, true, nullptr, plain);
}

int DecryptPIN(TSEC& security, std::string_view key, std::string_view block,
               std::string_view panOrTrack2, int format, std::string& pin) {
  TWipedString variantKey;
  const int rc = security.SECGenerateSessionKeyVariant(TSEC::SECcSessionKeyVariantPIN, key, nullptr,
                                                       variantKey.s);
  if (rc != 0) return rc;
  return security.SECGenerateDecryptedPIN(block, panOrTrack2, variantKey.s, format, pin);
}

}  // namespace

TSDCEncryptedItem::~TSDCEncryptedItem() {
  SecureWipe(SDCsValue);
}

TSDCSecurityDecryption::TSDCSecurityDecryption(int iBase, const ISDCConfiguration& config,
                                               TSECep2Security& security, ISDCReportList* report)
    : SDCiErrorBase(iBase), SDCaConfig(config), SDCaSecurity(security), SDCaReport(report) {
  SDCInitAll();
}

TSDCSecurityDecryption::~TSDCSecurityDecryption() {
  SDCInitAll();
}

void TSDCSecurityDecryption::SDCInitAll() {
  SDCsSessionKeyCryptogramm.clear();
  SDCbSessionKeyCryptogramm = false;
  SDCiEncoding = 0;
  SecureWipe(SDCsSessionKey);
  SDCbSessionKey = false;
  SDCInit();
}

void TSDCSecurityDecryption::SDCInit() {
  for (auto [slot, flag] :
       {std::pair{&SDCsEncipheredPIN, &SDCbEncipheredPIN}, std::pair{&SDCsPAN, &SDCbPAN},
        std::pair{&SDCsKeyEnc, &SDCbKeyEnc}, std::pair{&SDCsTrack2Data, &SDCbTrack2Data},
        std::pair{&SDCsTrack2EquivalentData, &SDCbTrack2EquivalentData}}) {
    SecureWipe(*slot);
    *flag = false;
  }
  SecureWipe(SDCsPANOrTrack2);
  SDCEmptyList();
  SDCaSTCVerifyATCEntryList.STCEmptyList();
}

void TSDCSecurityDecryption::SDCEmptyList() {
  SDCaEncryptedItemList.clear();
}

int TSDCSecurityDecryption::SDCRegisterSecurityItems(int iEncoding,
                                                     std::string_view sSessionKeyCryptogramm,
                                                     std::string_view sMac,
                                                     std::string_view sHash) {
  SDCiEncoding = iEncoding;
  if (iEncoding == kEncodingSecurityHeader) {
    SecureWipe(SDCsSessionKey);
    SDCbSessionKey = false;
  }
  SDCsSessionKeyCryptogramm = sSessionKeyCryptogramm;
  SDCbSessionKeyCryptogramm = !sSessionKeyCryptogramm.empty();
  SDCsMac = sMac;
  SDCsHash = sHash;
  return 0;
}

void TSDCSecurityDecryption::SDCSetSessionKey(std::string_view sValue) {
  SecureWipe(SDCsSessionKey);
  SDCsSessionKey = sValue;
  SDCbSessionKey = true;
}

int TSDCSecurityDecryption::SDCVerifyMAC(TSECep2Security& aSCCSecurity, int& iVerifyResult) const {
  iVerifyResult = -1;
  if (SDCiEncoding == 0) {
    iVerifyResult = SDCcNoMac;
    return 0;
  }
  for (const int variant :
       {TSEC::SECcSessionKeyVariantMACSend, TSEC::SECcSessionKeyVariantMACRec}) {
    TWipedString variantKey;
    std::string mac;
    int rc =
        aSCCSecurity.SECGenerateSessionKeyVariant(variant, SDCsSessionKey, nullptr, variantKey.s);
    if (rc == 0) rc = aSCCSecurity.SECComputeMac(variantKey.s, SDCsHash, nullptr, mac);
    if (rc != 0) return rc;
    if (SDCsMac.size() == TSEC::SECcDESBlocklength && mac == SDCsMac) {
      iVerifyResult = variant == TSEC::SECcSessionKeyVariantMACSend ? SDCcMACSendOk : SDCcMACRecOk;
      return 0;
    }
  }
  iVerifyResult = SDCcMACFailed;
  return 0;
}

int TSDCSecurityDecryption::SDCDecryptSessionKeyCryptogram(
    TSECep2Security& aSCCSecurity, std::string_view sPrivateKeyExponent,
    std::string_view sPrivateKeyModulus, std::string& sComponentID, std::string& sSessionKey,
    std::string& sComponentSecret, std::string& sDecryptedSessionKeyCryptogramm) {
  if (!SDCbSessionKeyCryptogramm) {
    sComponentID.clear();
    sSessionKey.clear();
    sComponentSecret.clear();
    sDecryptedSessionKeyCryptogramm.clear();
    return Error(SDCcErrorNoSessionKeyCryptogram);
  }
  const int rc = aSCCSecurity.SECOpenSessionKeyCryptogramm(
      SDCsSessionKeyCryptogramm, sPrivateKeyExponent, sPrivateKeyModulus, sComponentID, sSessionKey,
      sComponentSecret, sDecryptedSessionKeyCryptogramm);
  if (rc == 0) SDCSetSessionKey(sSessionKey);
  return rc;
}

void TSDCSecurityDecryption::SDCAddEncryptedItem(std::string_view sName, std::string_view sValue,
                                                 std::string_view sFormat,
                                                 std::string_view sAttribs) {
  if (sName == kAcqTC) {
    SDCaSTCVerifyATCEntryList.STCAddValue(sValue);
  } else if (sName == kSessKeyCryp) {
    SDCaSTCVerifyATCEntryList.STCAddKey(sValue);
  } else {
    auto item = std::make_unique<TSDCEncryptedItem>();
    item->SDCsName = sName;
    item->SDCsValue = sValue;
    item->SDCsFormat = sFormat;
    item->SDCsAttribs = sAttribs;
    SDCaEncryptedItemList.push_back(std::move(item));
  }
}

int TSDCSecurityDecryption::SDCGetEncryptedItemName(int iElement, std::string& sName,
                                                    bool& bFound) const {
  bFound = iElement >= 0 && static_cast<size_t>(iElement) < SDCaEncryptedItemList.size();
  sName = bFound ? SDCaEncryptedItemList[static_cast<size_t>(iElement)]->SDCsName : "";
  return 0;
}

int TSDCSecurityDecryption::SDCGetEncryptedItem(TSECep2Security& aSCCSecurity, int iElement,
                                                std::string& sName, std::string& sValue,
                                                std::string& sFormat, std::string& sDecryptedValue,
                                                bool& bFound) {
  sName.clear();
  sValue.clear();
  sFormat.clear();
  SecureWipe(sDecryptedValue);
  bFound = iElement >= 0 && static_cast<size_t>(iElement) < SDCaEncryptedItemList.size();
  if (!bFound) return 0;
  const TSDCEncryptedItem& item = *SDCaEncryptedItemList[static_cast<size_t>(iElement)];

  // Item i belongs to ATC entry i when there is one.
  TWipedString key, plain;
  int rc = 0;
  if (SDCGetATCCount() > iElement)
    rc = EntryKey(iElement, key.s);
  else
    key.s = SDCsSessionKey;
  if (rc != 0) return rc;

  std::string value = item.SDCsValue;
  if (item.SDCsName == kEncPIN) {
    rc = DecryptPIN(aSCCSecurity, key.s, item.SDCsValue, SDCsPANOrTrack2,
                    PINBlockFormat(SDCaConfig), plain.s);
    if (rc != 0) return rc;
    sDecryptedValue = plain.s;
  } else {
    const int variant = item.SDCsName == kReceiptPAN ? TSEC::SECcSessionKeyVariantKeyEnc
                                                     : TSEC::SECcSessionKeyVariantEncryption;
    rc = DecryptUnder(aSCCSecurity, variant, key.s, item.SDCsValue, plain.s);
    if (rc != 0) return rc;
    if (item.SDCsFormat == "cn") {
      value = plain.s;
      (void)TUTCompressedNumeric(0).UTCExpandCompNumericString(plain.s, sDecryptedValue);
    } else {
      sDecryptedValue = plain.s;
    }
    // A clear PAN or track 2 serves the PIN blocks of later items: a b item
    // gives its bytes as hex text (the digits they pack), a cn item its
    // digits. A duplicate is not this call's error.
    const std::string panSource =
        item.SDCsFormat == "b" ? UTHStringToCompactHex(plain.s) : sDecryptedValue;
    (void)SDCRegisterElement(item.SDCsName, UTHStringToHex(item.SDCsValue), panSource);
  }
  sName = item.SDCsName;
  sValue = std::move(value);
  sFormat = item.SDCsFormat;
  return 0;
}

int TSDCSecurityDecryption::SDCSetElement(std::string_view sValue, std::string& sSetValue,
                                          bool& bIsSet) const {
  if (bIsSet) return Error(SDCcErrorDuplicateElement);
  if (STRTrim(sValue).empty()) return 0;
  sSetValue = UTHHexToString(sValue);
  bIsSet = true;
  return 0;
}

int TSDCSecurityDecryption::SDCRegisterElement(std::string_view sName, std::string_view sValue,
                                               std::string_view sDecryptedValue) {
  if (sName == kEncPIN) return SDCSetElement(sValue, SDCsEncipheredPIN, SDCbEncipheredPIN);
  std::string* slot = nullptr;
  bool* flag = nullptr;
  if (sName == kAppPAN) {
    slot = &SDCsPAN, flag = &SDCbPAN;
  } else if (sName == kTrack2) {
    slot = &SDCsTrack2Data, flag = &SDCbTrack2Data;
  } else if (sName == kTrack2Eq) {
    slot = &SDCsTrack2EquivalentData, flag = &SDCbTrack2EquivalentData;
  } else if (sName == kReceiptPAN && SDCaConfig.CFGVersionAbove600()) {
    // The slot keeps the encrypted bytes, which SDCDecryptElement opens.
    return SDCSetElement(sValue, SDCsKeyEnc, SDCbKeyEnc);
  } else {
    return 0;
  }
  const int rc = SDCSetElement(sValue, *slot, *flag);
  if (!sDecryptedValue.empty()) {
    SecureWipe(SDCsPANOrTrack2);
    SDCsPANOrTrack2 = sDecryptedValue;
  }
  return rc;
}

int TSDCSecurityDecryption::SDCDecryptElement(std::string_view sName, TSECep2Security& aSCCSecurity,
                                              std::string_view sPANOrTrack2, bool& bFound,
                                              std::string& sDecrypted) const {
  bFound = false;
  SecureWipe(sDecrypted);
  if (!SDCbSessionKey) return 0;
  if (sName == kEncPIN) {
    bFound = SDCbEncipheredPIN;
    if (!bFound) return 0;
    return DecryptPIN(aSCCSecurity, SDCsSessionKey, SDCsEncipheredPIN, sPANOrTrack2,
                      PINBlockFormat(SDCaConfig), sDecrypted);
  }
  const std::string* slot = nullptr;
  int variant = TSEC::SECcSessionKeyVariantEncryption;
  if (sName == kAppPAN) {
    slot = &SDCsPAN, bFound = SDCbPAN;
  } else if (sName == kTrack2) {
    slot = &SDCsTrack2Data, bFound = SDCbTrack2Data;
  } else if (sName == kTrack2Eq) {
    slot = &SDCsTrack2EquivalentData, bFound = SDCbTrack2EquivalentData;
  } else if (sName == kReceiptPAN && SDCaConfig.CFGVersionAbove600()) {
    slot = &SDCsKeyEnc, bFound = SDCbKeyEnc;
    variant = TSEC::SECcSessionKeyVariantKeyEnc;
  }
  if (!bFound) return 0;
  return DecryptUnder(aSCCSecurity, variant, SDCsSessionKey, *slot, sDecrypted);
}

int TSDCSecurityDecryption::SDCDecryptElementValue(std::string_view /*sName*/,
                                                   std::string_view sValue,
                                                   TSECep2Security& aSCCSecurity,
                                                   std::string& sDecrypted) const {
  SecureWipe(sDecrypted);
  if (!SDCbSessionKey) return 0;
  return DecryptUnder(aSCCSecurity, TSEC::SECcSessionKeyVariantEncryption, SDCsSessionKey,
                      UTHHexToString(sValue), sDecrypted);
}

std::string TSDCSecurityDecryption::SDCGetATC(int i) const {
  const TSTCVerifyATCEntry* entry = SDCaSTCVerifyATCEntryList.STCGetElement(i);
  return entry != nullptr ? entry->STCGetValue() : std::string();
}

std::string TSDCSecurityDecryption::SDCGetKey(int i) {
  std::string key;
  (void)EntryKey(i, key);
  return key;
}

int TSDCSecurityDecryption::EntryKey(int i, std::string& sKey) {
  SecureWipe(sKey);
  TSTCVerifyATCEntry* entry = SDCaSTCVerifyATCEntryList.STCGetElement(i);
  if (entry == nullptr) return 0;
  if (!entry->STCSessionKeyIsSet()) {
    TWipedString id, key, secret, data, exponent;
    exponent.s = UTHHexToString(SDCaConfig.CFGGetPrivateKeyExponent());
    const int rc = SDCaSecurity.SECOpenSessionKeyCryptogramm(
        entry->STCGetKeyCryptogramm(), exponent.s,
        UTHHexToString(SDCaConfig.CFGGetPrivateKeyModulus()), id.s, key.s, secret.s, data.s);
    if (SDCaReport != nullptr) {
      const std::string container = "Container " + std::to_string(i);
      SDCaReport->SDCAddReportLine("");
      SDCaReport->SDCAddReportLine(container);
      SDCaReport->SDCAddReportLine("------------------------");
      const std::pair<const char*, const std::string*> lines[] = {
          {" Session Key Cryptogramm: ", &entry->STCGetKeyCryptogramm()},
          {" TerminalID: ", &id.s},
          {" Session key: ", &key.s},
          {" Component Secret: ", &secret.s},
          {" Decrypted Session Key Cryptogramm: ", &data.s}};
      for (const auto& [label, bytes] : lines)
        SDCaReport->SDCAddReportLine(container + label + UTHStringToHex(*bytes));
    }
    if (rc != 0) return rc;
    entry->STCSetSessionKey(key.s);
  }
  sKey = entry->STCGetSessionKey();
  return 0;
}

}  // namespace kal
