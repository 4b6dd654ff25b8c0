// The receive road of the main window: "Parse Message" splits the received
// stream and parses its document, "Analyse Message" compares the received
// message with the reference tree, "Decrypt Security" undoes the message's
// protection and verifies its certificates.

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "comm/CommParams.h"
#include "comm/PlugInCall.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/AttributeLetters.h"
#include "ep2/Ep2ByteStream.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageReader.h"
#include "ep2/MessageTree.h"
#include "ep2/ReferenceLookup.h"
#include "ep2/SecurityDecryption.h"
#include "support/CompressedNumeric.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/StringUnit.h"
#include "workbench/ElementLookup.h"
#include "workbench/ReceiveRoad.h"
#include "workbench/RoadGuards.h"
#include "workbench/TransactionCertificate.h"
#include "workbench/WorkbenchPorts.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal {

namespace {

using std::literals::string_view_literals::operator""sv;

// Which occurrence a reference node is among its siblings of the same name
// and parent id, counted as the walk in tree order passes them (looking back
// over the siblings of each would make the walk quadratic in the width of
// the message).
class TOccurrences {
 public:
  int Next(const TXMLTreeNode& node) {
    const TUAXxmlElement& e = *node.GetData();
    return ++counts_[TKey{node.GetParent(), e.GetParentID(), e.GetName()}];
  }

 private:
  struct TKey {
    const TXMLTreeNode* parent;
    int32_t parentID;
    std::string_view name;  // the element's own name, unchanged by the walk
    bool operator==(const TKey&) const = default;
  };
  struct THash {
    size_t operator()(const TKey& k) const {
      return std::hash<std::string_view>()(k.name) ^
             (std::hash<const void*>()(k.parent) * 31u + static_cast<uint32_t>(k.parentID));
    }
  };
  std::unordered_map<TKey, int, THash> counts_;
};

constexpr const char* kFormattedMark = "===";
constexpr const char* kNoReference = "No reference structure loaded";
constexpr size_t kHexLineLength = 48;

bool Has(char letter, const TUAXxmlElement& element) {
  return UCBAttributeIsSet(letter, element.GetAttributes());
}

// Compact upper-case hex with a line break after every 48 characters.
std::string HexLines(std::string_view bytes) {
  const std::string hex = UTHStringToCompactHex(bytes);
  std::string out;
  out.reserve(hex.size() + hex.size() / kHexLineLength + 1);
  for (size_t i = 0; i < hex.size(); i += kHexLineLength) {
    if (i != 0) out += '\n';
    out.append(hex, i, kHexLineLength);
  }
  return out;
}

}  // namespace

bool TCEXSecurityConfiguration::CFGVersionAbove520() const {
  return config_.CFGVersionAbove520();
}
bool TCEXSecurityConfiguration::CFGVersionAbove600() const {
  return config_.CFGVersionAbove600();
}
bool TCEXSecurityConfiguration::CFGVersionAbove700() const {
  return config_.CFGVersionAbove700();
}
std::string TCEXSecurityConfiguration::CFGGetPrivateKeyExponent() const {
  return config_.CFGGetPrivateKeyExponent();
}
std::string TCEXSecurityConfiguration::CFGGetPrivateKeyModulus() const {
  return config_.CFGGetPrivateKeyModulus();
}

void TCEXMemo4Report::SDCAddReportLine(std::string_view line) {
  std::string text = view_.CEXMemo(TCEXMemo::Memo4);
  if (!text.empty()) text += '\n';
  text += line;
  view_.CEXSetMemo(TCEXMemo::Memo4, std::move(text));
}

TCEXReceiveRoad::TCEXReceiveRoad(TPorts ports) : ports_(ports), view_(ports.view) {}

TCEXReceiveRoad::~TCEXReceiveRoad() = default;

// ------------------------------------------------------------------ frame

void TCEXReceiveRoad::CEXFrameArrived(std::string frame, const std::string* shown) {
  if (shown != nullptr)
    view_.CEXSetMemo(TCEXMemo::Memo5, *shown);
  else
    view_.CEXSetMemoRenderer(TCEXMemo::Memo5, [bytes = frame] { return UTHStringToHex(bytes); });
  CEXaBuf = std::move(frame);
  hasFrame_ = true;
}

