
#include <string>
#include <string_view>

#include "comm/ErrorHandOff.h"
#include "config/Config.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageTree.h"
#include "ep2/SecurityDecryption.h"
#include "support/ErrorTable.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "support/MemoryUtilities.h"
#include "workbench/RoadGuards.h"
#include "workbench/StreamRoad.h"

namespace kal {

namespace {

// Which id has which length, and which length its type needs.
std::string IdLengthText(const std::string& label, const std::string& id, int type, int needed) {
  return label + " \"" + id + "\" has " + std::to_string(id.size()) + " characters, its type " +
         std::to_string(type) + " needs " + std::to_string(needed);
}

}  // namespace

int TCEXStreamRoad::CEXCreateDataStream(ICEXDataStreamTaker* taker) {
  const std::string& memo = view_.CEXMemo(TCEXMemo::Memo1);
  const size_t start = memo.find('<');
  if (start == std::string::npos) return 0;
  const std::string_view xml = std::string_view(memo).substr(start);

  const TCFGConfig& config = ports_.config;
  int mode = TIBSaEp2ByteStream::IBScEncodingByte0;
  const uint8_t information = config.CFGGetEncodingInformation();
  if (information == 1 || information == 2)
    mode = view_.CEXSecurityHeader() == 0 ? TIBSaEp2ByteStream::IBScEncodingByteMac
                                          : TIBSaEp2ByteStream::IBScEncodingByteSecMac;

  std::string key;
  const TCEXKeyWipe wipeKey(key);
  int rc = ports_.sessionKey.CEXGetSessionKey(key);
  if (rc == TCEXSessionKey::CEXcErrorNoSessionKey) {
    // The received-message security takes the configured key, so the next
    // press uses it, as the error text tells the user.
    ports_.sessionKey.CEXUseConfiguredKey();
    StreamFailed(taker, rc, "");
    return rc;
  }
  const TCEXHeaderItems header = ports_.inputs.CEXGetTempHeaderItems();

  std::string errorText;
  std::string cryptogram;
  const uint8_t keyIndex = config.CFGGetPublicKeyIndex();
  // Only the complete security header carries the cryptogram; the other
  // modes need no public key.
  if (mode == TIBSaEp2ByteStream::IBScEncodingByteSecMac) {
    std::string secret = UTHHexToString(header.componentSecret);
    const TCEXKeyWipe wipeSecret(secret);
    rc = ports_.security.SECGenerateSessionKeyCryptogramm(
        header.senderID, key, secret, UTHHexToString(config.CFGGetPublicKeyExponent()),
        UTHHexToString(config.CFGGetPublicKeyModulus()), cryptogram);
    if (rc == 0) {
      const std::string hex = UTHStringToCompactHex(cryptogram);
      rc = ports_.recording.RFLAcceptItem("ep2:SessKeyCryp", "", true, "b", hex, "b", hex,
                                          errorText);
    }
    if (rc == 0) {
      // "0" and the index's hex digit.
      const std::string index = UTHStringToCompactHex(std::string(1, static_cast<char>(keyIndex)));
      rc = ports_.recording.RFLAcceptItem("ep2:AcqPubKeyInd", "", true, "b", index, "b", index,
                                          errorText);
    }
  }

  std::string stream;
  const int senderLength = config.CFGGetSenderIDLength(header.senderIDType);
  const int ownerLength = config.CFGGetPublicKeyOwnerIDLength(header.ownerIDType);
  if (rc == 0) {
    const TIBSFrameHeader frame{
        .sVersionNumber = UTHHexToString(config.CFGGetVersionNumber()),
        .sSpecVersionNumber = UTHHexToString(config.CFGGetSpecVersionNumber()),
        .iEncoding = mode,
        .iSenderIDType = static_cast<uint8_t>(header.senderIDType),
        .sSenderIdentifier = header.senderID,
        .iPublicKeyOwnerIdentifierType = static_cast<uint8_t>(header.ownerIDType),
        .sPublicKeyOwnerIdentifier = header.ownerID,
        .iPublicKeyIndex = keyIndex,
        .sSessionKeyCryptogram = cryptogram};
    rc = ports_.byteStream.IBSXMLDocToStream(xml, senderLength, ownerLength, frame,
                                             TSECep2Security::SECcSessionKeyVariantMACSend, key,
                                             stream);
  }
  if (rc == CEXcErrorBaseStream + TIBSaEp2ByteStream::IBScErrorIncorrectSenderIdLength)
    errorText = IdLengthText("Sender ID", header.senderID, header.senderIDType, senderLength);
  else if (rc == CEXcErrorBaseStream + TIBSaEp2ByteStream::IBScErrorIncorrectPublicKeyOwnerIdLength)
    errorText =
        IdLengthText("Public key owner ID", header.ownerID, header.ownerIDType, ownerLength);
  if (rc != 0) {
    StreamFailed(taker, rc, errorText);
    return rc;
  }

  if (taker != nullptr) {
    taker->SCLSetSendDataStream(stream);
  } else {
    view_.CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(stream));
    CEXsDataStream = std::move(stream);
  }
  view_.CEXSetStatus(1, "");
  view_.CEXSetEdit(TCEXEdit::Edit6, "");
  return 0;
}

void TCEXStreamRoad::StreamFailed(ICEXDataStreamTaker* taker, int code, const std::string& text) {
  // The stream of an earlier message is not this one's: "Send Data Stream"
  // finds nothing to send rather than sending it again.
  if (taker == nullptr) CEXDropStream();
  const std::string& shown = text.empty() ? std::string(CEXcDataStreamError) : text;
  // A run logs the code with the text; the error window shows it beside.
  if (!ports_.errors.CEXLogError(code, TERRErrorTable::ERRCodedText(code, shown), false))
    ports_.errorWindow.ERRSetError(code, shown);
}

void TCEXStreamRoad::CEXDropStream() {
  CEXSetStreamText("");
}

void TCEXStreamRoad::CEXSetStreamText(const std::string& text) {
  view_.CEXSetMemo(TCEXMemo::Memo6, text);
  CEXsDataStream = UTHHexToString(text);
}

void TCEXStreamRoad::CEXChangeStream(const std::function<void(std::string&)>& change) {
  change(CEXsDataStream);
  view_.CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(CEXsDataStream));
}

void TCEXStreamRoad::RadioGroup1Click(int index) {
  view_.CEXSetSecurityHeader(index);
  ports_.config.CFGSetMacOnly(index == 0 ? 1 : 0);
}

}  // namespace kal
