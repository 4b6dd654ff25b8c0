#pragma once

// TSDCSecurityDecryption: the security items of one received ep2 message and
// the undoing of its protection. It keeps the frame's security mode,
// cryptogram, MAC and XML hash, the session key in use, the encrypted PIN,
// PAN, track 2, track 2 equivalent and receipt PAN, the encrypted elements
// in document order and the ATC values paired with their session-key
// cryptograms; it verifies the MAC under both MAC variants, opens
// cryptograms and decrypts elements.
//
// It reaches its owner's configuration, ep2 security object and report list
// through the references given at construction (not owned; they must
// outlive it). Results are 0, the error base + 1 or + 2 (texts in the
// error-code table for the base 5000), or the codes of the ep2 security
// object, which pass through unchanged.
//
// Values: encrypted items and slots hold bytes; SDCRegisterElement,
// SDCSetElement and SDCDecryptElementValue take hex text. Key material is
// wiped when it is dropped.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ep2/Ep2Security.h"
#include "ep2/VerifyATCEntryList.h"

namespace kal {

// The configuration values the received-message security reads.
class ISDCConfiguration {
 public:
  virtual ~ISDCConfiguration() = default;
  // The specification version tests of the message header attributes.
  virtual bool CFGVersionAbove520() const = 0;
  virtual bool CFGVersionAbove600() const = 0;
  virtual bool CFGVersionAbove700() const = 0;
  // The private RSA key as hex text.
  virtual std::string CFGGetPrivateKeyExponent() const = 0;
  virtual std::string CFGGetPrivateKeyModulus() const = 0;
};

// The security report list, which receives the steps of opening the
// cryptograms of ATC entries.
class ISDCReportList {
 public:
  virtual ~ISDCReportList() = default;
  virtual void SDCAddReportLine(std::string_view sLine) = 0;
};

// One encrypted element of the received message.
struct TSDCEncryptedItem {
  std::string SDCsName;
  std::string SDCsValue;    // bytes
  std::string SDCsFormat;   // format type ("b", "cn", ...)
  std::string SDCsAttribs;  // attribute letters
  ~TSDCEncryptedItem();
};

class TSDCSecurityDecryption final {
 public:
  static constexpr int SDCcErrorDuplicateElement = 1;
  static constexpr int SDCcErrorNoSessionKeyCryptogram = 2;
  static constexpr int SDCcErrorSessionKeyNotDecrypted = 3;  // declared, not returned
  // Results of SDCVerifyMAC (-1 before a result).
  static constexpr int SDCcNoMac = 1;
  static constexpr int SDCcMACSendOk = 2;
  static constexpr int SDCcMACRecOk = 3;
  static constexpr int SDCcMACFailed = 4;

  // `report` may be null (no report).
  TSDCSecurityDecryption(int iBase, const ISDCConfiguration& config, TSECep2Security& security,
                         ISDCReportList* report);
  ~TSDCSecurityDecryption();
  TSDCSecurityDecryption(const TSDCSecurityDecryption&) = delete;
  TSDCSecurityDecryption& operator=(const TSDCSecurityDecryption&) = delete;

  // Clears the cryptogram, the security mode and the session key, then
  // SDCInit.
  void SDCInitAll();
  // Empties the element slots and the PAN for PIN blocks, the encrypted
  // items and the ATC list (for a new analysis of the same frame).
  void SDCInit();

  // Stores the frame's items; a non-empty cryptogram counts as registered.
  // A mode-2 frame brings its own session key: the key in use is dropped
  // until its cryptogram is opened.
  int SDCRegisterSecurityItems(int iEncoding, std::string_view sSessionKeyCryptogramm,
                               std::string_view sMac, std::string_view sHash);

  void SDCSetSessionKey(std::string_view sValue);
  const std::string& SDCGetSessionKey() const { return SDCsSessionKey; }
  bool SDCSessionKeyPresent() const { return SDCbSessionKey; }
  bool SDCSessionKeyCryptogrammPresent() const { return SDCbSessionKeyCryptogramm; }
  int SDCGetEncoding() const { return SDCiEncoding; }
  const std::string& SDCGetHash() const { return SDCsHash; }

  // iVerifyResult: SDCcNoMac in mode 0; else SDCcMACSendOk when the
  // received MAC (exactly 8 bytes) is the retail MAC of the hash under the
  // session key's MAC-send variant, SDCcMACRecOk under the MAC-receive
  // variant, SDCcMACFailed under neither. A security error is the result and
  // leaves iVerifyResult at -1.
  [[nodiscard]] int SDCVerifyMAC(TSECep2Security& aSCCSecurity, int& iVerifyResult) const;