void TCEXReceiveRoad::CEXSetReceivedText(const std::string& text) {
  // The formatted stream is no hex; the bytes it was made from stay.
  if (text.rfind(kFormattedMark, 0) != 0) CEXaBuf = UTHHexToString(text);
  hasFrame_ = !text.empty();
  view_.CEXSetMemo(TCEXMemo::Memo5, text);
}

void TCEXReceiveRoad::CEXClearReceived() {
  for (const TCEXMemo memo : {TCEXMemo::Memo2, TCEXMemo::Memo4, TCEXMemo::Memo3, TCEXMemo::Memo5})
    view_.CEXSetMemo(memo, "");
  hasFrame_ = false;
  for (const TCEXEdit edit : {TCEXEdit::Edit7, TCEXEdit::Edit8}) view_.CEXSetEdit(edit, "");
}

// ------------------------------------------------------------------ parse

void TCEXReceiveRoad::Action_ParseMessageExecute() {
  if (busy_) return;
  const TCEXBusyGuard busy(busy_);
  static_cast<void>(ParseMessage());
}

int TCEXReceiveRoad::ParseMessage() {
  view_.CEXSetMemo(TCEXMemo::Memo2, "");
  view_.CEXSetMemo(TCEXMemo::Memo3, "");
  view_.CEXSetMemo(TCEXMemo::Memo4, "");
  analyseEnabled_ = false;
  decryptEnabled_ = false;
  frameSplit_ = false;
  view_.CEXSetEdit(TCEXEdit::Edit3, "");
  view_.CEXChanged(CEXpActions);
  if (!hasFrame_) return -1;

  const TCFGConfig& config = ports_.config;
  // The frame's id types decide the id lengths; the configured lengths
  // serve only the types that have no fixed length.
  const int senderLength = config.CFGGetUserSenderIDLength();
  const int ownerLength = config.CFGGetUserPublicKeyOwnerIDLength();
  std::string document, hash;
  TIBSFrameHeader frame;
  int rc = ports_.byteStream.IBSStreamToXMLDoc(CEXaBuf, senderLength, ownerLength, document, frame,
                                               hash);
  const std::string &version = frame.sVersionNumber, &specVersion = frame.sSpecVersionNumber;
  const std::string &senderID = frame.sSenderIdentifier, &ownerID = frame.sPublicKeyOwnerIdentifier;
  const std::string &cryptogram = frame.sSessionKeyCryptogram, &mac = frame.sMAC;
  const int encoding = frame.iEncoding, senderType = frame.iSenderIDType,
            ownerType = frame.iPublicKeyOwnerIdentifierType, keyIndex = frame.iPublicKeyIndex,
            cryptogramLength = frame.iSessionKeyCryptogramLength;
  if (rc != 0) {
    // The stream stays as it came, for another look.
    ReceiveError(rc, "Parsing error ");
    return rc;
  }

  // The header items as the splitter read them: a truncated frame never
  // gets this far, and every length below is that of a field it read.
  const uint8_t versionByte = version.empty() ? 0 : static_cast<uint8_t>(version[0]);
  std::vector<std::pair<std::string, std::string>> memoLines;  // label, value
  std::string formatted = "========= Header ========\n";
  const auto field = [&](const std::string& label, const std::string& shown) {
    formatted += label + ": " + shown + '\n';
  };
  const auto length = static_cast<uint32_t>(CEXaBuf.size() - TIBSaEp2ByteStream::IBScLengthBytes);
  field("Length", UTHStringToCompactHex(std::string_view(CEXaBuf).substr(0, 4)));
  memoLines.emplace_back("Length", std::to_string(length));
  field("Version Number", UTHStringToCompactHex(version));
  memoLines.emplace_back("Version Number", UTHStringToCompactHex(version));
  if (versionByte > 16 && !specVersion.empty()) {
    field("Version ep2 Specification", UTHStringToCompactHex(specVersion));
    memoLines.emplace_back("Version ep2 Specification", UTHStringToCompactHex(specVersion));
  }
  field("Encoding Information", std::to_string(encoding));
  memoLines.emplace_back("Encoding Information", std::to_string(encoding));
  if (encoding >= TIBSaEp2ByteStream::IBScEncodingByteSecMac) {
    // Label, the value for Memo4, the field's bytes as hex for Memo5.
    const auto byteHex = [](int value) {
      return UTHStringToCompactHex(std::string(1, static_cast<char>(value)));
    };
    const std::vector<std::array<std::string, 3>> security = {
        {"Sender Identifier Type", std::to_string(senderType), byteHex(senderType)},
        {"Sender Identifier", UTHStringToCompactHex(senderID), UTHStringToCompactHex(senderID)},
        {"Public Key Owner ID Type", std::to_string(ownerType), byteHex(ownerType)},
        {"Public Key Owner Identifier", UTHStringToCompactHex(ownerID),
         UTHStringToCompactHex(ownerID)},
        {"Public Key Index", std::to_string(keyIndex), byteHex(keyIndex)},
        {"Session Key Cryptogram Length", std::to_string(cryptogramLength),
         std::to_string(cryptogramLength)}};
    for (const auto& [label, value, bytes] : security) {
      field(label, bytes);
      memoLines.emplace_back(label, value);
    }
    memoLines.emplace_back("Session Key Cryptogram", UTHStringToCompactHex(cryptogram));
  }
  // The hex lines of the cryptogram and of the document are made when the
  // pane is read.
  const size_t cryptogramAt = formatted.size();
  if (encoding != TIBSaEp2ByteStream::IBScEncodingByte0) {
    field("MAC", UTHStringToCompactHex(mac));
    memoLines.emplace_back("MAC", UTHStringToCompactHex(mac));
  }
  std::string memo4;
  for (const auto& [label, value] : memoLines) {
    if (!memo4.empty()) memo4 += '\n';
    memo4 += label + " = " + value;
  }
  view_.CEXSetMemo(TCEXMemo::Memo4, std::move(memo4));
  view_.CEXSetMemoRenderer(
      TCEXMemo::Memo5, [formatted = std::move(formatted), cryptogramAt, document,
                        cryptogram = encoding >= TIBSaEp2ByteStream::IBScEncodingByteSecMac
                                         ? std::optional<std::string>(cryptogram)
                                         : std::nullopt] {
        std::string text = formatted;
        if (cryptogram)
          text.insert(cryptogramAt, "Session Key Cryptogramm: " + HexLines(*cryptogram) + '\n');
        return text + "========== Data =========\n" + HexLines(document);
      });

  static_cast<void>(ports_.decryption.SDCRegisterSecurityItems(encoding, cryptogram, mac, hash));
  frameSplit_ = true;
  RefreshDecryptEnabled();

  std::string errorText, replaced;
  const TCEXPlugInCall plugIn = ports_.plugIn != nullptr ? ports_.plugIn : &PLGRunPlugin;
  rc = plugIn(config, PLGcEncodingInMessage, document, replaced, errorText);
  if (rc != 0) {
    ReceiveError(rc, "Parsing error " + errorText);
    return rc;
  }
  document = std::move(replaced);

  // The links of the last analysis point into the document about to go.
  ports_.referenceTree.XMLClearParserElements();
  CEXaVxXMLElementParentIn = nullptr;
  CEXsRoot.clear();
  CEXaVxXMLDocument.reset();
  documentToken_ = std::make_shared<int>(0);
  CEXaVxXMLParser = std::make_unique<TVxXMLParser>();
  const TCOMEp2InMessage reader(CEXcErrorBaseParse);
  std::string msgNum;
  TVxXMLElement* root = nullptr;
  rc = reader.COMParseInMessage(*CEXaVxXMLParser, CEXaVxXMLDocument, document, CEXsRoot, msgNum,
                                root, errorText);
  if (rc != 0) {
    CEXsRoot.clear();
    view_.CEXSetMemo(TCEXMemo::Memo2, document);
    ReceiveError(rc, "Parsing error " + errorText);
    return rc;
  }
  CEXaVxXMLElementParentIn = root;
  // Memo2 shows the document written back formatted, made when it is read;
  // the road keeps the document until the pane is set again.
  view_.CEXSetMemoRenderer(TCEXMemo::Memo2, [document = CEXaVxXMLDocument.get(),
                                             alive = std::weak_ptr<int>(documentToken_)] {
    std::string formatted;
    if (alive.expired()) return formatted;
    try {
      document->Write(formatted);
    } catch (const std::exception&) {
      formatted.clear();
    }
    return formatted;
  });
  view_.CEXSetEdit(TCEXEdit::Edit3, msgNum);
  analyseEnabled_ = true;
  view_.CEXChanged(CEXpActions);
  return 0;
}

