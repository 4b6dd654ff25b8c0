// "Create Data Stream": the ep2 frame of the document in Memo1, with the
// security mode the "Security header" choice asks for, the session key, the
// header items of the last build and, in mode 2, the session-key
// cryptogram. The chains "Create + Send" and "Transfer+Send".

#include <string>
#include <string_view>

#include "config/Config.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageTree.h"
#include "ep2/SecurityDecryption.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "support/MemoryUtilities.h"
#include "workbench/MainWindow.h"
#include "workbench/RoadGuards.h"

namespace kal {

namespace {

// Which id has which length, and which length its type needs.
std::string IdLengthText(const std::string& label, const std::string& id, int type, int needed) {
  return label + " \"" + id + "\" has " + std::to_string(id.size()) + " characters, its type " +
         std::to_string(type) + " needs " + std::to_string(needed);
}

}  // namespace

TCEXMainWindow::TCEXHeaderItems TCEXMainWindow::CEXGetTempHeaderItems() {
  const TCFGConfig& config = CEXConfiguration();
  TCEXBuildRoad& road = *buildRoad_;
  TCEXHeaderItems items;
  if (!road.CEXsSenderID.empty()) {
    items.senderID = road.CEXsSenderID;
    items.senderIDType = road.CEXiSenderIDType;
  } else {
    items.senderID = config.CFGGetComponentID();
    items.senderIDType = config.CFGGetSenderIDType();
  }
  if (!road.CEXsPublicKeyOwnerID.empty()) {
    items.ownerID = road.CEXsPublicKeyOwnerID;
    items.ownerIDType = road.CEXiPublicKeyOwnerIDType;
  } else {
    items.ownerID = config.CFGGetPublicKeyOwnerID();
    items.ownerIDType = config.CFGGetPublicKeyOwnerIDType();
  }
  // The same sender as before keeps its secret when this message drew none
  // (a secret drawn with the id wins).
  if (road.CEXsSenderID == road.CEXsSenderIDPrev && road.CEXsComponentSecret.empty())
    road.CEXsComponentSecret = road.CEXsComponentSecretPrev;
  items.componentSecret =
      road.CEXsComponentSecret.empty() ? config.CFGGetComponentSecret() : road.CEXsComponentSecret;
  return items;
}

int TCEXMainWindow::CEXCreateDataStream(ICEXDataStreamTaker* taker) {
  if (destroyed_) return 0;
  const std::string& memo = CEXGetMemo(TCEXMemo::Memo1);
  const size_t start = memo.find('<');
  if (start == std::string::npos) return 0;
  const std::string_view xml = std::string_view(memo).substr(start);

  TCFGConfig& config = CEXConfiguration();
  int mode = TIBSaEp2ByteStream::IBScEncodingByte0;
  const uint8_t information = config.CFGGetEncodingInformation();
  if (information == 1 || information == 2)
    mode = viewState_.CEXSecurityHeader() == 0 ? TIBSaEp2ByteStream::IBScEncodingByteMac
                                               : TIBSaEp2ByteStream::IBScEncodingByteSecMac;

  std::string key;
  const TCEXKeyWipe wipeKey(key);
  int rc = buildRoad_->CEXGetSessionKey(key);
  if (rc == TCEXBuildRoad::CEXcErrorNoSessionKey) {
    // The received-message security takes the configured key, so the next
    // press uses it, as the error text tells the user.
    receiveRoad_->CEXUseSessionKey(key);
    ReportStreamError(rc, "");
    return rc;
  }
  if (mode == TIBSaEp2ByteStream::IBScEncodingByteSecMac) receiveRoad_->CEXUseSessionKey(key);
  const TCEXHeaderItems header = CEXGetTempHeaderItems();

  std::string errorText;
  std::string cryptogram;
  const uint8_t keyIndex = config.CFGGetPublicKeyIndex();
  // Only the complete security header carries the cryptogram; the other
  // modes need no public key.
  if (mode == TIBSaEp2ByteStream::IBScEncodingByteSecMac) {
    std::string secret = UTHHexToString(header.componentSecret);
    const TCEXKeyWipe wipeSecret(secret);
    rc = CEXSecurity().SECGenerateSessionKeyCryptogramm(
        header.senderID, key, secret, UTHHexToString(config.CFGGetPublicKeyExponent()),
        UTHHexToString(config.CFGGetPublicKeyModulus()), cryptogram);
    if (rc == 0) {
      const std::string hex = UTHStringToCompactHex(cryptogram);
      rc = recording_->RFLAcceptItem("ep2:SessKeyCryp", "", true, "b", hex, "b", hex, errorText);
    }
    if (rc == 0) {
      // "0" and the index's hex digit.
      const std::string index = UTHStringToCompactHex(std::string(1, static_cast<char>(keyIndex)));
      rc = recording_->RFLAcceptItem("ep2:AcqPubKeyInd", "", true, "b", index, "b", index,
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
    rc = CEXByteStream().IBSXMLDocToStream(xml, senderLength, ownerLength, frame,
                                           TSECep2Security::SECcSessionKeyVariantMACSend, key,
                                           stream);
  }
  if (rc == CEXcErrorBaseStream + TIBSaEp2ByteStream::IBScErrorIncorrectSenderIdLength)
    errorText = IdLengthText("Sender ID", header.senderID, header.senderIDType, senderLength);
  else if (rc == CEXcErrorBaseStream + TIBSaEp2ByteStream::IBScErrorIncorrectPublicKeyOwnerIdLength)
    errorText =
        IdLengthText("Public key owner ID", header.ownerID, header.ownerIDType, ownerLength);
  if (rc != 0) {
    ReportStreamError(rc, errorText);
    return rc;
  }

  if (taker != nullptr) {
    taker->SCLSetSendDataStream(stream);
  } else {
    viewState_.CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(stream));
    CEXsDataStream = std::move(stream);
    dataStreamShown_ = true;
  }
  SetStatus(1, "");
  viewState_.CEXSetEdit(TCEXEdit::Edit6, "");
  return 0;
}

void TCEXMainWindow::ReportStreamError(int code, const std::string& text) {
  const std::string& shown = text.empty() ? std::string(CEXcDataStreamError) : text;
  if (!CEXLogError(code, shown, false)) errorWindow_.ERRSetError(code, shown);
}

std::string TCEXMainWindow::CEXDataStreamBytes() const {
  const std::string& view = CEXGetMemo(TCEXMemo::Memo6);
  if (dataStreamShown_ && !view.empty()) return CEXsDataStream;
  return UTHHexToString(view);
}

void TCEXMainWindow::Action_CreateAndSendExecute() {
  if (destroyed_ || sourceTree_->GetFirstNode() == nullptr) return;
  buildRoad_->Action_CreateXMLDocExecute();
  // A failed build leaves Memo1 empty; a failed step ends the chain, so
  // that no earlier stream goes out in place of this message.
  if (CEXGetMemo(TCEXMemo::Memo1).find('<') == std::string::npos) return;
  if (CEXCreateDataStream(nullptr) != 0) return;
  Action_SendDataStreamExecute();
}

void TCEXMainWindow::Action_TransferAndSendExecute() {
  if (destroyed_ || sourceTree_->GetFirstNode() == nullptr) return;
  buildRoad_->Action_TransferInputValuesExecute();
  Action_CreateAndSendExecute();
}

void TCEXMainWindow::RadioGroup1Click(int index) {
  viewState_.CEXSetSecurityHeader(index);
  CEXConfiguration().CFGSetMacOnly(index == 0 ? 1 : 0);
}

}  // namespace kal
