#pragma once

// TIBSaEp2ByteStream: the ep2 frame that carries an XML message on the TCP
// link. All numbers are big-endian:
//
//   length              4  bytes that follow this field
//   version             1  protocol version byte, e.g. 0x30
//   standard version    2  only when the version byte is 0x20 or above
//   security mode       1  0 none, 1 MAC, 2 security header and MAC
//   sender id type      1  mode 2
//   sender id           n  mode 2: 8 bytes for type 3, 11 for types 0-4
//                          other than 3, the caller's length from type 5 on
//   owner id type       1  mode 2
//   owner id            n  mode 2: 11 bytes for types 0-3, the caller's
//                          length from type 4 on
//   public key index    1  mode 2
//   cryptogram length   1 or 2   mode 2: 1 byte below version 0x30
//   cryptogram          n  mode 2: the session-key cryptogram
//   MAC                 8  modes 1 and 2: retail MAC over the XML's hash
//   XML text            rest
//
// The hash is SHA-256 when the specification version carried in the frame
// is 06 30 or later, SHA-1 otherwise (and always SHA-1 when the frame
// carries none). Results are 0 or the error base plus an offset below
// (texts in the error-code table for the base 1000); errors of the MAC
// computation come with base + 200 (the ep2 security offsets). No state
// survives between calls.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ep2/Ep2Security.h"

namespace kal {

// The fields of an ep2 frame ahead of the XML text, as the writer takes them
// and the reader gives them back. Numbers are the values of their bytes.
struct TIBSFrameHeader {
  std::string sVersionNumber{};      // one byte
  std::string sSpecVersionNumber{};  // two bytes, carried from version 0x20 on
  int iEncoding = 0;                 // security mode
  // Mode 2 only: sender and public-key owner ids with their types, the
  // public key index and the session-key cryptogram.
  int iSenderIDType = 0;
  std::string sSenderIdentifier{};
  int iPublicKeyOwnerIdentifierType = 0;
  std::string sPublicKeyOwnerIdentifier{};
  int iPublicKeyIndex = 0;
  std::string sSessionKeyCryptogram{};
  // Read only: the cryptogram length field and the MAC (modes 1 and 2); the
  // writer derives both.
  int iSessionKeyCryptogramLength = 0;
  std::string sMAC{};
};

class TIBSaEp2ByteStream final {
 public:
  static constexpr size_t IBScLengthBytes = 4;
  static constexpr size_t IBScMACBytes = 8;
  static constexpr int IBScEncodingByte0 = 0;       // no security
  static constexpr int IBScEncodingByteMac = 1;     // MAC only
  static constexpr int IBScEncodingByteSecMac = 2;  // security header and MAC

  // Offsets added to the error base.
  static constexpr int IBScErrorEncodingByte = 2;   // reader: unknown security mode
  static constexpr int IBScErrorEncodingByte2 = 3;  // writer: unknown security mode
  // Reader: fewer than 4 bytes, a length prefix that differs from the bytes
  // behind it, or a field that runs past the end.
  static constexpr int IBScErrorIncorrectLength = 4;
  static constexpr int IBScErrorIncorrectSenderIdTyp = 5;
  // Writer: the sender id does not have the caller's length. Both ways: the
  // caller's length is negative. The same for the owner id (8).
  static constexpr int IBScErrorIncorrectSenderIdLength = 6;
  static constexpr int IBScErrorIncorrectPublicKeyOwnerIdTyp = 7;
  static constexpr int IBScErrorIncorrectPublicKeyOwnerIdLength = 8;
  // Writer: the cryptogram is longer than its length field can say (255
  // bytes below version 0x30, 65535 from it on).
  static constexpr int IBScErrorCryptogramTooLong = 9;
  // Writer: the version number is not 1 byte, or (version 0x20 and above)
  // the specification version is not 2 bytes.
  static constexpr int IBScErrorIncorrectVersionLength = 10;
  // Error-base offsets of the security objects for the received hash and
  // for the MAC.
  static constexpr int IBScErrorSecurityBase1 = 100;
  static constexpr int IBScErrorSecurityBase2 = 200;

  // First version byte that carries the specification version, and the
  // first whose cryptogram length field has two bytes.
  static constexpr uint8_t IBScVersionWithSpecVersion = 0x20;
  static constexpr uint8_t IBScVersionLongCryptogramLength = 0x30;

  explicit TIBSaEp2ByteStream(int iBase)  // IBSCreate
      : IBSiErrorBase(iBase), IBSaSecurity(iBase + IBScErrorSecurityBase2) {}
  int IBSGetErrorBase() const { return IBSiErrorBase; }

  // Builds the frame of the UTF-8 XML text aXMLDoc into aBuf (empty on an
  // error). The header's version is one byte, its specification version two
  // bytes (left out below version 0x20); its id types and key index are
  // written as one byte each. iSessionKeyVariant is the MAC variant (1 send,
  // 2 receive) of the 16- or 24-byte sSessionKey. In mode 2 the sender id
  // must have iSenderIDLength bytes and the owner id iPublicKeyOwnerIDLength
  // bytes.
  [[nodiscard]] int IBSXMLDocToStream(std::string_view aXMLDoc, int iSenderIDLength,
                                      int iPublicKeyOwnerIDLength, const TIBSFrameHeader& header,
                                      int iSessionKeyVariant, std::string_view sSessionKey,
                                      std::string& aBuf) const;

  // Splits a frame. The header and the XML text are cleared first and the
  // header filled as its fields are read, so after an error the fields read
  // so far remain for display (the XML text only on success). sHash gets
  // the XML text's hash in modes 1 and 2. iSenderIDLength and
  // iPublicKeyOwnerIDLength are the lengths of the types that have no fixed
  // length.
  [[nodiscard]] int IBSStreamToXMLDoc(std::string_view aBuf, int iSenderIDLength,
                                      int iPublicKeyOwnerIDLength, std::string& aXMLDoc,
                                      TIBSFrameHeader& header, std::string& sHash) const;

  // The retail MAC, under the key's variant iSessionKeyVariant, of the XML
  // text's hash chosen by sSpecVersionNumber.
  [[nodiscard]] int IBSComputeMAC(std::string_view aXMLDoc, int iSessionKeyVariant,
                                  std::string_view sSessionKey, std::string_view sSpecVersionNumber,
                                  std::string& sMAC) const;

  // 2 (SHA-256) when the compact upper-case hex of the specification version
  // compares >= "0630" as text, else 1 (SHA-1); 1 for an empty one.
  static int IBSGetHashalgorithmInd(std::string_view sSpecVersionNumber);

 private:
  int Error(int offset) const { return IBSiErrorBase + offset; }

  int IBSiErrorBase;
  // Keeps the MAC keys and key variants of the last key for the next frame.
  mutable TSECep2Security IBSaSecurity;
};

}  // namespace kal