// ---------------------------------------------------------------- analyse

void TCEXReceiveRoad::Action_AnalyseMessageExecute() {
  if (busy_) return;
  const TCEXBusyGuard busy(busy_);
  static_cast<void>(AnalyseMessage());
}

void TCEXReceiveRoad::DisplayElement(const std::string& name, const std::string& value, bool found,
                                     bool mandatory, bool fixedDiffers, bool group,
                                     const std::string& referenceValue, int level) {
  const size_t indent = static_cast<size_t>(std::max(level, 0)) * 3;
  memo3_.append(indent, ' ');
  if (found) {
    memo3_.append("<").append(name).append(">").append(value).append("</").append(name).append(
        ">\n");
    if (fixedDiffers) {
      memo3_.append(indent, ' ');
      memo3_ += "! incorrect fix value, expected value: " + referenceValue + '\n';
      static_cast<void>(ports_.errors.CEXLogError(
          CEXcErrorFixedValue,
          "! incorrect fix value: " + name + "=" + value + ", expected value: " + referenceValue,
          group));
    }
    return;
  }
  memo3_ += "<" + name + "> ---> Not found\n";
  if (mandatory || group) {
    memo3_.append(indent, ' ');
    memo3_ += "! missing mandatory element \n";
    static_cast<void>(ports_.errors.CEXLogError(CEXcErrorMissingElement,
                                                "missing mandatory element: " + name, group));
  }
}

