#include "ep2/Ep2ByteStream.h"

#include "ep2/Ep2Security.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"

namespace kal {

namespace {

using TIBS = TIBSaEp2ByteStream;

constexpr size_t kMaxShortCryptogram = 0xFF;
constexpr size_t kMaxLongCryptogram = 0xFFFF;
constexpr uint64_t kMaxFrameLength = 0xFFFFFFFFu;
constexpr size_t kFixedSenderIdLength = 11;
constexpr size_t kTerminalIdLength = 8;  // sender id type 3
constexpr int kTerminalIdType = 3;
constexpr int kLastFixedSenderIdType = 4;
constexpr int kLastFixedOwnerIdType = 3;

void PutBigEndian(std::string& out, uint64_t value, size_t bytes) {
  for (size_t i = bytes; i-- > 0;) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The received bytes not read yet; every take checks that enough are left.
class TFrameCursor {
 public:
  explicit TFrameCursor(std::string_view bytes) : rest_(bytes) {}

  bool Take(size_t n, std::string& out) {
    if (n > rest_.size()) return false;
    // clear + append rather than assign: GCC 12 warns falsely (-Wrestrict)
    // about the inlined assign.
    out.clear();
    out.append(rest_.data(), n);
    rest_.remove_prefix(n);
    return true;
  }
  // A big-endian number of `bytes` bytes (at most 4).
  bool TakeNumber(size_t bytes, int& value) {
    if (bytes > rest_.size()) return false;
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v = v << 8 | static_cast<uint8_t>(rest_[i]);
    rest_.remove_prefix(bytes);
    value = static_cast<int>(v);
    return true;
  }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// The sender id length a received type stands for; -1 for a negative
// caller's length.
long SenderIdLength(int type, int callerLength) {
  if (type == kTerminalIdType) return kTerminalIdLength;
  if (type <= kLastFixedSenderIdType) return kFixedSenderIdLength;
  return callerLength < 0 ? -1 : callerLength;
}

long OwnerIdLength(int type, int callerLength) {
  if (type <= kLastFixedOwnerIdType) return kFixedSenderIdLength;
  return callerLength < 0 ? -1 : callerLength;
}

}  // namespace

int TIBSaEp2ByteStream::IBSGetHashalgorithmInd(std::string_view sSpecVersionNumber) {
  return UTHStringToCompactHex(sSpecVersionNumber) >= "0630" ? 2 : 1;
}

int TIBSaEp2ByteStream::IBSComputeMAC(std::string_view aXMLDoc, int iSessionKeyVariant,
                                      std::string_view sSessionKey,
                                      std::string_view sSpecVersionNumber,
                                      std::string& sMAC) const {
  sMAC.clear();
  std::string variant;
  int rc =
      IBSaSecurity.SECGenerateSessionKeyVariant(iSessionKeyVariant, sSessionKey, nullptr, variant);
  if (rc == 0) {
    const std::string hash =
        TSECep2Security::SECGetHash(aXMLDoc, IBSGetHashalgorithmInd(sSpecVersionNumber));
    rc = IBSaSecurity.SECComputeMac(variant, hash, nullptr, sMAC);
  }
  SecureWipe(variant);
  return rc;
}

int TIBSaEp2ByteStream::IBSXMLDocToStream(std::string_view aXMLDoc, int iSenderIDLength,
                                          int iPublicKeyOwnerIDLength,
                                          const TIBSFrameHeader& header, int iSessionKeyVariant,
                                          std::string_view sSessionKey, std::string& aBuf) const {
  const std::string_view sVersionNumber = header.sVersionNumber;
  const std::string_view sSpecVersionNumber = header.sSpecVersionNumber;
  const int iEncoding = header.iEncoding;
  const std::string_view sSenderIdentifier = header.sSenderIdentifier;
  const std::string_view sPublicKeyOwnerIdentifier = header.sPublicKeyOwnerIdentifier;
  const std::string_view sSessionKeyCryptogram = header.sSessionKeyCryptogram;
  aBuf.clear();
  if (sVersionNumber.size() != 1) return Error(IBScErrorIncorrectVersionLength);
  const uint8_t version = static_cast<uint8_t>(sVersionNumber[0]);
  const bool withSpecVersion = version >= IBScVersionWithSpecVersion;
  if (withSpecVersion && sSpecVersionNumber.size() != 2)
    return Error(IBScErrorIncorrectVersionLength);
  // The MAC's hash follows the specification version the frame carries.
  const std::string_view specVersion = withSpecVersion ? sSpecVersionNumber : std::string_view();
  if (iEncoding < IBScEncodingByte0 || iEncoding > IBScEncodingByteSecMac)
    return Error(IBScErrorEncodingByte2);

  std::string mac;
  if (iEncoding != IBScEncodingByte0) {
    const int rc = IBSComputeMAC(aXMLDoc, iSessionKeyVariant, sSessionKey, specVersion, mac);
    if (rc != 0) return rc;
  }
  const bool longCryptogramLength = version >= IBScVersionLongCryptogramLength;
  uint64_t body = aXMLDoc.size() + mac.size();
  if (iEncoding == IBScEncodingByteSecMac) {
    if (iSenderIDLength < 0 || sSenderIdentifier.size() != static_cast<size_t>(iSenderIDLength))
      return Error(IBScErrorIncorrectSenderIdLength);
    if (iPublicKeyOwnerIDLength < 0 ||
        sPublicKeyOwnerIdentifier.size() != static_cast<size_t>(iPublicKeyOwnerIDLength))
      return Error(IBScErrorIncorrectPublicKeyOwnerIdLength);
    if (sSessionKeyCryptogram.size() >
        (longCryptogramLength ? kMaxLongCryptogram : kMaxShortCryptogram))
      return Error(IBScErrorCryptogramTooLong);
    body += 3 + sSenderIdentifier.size() + sPublicKeyOwnerIdentifier.size() +
            (longCryptogramLength ? 2 : 1) + sSessionKeyCryptogram.size();
  }
  const uint64_t length = body + 2 + specVersion.size();
  if (length > kMaxFrameLength) return Error(IBScErrorIncorrectLength);

  aBuf.reserve(IBScLengthBytes + length);
  PutBigEndian(aBuf, length, IBScLengthBytes);
  aBuf += static_cast<char>(version);
  aBuf += specVersion;
  aBuf += static_cast<char>(iEncoding);
  if (iEncoding == IBScEncodingByteSecMac) {
    aBuf += static_cast<char>(static_cast<uint8_t>(header.iSenderIDType));
    aBuf += sSenderIdentifier;
    aBuf += static_cast<char>(static_cast<uint8_t>(header.iPublicKeyOwnerIdentifierType));
    aBuf += sPublicKeyOwnerIdentifier;
    aBuf += static_cast<char>(static_cast<uint8_t>(header.iPublicKeyIndex));
    PutBigEndian(aBuf, sSessionKeyCryptogram.size(), longCryptogramLength ? 2 : 1);
    aBuf += sSessionKeyCryptogram;
  }
  aBuf += mac;
  aBuf += aXMLDoc;
  return 0;
}

int TIBSaEp2ByteStream::IBSStreamToXMLDoc(std::string_view aBuf, int iSenderIDLength,
                                          int iPublicKeyOwnerIDLength, std::string& aXMLDoc,
                                          TIBSFrameHeader& header, std::string& sHash) const {
  aXMLDoc.clear();
  sHash.clear();
  header = TIBSFrameHeader();

  const int truncated = Error(IBScErrorIncorrectLength);
  if (aBuf.size() < IBScLengthBytes) return truncated;
  TFrameCursor cursor(aBuf);
  int length = 0;
  if (!cursor.TakeNumber(IBScLengthBytes, length) ||
      static_cast<uint32_t>(length) != aBuf.size() - IBScLengthBytes)
    return truncated;

  if (!cursor.Take(1, header.sVersionNumber)) return truncated;
  const uint8_t version = static_cast<uint8_t>(header.sVersionNumber[0]);
  if (version >= IBScVersionWithSpecVersion && !cursor.Take(2, header.sSpecVersionNumber))
    return truncated;
  if (!cursor.TakeNumber(1, header.iEncoding)) return truncated;
  if (header.iEncoding < IBScEncodingByte0 || header.iEncoding > IBScEncodingByteSecMac)
    return Error(IBScErrorEncodingByte);

  if (header.iEncoding == IBScEncodingByteSecMac) {
    if (!cursor.TakeNumber(1, header.iSenderIDType)) return truncated;
    const long senderIdLength = SenderIdLength(header.iSenderIDType, iSenderIDLength);
    if (senderIdLength < 0) return Error(IBScErrorIncorrectSenderIdLength);
    if (!cursor.Take(static_cast<size_t>(senderIdLength), header.sSenderIdentifier))
      return truncated;
    if (!cursor.TakeNumber(1, header.iPublicKeyOwnerIdentifierType)) return truncated;
    const long ownerIdLength =
        OwnerIdLength(header.iPublicKeyOwnerIdentifierType, iPublicKeyOwnerIDLength);
    if (ownerIdLength < 0) return Error(IBScErrorIncorrectPublicKeyOwnerIdLength);
    if (!cursor.Take(static_cast<size_t>(ownerIdLength), header.sPublicKeyOwnerIdentifier))
      return truncated;
    if (!cursor.TakeNumber(1, header.iPublicKeyIndex)) return truncated;
    const size_t lengthBytes = version >= IBScVersionLongCryptogramLength ? 2 : 1;
    if (!cursor.TakeNumber(lengthBytes, header.iSessionKeyCryptogramLength) ||
        !cursor.Take(static_cast<size_t>(header.iSessionKeyCryptogramLength),
                     header.sSessionKeyCryptogram))
      return truncated;
  }
  if (header.iEncoding != IBScEncodingByte0 && !cursor.Take(IBScMACBytes, header.sMAC))
    return truncated;

  aXMLDoc.append(cursor.Rest());
  if (header.iEncoding != IBScEncodingByte0)
    sHash = TSECep2Security::SECGetHash(aXMLDoc, IBSGetHashalgorithmInd(header.sSpecVersionNumber));
  return 0;
}

}  // namespace kal
