// The ep2 frame reader against a position-counting model. The first two
// bytes are the configured sender-id and owner-id lengths (0-31), the rest
// is the frame. The result must be the model's; a frame that is read must
// be exactly the concatenation of the fields it was split into, and its
// hash that of its XML text.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"

namespace {

using kal::fuzz::Check;

// The expected result code for a frame of n bytes.
int Expected(const uint8_t* d, size_t n, size_t senderLength, size_t ownerLength) {
  if (n < 4 || (uint32_t{d[0]} << 24 | d[1] << 16 | d[2] << 8 | d[3]) != n - 4) return 1004;
  size_t p = 4;
  auto skip = [&](size_t k) {
    if (n - p < k) return false;
    p += k;
    return true;
  };
  if (!skip(1)) return 1004;
  const uint8_t version = d[p - 1];
  if ((version >= 0x20 && !skip(2)) || !skip(1)) return 1004;
  const uint8_t mode = d[p - 1];
  if (mode > 2) return 1002;
  if (mode == 2) {
    if (!skip(1)) return 1004;
    const uint8_t senderType = d[p - 1];
    if (!skip(senderType == 3 ? 8 : senderType <= 4 ? 11 : senderLength) || !skip(1)) return 1004;
    const uint8_t ownerType = d[p - 1];
    if (!skip(ownerType <= 3 ? 11 : ownerLength) || !skip(1)) return 1004;
    size_t cryptogramLength = 0;
    if (version >= 0x30) {
      if (!skip(2)) return 1004;
      cryptogramLength = size_t{d[p - 2]} << 8 | d[p - 1];
    } else {
      if (!skip(1)) return 1004;
      cryptogramLength = d[p - 1];
    }
    if (!skip(cryptogramLength)) return 1004;
  }
  if (mode != 0 && !skip(8)) return 1004;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int senderLength = data[0] & 31, ownerLength = data[1] & 31;
  const std::string frame(reinterpret_cast<const char*>(data + 2), size - 2);
  static const kal::TIBSaEp2ByteStream stream(1000);
  std::string xml, hash;
  kal::TIBSFrameHeader h;
  const int rc = stream.IBSStreamToXMLDoc(frame, senderLength, ownerLength, xml, h, hash);
  Check(rc == Expected(data + 2, size - 2, static_cast<size_t>(senderLength),
                       static_cast<size_t>(ownerLength)));
  if (rc != 0) {
    Check(xml.empty() && hash.empty());
    return 0;
  }
  std::string again =
      frame.substr(0, 4) + h.sVersionNumber + h.sSpecVersionNumber + static_cast<char>(h.iEncoding);
  if (h.iEncoding == 2) {
    again += static_cast<char>(h.iSenderIDType) + h.sSenderIdentifier;
    again += static_cast<char>(h.iPublicKeyOwnerIdentifierType) + h.sPublicKeyOwnerIdentifier;
    again += static_cast<char>(h.iPublicKeyIndex);
    if (static_cast<uint8_t>(h.sVersionNumber[0]) >= 0x30)
      again += static_cast<char>(h.iSessionKeyCryptogramLength >> 8);
    again += static_cast<char>(h.iSessionKeyCryptogramLength & 0xFF);
    Check(h.sSessionKeyCryptogram.size() == static_cast<size_t>(h.iSessionKeyCryptogramLength));
  }
  again += h.sSessionKeyCryptogram + h.sMAC + xml;
  Check(again == frame);
  Check(hash ==
        (h.iEncoding == 0
             ? std::string()
             : kal::TSECep2Security::SECGetHash(
                   xml, kal::TIBSaEp2ByteStream::IBSGetHashalgorithmInd(h.sSpecVersionNumber))));
  return 0;
}