void TCEXReceiveRoad::DisplayContainer(const std::string& name, bool found, bool mandatory,
                                       bool group, int level) {
  const std::string indent(static_cast<size_t>(std::max(level, 0)) * 3, ' ');
  if (found) {
    memo3_ += indent + "<" + name + ">\n";
    return;
  }
  memo3_ += indent + "<" + name + "> ---> Not found\n";
  if (mandatory) {
    memo3_ += indent + "! missing mandatory element\n";
    static_cast<void>(ports_.errors.CEXLogError(CEXcErrorMissingElement,
                                                "missing mandatory element: " + name, group));
  }
}

void TCEXReceiveRoad::RefreshDecryptEnabled() {
  decryptEnabled_ = frameSplit_ && (ports_.decryption.SDCSessionKeyPresent() ||
                                    ports_.decryption.SDCSessionKeyCryptogrammPresent());
  view_.CEXChanged(CEXpActions);
}

int TCEXReceiveRoad::AnalyseMessage() {
  TXMLMessageTree& tree = ports_.referenceTree;
  TXMLTreeNode* rootNode = tree.GetFirstNode();
  // A failed parse leaves nothing to analyse (Memo2 then shows the text
  // that failed).
  if (view_.CEXMemoEmpty(TCEXMemo::Memo2) || !analyseEnabled_) return -1;
  // About as long as the last one.
  const size_t memo3Size = view_.CEXMemo(TCEXMemo::Memo3).size();
  memo3_.clear();
  memo3_.reserve(memo3Size + memo3Size / 8);
  view_.CEXSetMemo(TCEXMemo::Memo3, "");
  // The received document stays as it is for the whole walk.
  TCOMEp2InMessage reader(0);
  reader.COMIndexChildren();
  ports_.decryption.SDCInit();
  if (rootNode == nullptr) {
    // Nothing to compare with: the security header can still be checked,
    // only the encrypted items (found through the reference) are not.
    view_.CEXSetMemo(TCEXMemo::Memo3, kNoReference);
    RefreshDecryptEnabled();
    return CEXcNoReference;
  }
  // Every link of an earlier analysis goes; a container that is not found
  // now must not lend its children an element of another message.
  tree.XMLClearParserElements();
  ICEXLogColumns* columns = logColumns_;

  // Another message than the reference expects: a running sequence may hold
  // alternatives in a conditional group, each loaded as the reference in
  // turn, at most as many as the group has.
  if (CEXsRoot != rootNode->GetData()->GetName() && ports_.sequence != nullptr) {
    const bool asClient = ports_.comm.TCPSendAsClient();
    for (int tries = ports_.sequence->SEQGroupSize();
         tries > 0 && ports_.sequence->SEQVisible() && !ports_.sequence->SEQGroupEnd(); --tries) {
      if (asClient)
        ports_.sequence->SEQLoadNextServerReference();
      else
        ports_.sequence->SEQRunNextGroupRow();
      rootNode = tree.GetFirstNode();
      if (rootNode == nullptr) return -1;
      tree.XMLClearParserElements();
      if (CEXsRoot == rootNode->GetData()->GetName()) break;
    }
  }

  int rc = 0, index = 1;
  std::string errorText, lastName = rootNode->GetData()->GetName();
  DisplayContainer(CEXsRoot, true, false, false, 0);
  TUAXxmlElement& root = *rootNode->GetData();
  root.SetParserElement(CEXaVxXMLElementParentIn);
  if (CEXsRoot != root.GetName()) {
    rc = CEXcErrorUnexpectedMessage;
    static_cast<void>(ports_.errors.CEXLogError(
        rc, "Unexpected message tag: " + CEXsRoot + " Expected: " + root.GetName(), false));
  }
  if (rc == 0) {
    if (columns != nullptr) columns->LUXAcceptItem("$RECEIVEDMESSAGE", root.GetName());
    ports_.recording.RFLSetMessageReceived(CEXsRoot);
  }

  const TUERFindElement finder = UERMessageElementFinder(reader, CEXaVxXMLElementParentIn);
  TOccurrences occurrences;
  for (TXMLTreeNode* node = rootNode->GetNext(); node != nullptr && rc == 0;
       node = node->GetNext()) {
    ++index;
    TUAXxmlElement& element = *node->GetData();
    const std::string& name = element.GetName();
    lastName = name;
    if (STRTrim(name).empty()) continue;
    const int level = node->GetLevel();
    // The received parent: the element linked to the nearest container
    // above; when that container was not found, nothing below it is.
    bool parentFound = true;
    const TVxXMLElement* parent = CEXaVxXMLElementParentIn;
    for (const TXMLTreeNode* p = node->GetParent(); p != nullptr; p = p->GetParent()) {
      const TUAXxmlElement& above = *p->GetData();
      if (p->GetParent() != nullptr && above.GetType() != "c"sv) continue;
      parent = above.GetParserElement();
      parentFound = parent != nullptr;
      break;
    }
    const int occurrence = occurrences.Next(*node);
    const bool mandatory = Has('M', element);
    const bool group = Has('G', element);
    const std::string& type = element.GetType();
    bool found = false;
    TVxXMLElement* match = nullptr;

    if (type == "c"sv) {
      if (parentFound) rc = reader.COMGetContainer(name, parent, occurrence, false, found, match);
      if (rc != 0) break;
      DisplayContainer(name, found, mandatory, group, level);
      element.SetParserElement(found ? match : nullptr);
      continue;
    }

    std::string value;
    if (parentFound) {
      if (Has('E', element) || name == "ep2:SessKeyCryp"sv) {
        std::string bytes;
        rc = reader.COMGetElementB(name, parent, occurrence, true, false, found, bytes, match);
        if (rc == 0 && found) {
          ports_.decryption.SDCAddEncryptedItem(name, bytes, type, element.GetAttributes());
          value = UTHStringToCompactHex(bytes);
        }
      } else {
        static const std::string kAn = "an";
        const std::string& getter = (type == kAn || name == "ep2:SC"sv) ? kAn : type;
        rc = CEXFindElement(name, getter, occurrence, parent, reader, false, value, found, match);
      }
    }
    if (rc != 0) break;
    if (found && Has('L', element)) {
      std::string file = element.GetValue();
      static_cast<void>(ports_.aliases.ALUFindAlias(false, file));
      std::string text;
      if (UERGetValuePoolErrorText(value, file, finder, text) > 0) {
        rc = CEXcErrorLookup;
        errorText = text;
        break;
      }
    }
    const bool fixedDiffers = found && Has('F', element) && value != element.GetValue();
    DisplayElement(name, value, found, mandatory, fixedDiffers, group, element.GetValue(), level);
    if (!found) continue;
    element.SetParserElement(match);
    if (type == "b"sv || type == "cn"sv) value = STRRemoveBlanks(value);
    element.SetActValue(value);
    if (columns != nullptr) columns->LUXAcceptItem(name, value);
    std::string recordError;
    rc = ports_.recording.RFLAcceptItem(name, element.GetTLVTag(), false, type, value, type, value,
                                        recordError);
    if (rc != 0) errorText = recordError;
  }

  view_.CEXSetMemo(TCEXMemo::Memo3, std::move(memo3_));
  memo3_.clear();
  view_.CEXChanged(CEXpReferenceTree);
  if (rc != 0) {
    if (errorText.empty())
      errorText =
          "reference structure line " + std::to_string(index - 1) + ", tag: <" + lastName + ">";
    ReceiveError(rc, errorText);
    return rc;
  }
  std::string key;
  static_cast<void>(ports_.keys.CEXGetSessionKey(key));
  ports_.recording.RFLDoRecording(key);
  SecureWipe(key);
  // Taking the session key may have set the configured one.
  RefreshDecryptEnabled();
  return 0;
}