  // Opens the registered cryptogram with the private key (bytes), whose
  // layout (OAEP or raw block) it recognises itself; on success its session
  // key becomes the one in use. Base + 2 when none is registered, else the
  // parser's code.
  [[nodiscard]] int SDCDecryptSessionKeyCryptogram(
      TSECep2Security& aSCCSecurity, std::string_view sPrivateKeyExponent,
      std::string_view sPrivateKeyModulus, std::string& sComponentID, std::string& sSessionKey,
      std::string& sComponentSecret, std::string& sDecryptedSessionKeyCryptogramm);

  // "ep2:AcqTC" values and "ep2:SessKeyCryp" cryptograms go to the ATC list;
  // every other element becomes an encrypted item (value as bytes).
  void SDCAddEncryptedItem(std::string_view sName, std::string_view sValue,
                           std::string_view sFormat, std::string_view sAttribs);
  int SDCGetEncryptedItemName(int iElement, std::string& sName, bool& bFound) const;

  // Decrypts item iElement (from 0). Its key is the session key of ATC entry
  // iElement when the list has one, else the session key in use; the key in
  // use is not changed. "ep2:EncPIN" gives the PIN (format 3 from version
  // 5.20 on, else 2) with the PAN of earlier items; any other element is
  // Triple-DES decrypted (variant 5 for "ep2:StatKeyPANRct", else 3) with
  // its padding removed; for format "cn" sValue becomes the decrypted bytes
  // and sDecryptedValue their digits, else sValue is the encrypted value.
  // The element is then registered (a clear PAN or track 2 becomes the PAN
  // for later PIN blocks). On an error every output is empty.
  [[nodiscard]] int SDCGetEncryptedItem(TSECep2Security& aSCCSecurity, int iElement,
                                        std::string& sName, std::string& sValue,
                                        std::string& sFormat, std::string& sDecryptedValue,
                                        bool& bFound);

  // Stores the hex text sValue in the slot of a known encrypted element;
  // a decrypted PAN, track 2 or track 2 equivalent becomes the PAN for PIN
  // blocks. Base + 1 when the slot is already set; 0 for other names.
  int SDCRegisterElement(std::string_view sName, std::string_view sValue,
                         std::string_view sDecryptedValue);
  // A set slot gives base + 1; otherwise a value that is not empty after
  // trimming is stored as the bytes of its hex text and the slot is set.
  int SDCSetElement(std::string_view sValue, std::string& sSetValue, bool& bIsSet) const;

  // With a session key in use: bFound tells whether the element's slot is
  // set, and a set slot is decrypted ("ep2:EncPIN" with sPANOrTrack2).
  [[nodiscard]] int SDCDecryptElement(std::string_view sName, TSECep2Security& aSCCSecurity,
                                      std::string_view sPANOrTrack2, bool& bFound,
                                      std::string& sDecrypted) const;
  // With a session key in use: the hex text sValue decrypted under variant
  // 3, padding removed.
  [[nodiscard]] int SDCDecryptElementValue(std::string_view sName, std::string_view sValue,
                                           TSECep2Security& aSCCSecurity,
                                           std::string& sDecrypted) const;

  int SDCGetATCCount() const { return SDCaSTCVerifyATCEntryList.STCGetEntriesCount(); }
  // The value of ATC entry i; empty outside the list.
  std::string SDCGetATC(int i) const;
  // The session key of ATC entry i (empty outside the list or when its
  // cryptogram cannot be opened). The cryptogram is opened, with the
  // configured private key, when the key is first asked for, and the steps
  // go to the report list; an entry whose cryptogram failed is tried again.
  std::string SDCGetKey(int i);
  void SDCEmptyList();

 private:
  // SDCGetKey with the parser's code.
  int EntryKey(int i, std::string& sKey);
  int Error(int offset) const { return SDCiErrorBase + offset; }

  int SDCiErrorBase;
  const ISDCConfiguration& SDCaConfig;
  TSECep2Security& SDCaSecurity;
  ISDCReportList* SDCaReport;

  std::string SDCsSessionKeyCryptogramm;
  bool SDCbSessionKeyCryptogramm = false;
  std::string SDCsSessionKey;
  bool SDCbSessionKey = false;
  std::string SDCsEncipheredPIN;
  bool SDCbEncipheredPIN = false;
  std::string SDCsPAN;
  std::string SDCsKeyEnc;
  bool SDCbPAN = false;
  bool SDCbKeyEnc = false;
  std::string SDCsTrack2Data;
  bool SDCbTrack2Data = false;
  std::string SDCsTrack2EquivalentData;
  bool SDCbTrack2EquivalentData = false;
  int SDCiEncoding = 0;
  std::string SDCsMac;
  std::string SDCsHash;
  std::vector<std::unique_ptr<TSDCEncryptedItem>> SDCaEncryptedItemList;
  TSTCVerifyATCEntryList SDCaSTCVerifyATCEntryList;
  std::string SDCsPANOrTrack2;
};

}  // namespace kal