// ---------------------------------------------------------------- decrypt

void TCEXReceiveRoad::Action_DecryptSecurityExecute() {
  if (busy_) return;
  const TCEXBusyGuard busy(busy_);
  static_cast<void>(DecryptSecurity());
}

void TCEXReceiveRoad::AddMemo4Line(const std::string& line) {
  std::string memo = view_.CEXMemo(TCEXMemo::Memo4);
  if (!memo.empty()) memo += '\n';
  memo += line;
  view_.CEXSetMemo(TCEXMemo::Memo4, std::move(memo));
}

int TCEXReceiveRoad::DecryptSecurity() {
  const int encoding = ports_.decryption.SDCGetEncoding();
  if (encoding != TIBSaEp2ByteStream::IBScEncodingByteMac &&
      encoding != TIBSaEp2ByteStream::IBScEncodingByteSecMac)
    return 0;
  int rc = AnalyseSecurityHeader();
  if (rc == 0 && ports_.decryption.SDCSessionKeyPresent()) {
    rc = AnalyseSecurityItems();
    if (rc == 0) rc = CEXVerifyATC();
  }
  if (rc != 0) ReceiveError(rc, "error during decryption of security elements");
  return rc;
}

int TCEXReceiveRoad::AnalyseSecurityHeader() {
  TSDCSecurityDecryption& received = ports_.decryption;
  if (received.SDCGetEncoding() == TIBSaEp2ByteStream::IBScEncodingByteMac) {
    AddMemo4Line("Session key used from previous message");
    AddMemo4Line("SessionKey= " + UTHStringToCompactHex(received.SDCGetSessionKey()));
  } else {
    const TCFGConfig& config = ports_.config;
    std::string id, key, secret, opened;
    const int rc = received.SDCDecryptSessionKeyCryptogram(
        ports_.security, UTHHexToString(config.CFGGetPrivateKeyExponent()),
        UTHHexToString(config.CFGGetPrivateKeyModulus()), id, key, secret, opened);
    if (rc != 0) {
      AddMemo4Line("Session key cryptogram not found");
      AddMemo4Line(std::to_string(rc));
      return rc;
    }
    AddMemo4Line("====> Decrypted Items =====");
    AddMemo4Line("Cryptogram Component ID= " + id);
    AddMemo4Line("SessionKey= " + UTHStringToCompactHex(key));
    AddMemo4Line("Component Secret= " + UTHStringToCompactHex(secret));
    AddMemo4Line("Decrypted Session Key Cryptogramm= " + UTHStringToCompactHex(opened));
  }
  int state = -1;
  const int rc = received.SDCVerifyMAC(ports_.security, state);
  if (rc != 0) return rc;
  AddMemo4Line("Hash= " + UTHStringToCompactHex(received.SDCGetHash()));
  switch (state) {
    case TSDCSecurityDecryption::SDCcNoMac:
      AddMemo4Line("No MAC present");
      break;
    case TSDCSecurityDecryption::SDCcMACSendOk:
      AddMemo4Line("MAC Send verification ok");
      break;
    case TSDCSecurityDecryption::SDCcMACRecOk:
      AddMemo4Line("MAC Receive verification ok");
      break;
    default:
      // A failed MAC is shown, not reported.
      AddMemo4Line("MAC verification failed");
      break;
  }
  return 0;
}

int TCEXReceiveRoad::AnalyseSecurityItems() {
  TSDCSecurityDecryption& received = ports_.decryption;
  // Every item is decrypted in document order under its own key, so that
  // a clear PAN or track serves the PIN blocks that follow it.
  struct TItem {
    std::string name, shown;
  };
  std::vector<TItem> items;
  for (int i = 0;; ++i) {
    std::string name, value, format, decrypted;
    bool found = false;
    const int rc =
        received.SDCGetEncryptedItem(ports_.security, i, name, value, format, decrypted, found);
    if (rc != 0) {
      ReceiveError(rc, "Security error");
      return rc;
    }
    if (!found) break;
    std::string shown = decrypted;
    if (format == "b" && name != "ep2:EncPIN") shown = UTHStringToCompactHex(decrypted);
    items.push_back({name, shown});
  }
  static const std::pair<const char*, const char*> kPans[] = {
      {"ep2:AppPAN", "PAN= "},
      {"ep2:Track2Dat", "Track 2 Data= "},
      {"ep2:Track2EqDat", "Track 2 Eq. Data= "}};
  for (const auto& [name, label] : kPans)
    for (const TItem& item : items)
      if (item.name == name) AddMemo4Line(label + item.shown);
  const TItem* pin = nullptr;
  for (const TItem& item : items)
    if (item.name == "ep2:EncPIN") pin = &item;
  if (pin != nullptr) AddMemo4Line("PIN= " + pin->shown);
  for (const TItem& item : items)
    if (item.name != "ep2:EncPIN") AddMemo4Line(item.name + "= " + item.shown);
  if (pin != nullptr) AddMemo4Line(pin->name + "= " + pin->shown);
  return 0;
}

int TCEXReceiveRoad::CEXVerifyATC() {
  TSDCSecurityDecryption& received = ports_.decryption;
  const TCFGConfig& config = ports_.config;
  const TXMLTreeNode* from = ports_.referenceTree.GetFirstNode();
  for (int j = 0; j < received.SDCGetATCCount(); ++j) {
    const TXMLTreeNode* node = from;
    while (node != nullptr && node->GetData()->GetName() != "ep2:AcqTC") node = node->GetNext();
    // An entry without a further certificate element is not verified.
    if (node == nullptr) break;
    from = node->GetNext();
    const std::string key = received.SDCGetKey(j);
    std::vector<std::string> lines;
    std::string errorTags;
    const std::string input =
        CEXComputeATC(*node, config.CFGGetATC(), true, &lines, ports_.security, key, errorTags);
    for (const std::string& line : lines) AddMemo4Line(line);
    if (!errorTags.empty()) ports_.errors.CEXShowMessage(CEXATCErrorText(errorTags));
    AddMemo4Line("");
    AddMemo4Line("Acq TC " + std::to_string(j));
    AddMemo4Line("------------------------");
    AddMemo4Line("AcqTC String: " + UTHStringToCompactHex(input));
    std::string expected = input;
    const int rc = ports_.keys.CEXSetEncryptedATC(key, expected);
    if (rc != 0) return rc;
    AddMemo4Line("Expected AcqTC: " + UTHStringToCompactHex(expected));
    AddMemo4Line("Key: " + UTHStringToCompactHex(key));
    const std::string actual = received.SDCGetATC(j);
    // A mismatch is shown, not reported.
    if (actual == expected)
      AddMemo4Line("AcqTC verification ok");
    else
      AddMemo4Line("AcqTC verification failed: Received " + UTHStringToCompactHex(actual));
  }
  return 0;
}

// ---------------------------------------------------------- both, errors

void TCEXReceiveRoad::Action_ParseAndAnalyseExecute() {
  if (busy_) return;
  const TCEXBusyGuard busy(busy_);
  if (ParseMessage() != 0) return;
  if (const int rc = AnalyseMessage(); rc != 0 && rc != CEXcNoReference) return;
  static_cast<void>(DecryptSecurity());
}

void TCEXReceiveRoad::ReceiveError(int code, const std::string& text) {
  if (!ports_.errors.CEXLogError(code, text, false)) ports_.errorWindow.ERRSetError(code, text);
}

}  // namespace kal
