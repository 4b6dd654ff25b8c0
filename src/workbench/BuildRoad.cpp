#include "workbench/BuildRoad.h"

#include <cstdint>
#include <exception>
#include <limits>
#include <vector>

#include "comm/PlugInCall.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/AttributeLetters.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageBuilder.h"
#include "ep2/MessageReader.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "ep2/SecurityDecryption.h"
#include "support/Ep2Identifiers.h"
#include "support/ErrorTable.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/StringUnit.h"
#include "workbench/BusyCursor.h"
#include "workbench/CounterLists.h"
#include "workbench/ElementCommands.h"
#include "workbench/ElementLookup.h"
#include "workbench/MainServices.h"
#include "workbench/RecordedData.h"
#include "workbench/RoadGuards.h"
#include "workbench/TransactionCertificate.h"
#include "workbench/ValuePools.h"
#include "workbench/WorkbenchPorts.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal {

namespace {

bool Has(char letter, const TUAXxmlElement& element) {
  return UCBAttributeIsSet(letter, element.GetAttributes());
}

// Sets the value a build uses: the run-time value when that is what counts,
// else the stored value (and its run-time copy with it).
void SetEffectiveValue(TUAXxmlElement& element, const std::string& value) {
  if (!CEXIsPoolValue(element.GetAttributes()) && !element.GetUseActValue())
    element.SetValue(value);
  element.SetActValue(value);
}

const TUAXxmlElement* FirstElement(const TXMLMessageTree& tree, std::string_view name) {
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    if (n->GetData()->GetName() == name) return n->GetData();
  return nullptr;
}

// The document element a node hangs under: that of its nearest container
// ancestor built in this build, else the message element.
TVxXMLElement* ParentElement(const TXMLTreeNode& node, TVxXMLElement* messageRoot) {
  for (const TXMLTreeNode* p = node.GetParent(); p != nullptr; p = p->GetParent()) {
    const TUAXxmlElement& element = *p->GetData();
    if (element.GetType() == "c" && element.GetParserElement() != nullptr)
      return element.GetParserElement();
  }
  return messageRoot;
}

}  // namespace

bool CEXCountUp(std::string_view text, std::string& next) {
  const std::string s = STRTrim(text);
  const size_t digits = s.size() - (!s.empty() && s[0] == '-' ? 1 : 0);
  if (digits == 0 || digits > 18 || !STRIsNumeric(std::string_view(s).substr(s.size() - digits)))
    return false;
  next = std::to_string(std::stoll(s) + 1);
  return true;
}

struct TCEXBuildRoad::TWalk {
  TVxXMLElement* messageRoot = nullptr;
  std::string pan;  // the PAN or track 2 data for PIN blocks
};

TCEXBuildRoad::TCEXBuildRoad(TPorts ports)
    : main_(ports.main),
      counters_(ports.counters),
      messageFiles_(ports.messageFiles),
      errorWindow_(ports.errorWindow),
      recording_(ports.recording),
      sessionKey_(ports.sessionKey),
      plugIn_(ports.plugIn != nullptr ? ports.plugIn : &PLGRunPlugin),
      archive_([this](const std::string& text) { main_.CEXShowMessage(text); }),
      builder_(std::make_unique<TCEOEp2MessageElements>(CEXcErrorBaseBuilder)) {}

TCEXBuildRoad::~TCEXBuildRoad() {
  // The trees outlive the documents their elements link into.
  main_.CEXSourceTree().XMLClearParserElements();
  main_.CEXReferenceTree().XMLClearParserElements();
}

TVxXMLDocument* TCEXBuildRoad::CEXBuiltDocument() const {
  return builder_->CEOGetXMLDocument();
}

// ------------------------------------------------------------ header items

void TCEXBuildRoad::CEXInitTempHeaderItems() {
  CEXsSenderIDPrev = CEXsSenderID;
  CEXsComponentSecretPrev = CEXsComponentSecret;
  CEXsSenderID.clear();
  CEXsPublicKeyOwnerID.clear();
  CEXsComponentSecret.clear();
}

TCEXHeaderItems TCEXBuildRoad::CEXGetTempHeaderItems() {
  const TCFGConfig& config = main_.CEXConfiguration();
  TCEXHeaderItems items;
  if (!CEXsSenderID.empty()) {
    items.senderID = CEXsSenderID;
    items.senderIDType = CEXiSenderIDType;
  } else {
    items.senderID = config.CFGGetComponentID();
    items.senderIDType = config.CFGGetSenderIDType();
  }
  if (!CEXsPublicKeyOwnerID.empty()) {
    items.ownerID = CEXsPublicKeyOwnerID;
    items.ownerIDType = CEXiPublicKeyOwnerIDType;
  } else {
    items.ownerID = config.CFGGetPublicKeyOwnerID();
    items.ownerIDType = config.CFGGetPublicKeyOwnerIDType();
  }
  // The same sender as before keeps its secret when this message drew none
  // (a secret drawn with the id wins).
  if (CEXsSenderID == CEXsSenderIDPrev && CEXsComponentSecret.empty())
    CEXsComponentSecret = CEXsComponentSecretPrev;
  items.componentSecret =
      CEXsComponentSecret.empty() ? config.CFGGetComponentSecret() : CEXsComponentSecret;
  return items;
}

// ---------------------------------------------------------------- counters

void TCEXBuildRoad::CEXSetCounterValues() {
  TXMLMessageTree& tree = main_.CEXSourceTree();
  const TUAXxmlElement* terminal = FirstElement(tree, "ep2:TrmID");
  const std::string terminalKey = terminal != nullptr ? STRTrim(CEXEffectiveValue(*terminal)) : "";
  std::vector<const TUAXxmlElement*> tracks;
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    if (n->GetData()->GetName() == "ep2:Track2EqDat") tracks.push_back(n->GetData());

  size_t atcOccurrence = 0;
  for (TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    TUAXxmlElement& element = *n->GetData();
    std::string key;
    if (element.GetName() == TCLACounterListTrxSeqCnt::kTag) {
      key = terminalKey;
    } else if (element.GetName() == TCLTCounterListATC::kTag) {
      const size_t k = atcOccurrence++;
      if (k < tracks.size()) key = STRTrim(CEXEffectiveValue(*tracks[k]));
    } else {
      continue;
    }
    if (!Has('A', element) || key.empty()) continue;
    std::string value;
    if (!counters_.CEXCounterMessageValue(element.GetName(), key, CEXEffectiveValue(element),
                                          value))
      continue;
    element.SetActValue(value);
    element.SetUseActValue(true);
    RefreshNode(*n);
  }
}

// ------------------------------------------------------- run-time values

void TCEXBuildRoad::CEXSetToCurrentValue(TXMLTreeNode& node) {
  TUAXxmlElement& element = *node.GetData();
  if (!Has('A', element)) return;
  const std::string& name = element.GetName();
  if (element.GetType() == "n" && name != TCLACounterListTrxSeqCnt::kTag &&
      name != TCLTCounterListATC::kTag) {
    std::string next;
    if (!CEXCountUp(CEXEffectiveValue(element), next)) next.assign(1, '0');
    SetEffectiveValue(element, next);
  }
  if (name == "ep2:AcqTC") {
    std::string key;
    static_cast<void>(CEXGetSessionKey(key));
    std::string errorTags;
    const std::string input = CEXComputeATC(node, main_.CEXConfiguration().CFGGetATC(), false,
                                            nullptr, main_.CEXSecurity(), key, errorTags);
    SecureWipe(key);
    if (!errorTags.empty()) main_.CEXShowMessage(CEXATCErrorText(errorTags));
    SetEffectiveValue(element, UTHStringToCompactHex(input));
  }
}

// -------------------------------------------------------------- encryption

namespace {

// The key variant of the session key and the operation on it.
template <class F>
int WithVariant(TSECep2Security& security, int variant, std::string_view key, F&& operation) {
  std::string variantKey;
  int rc = security.SECGenerateSessionKeyVariant(variant, key, nullptr, variantKey);
  if (rc == 0) rc = operation(variantKey);
  SecureWipe(variantKey);
  return rc;
}

}  // namespace

int TCEXBuildRoad::CEXSetEncryptedValue(std::string& value) {
  std::string key;
  static_cast<void>(CEXGetSessionKey(key));
  TSECep2Security& security = main_.CEXSecurity();
  const int rc = WithVariant(security, TSECep2Security::SECcSessionKeyVariantEncryption, key,
                             [&](const std::string& variant) {
                               std::string out;
                               const int r =
                                   security.SECDESEncryptString(value, variant, true, nullptr, out);
                               value = out;
                               return r;
                             });
  SecureWipe(key);
  return rc;
}

int TCEXBuildRoad::CEXSetKeyEncValue(std::string& value) {
  std::string key;
  static_cast<void>(CEXGetSessionKey(key));
  TSECep2Security& security = main_.CEXSecurity();
  const int rc = WithVariant(
      security, TSECep2Security::SECcSessionKeyVariantKeyEnc, key, [&](const std::string& variant) {
        std::string out;
        const int r = security.SECDESEncryptString(value, variant, true, nullptr, out);
        value = out;
        return r;
      });
  SecureWipe(key);
  return rc;
}

int TCEXBuildRoad::CEXSetEncryptedPIN(std::string& value, std::string_view panOrTrack2) {
  for (const char c : value)
    if (c < '0' || c > '9') return CEXcErrorInvalidPIN;
  std::string key;
  static_cast<void>(CEXGetSessionKey(key));
  TSECep2Security& security = main_.CEXSecurity();
  const int block = main_.CEXConfiguration().CFGVersionAbove520() ? 3 : 2;
  const int rc = WithVariant(
      security, TSECep2Security::SECcSessionKeyVariantPIN, key, [&](const std::string& variant) {
        std::string out;
        const int r =
            security.SECGenerateEncryptedPINBlock(value, panOrTrack2, variant, block, out);
        value = out;
        return r;
      });
  SecureWipe(key);
  return rc;
}

int TCEXBuildRoad::CEXSetEncryptedATC(std::string_view key, std::string& value) {
  TSECep2Security& security = main_.CEXSecurity();
  return WithVariant(security, TSECep2Security::SECcSessionKeyVariantTC, key,
                     [&](const std::string& variant) {
                       std::string mac;
                       const int r = security.SECComputeMac(variant, value, nullptr, mac);
                       value = mac;
                       return r;
                     });
}

int TCEXBuildRoad::CEXComputeSessionKeyCryptogramm(std::string_view key, std::string& value) {
  const TCFGConfig& config = main_.CEXConfiguration();
  const std::string secret = UTHHexToString(
      CEXsComponentSecret.empty() ? config.CFGGetComponentSecret() : CEXsComponentSecret);
  std::string cryptogram;
  const int rc = main_.CEXSecurity().SECGenerateSessionKeyCryptogramm(
      config.CFGGetComponentID(), key, secret, UTHHexToString(config.CFGGetPublicKeyExponent()),
      UTHHexToString(config.CFGGetPublicKeyModulus()), cryptogram);
  value = cryptogram;
  return rc;
}

int TCEXBuildRoad::EncryptValue(const std::string& name, std::string_view pan, std::string& value) {
  if (name == "ep2:EncPIN") return CEXSetEncryptedPIN(value, pan);
  if (name == "ep2:AcqTC" || name == "ep2:SessKeyCryp") {
    std::string key;
    static_cast<void>(CEXGetSessionKey(key));
    const int rc = name == "ep2:AcqTC" ? CEXSetEncryptedATC(key, value)
                                       : CEXComputeSessionKeyCryptogramm(key, value);
    SecureWipe(key);
    return rc;
  }
  if (name == "ep2:StatKeyPANRct" && main_.CEXConfiguration().CFGVersionAbove600())
    return CEXSetKeyEncValue(value);
  return CEXSetEncryptedValue(value);
}

// -------------------------------------------------------------- text files

std::string TCEXBuildRoad::CEXTextFile(const std::string& name) const {
  std::string path = name;
  main_.CEXAliasList().ALUFindAlias(false, path);
  std::vector<std::string> lines;
  std::string text;
  if (!CEXReadTextLines(path, CEXcMaxValuePoolBytes, lines)) return text;
  for (const std::string& line : lines) text += line;
  return text;
}

// ------------------------------------------------------------------- build

uint32_t TCEXBuildRoad::RandomBelow(uint32_t n) {
  if (n <= 1) return 0;
  // Rejection keeps every index equally likely.
  const uint32_t limit =
      std::numeric_limits<uint32_t>::max() - std::numeric_limits<uint32_t>::max() % n;
  for (;;) {
    uint8_t bytes[4];
    main_.CEXRandomSource().SECFillRandom(bytes, sizeof bytes);
    const uint32_t r = static_cast<uint32_t>(bytes[0]) << 24 |
                       static_cast<uint32_t>(bytes[1]) << 16 |
                       static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
    if (r < limit) return r % n;
  }
}

void TCEXBuildRoad::RefreshNode(TXMLTreeNode& node) {
  node.SetText(node.GetData()->GetTreeString());
}

std::string TCEXBuildRoad::MessageNumber() {
  switch (main_.CEXGetAddMsgNum()) {
    case 0: {
      std::string next;
      if (!CEXCountUp(main_.CEXGetEdit(TCEXEdit::Edit1), next)) return {};
      main_.CEXSetEdit(TCEXEdit::Edit1, next);
      return next;
    }
    case 1:
      return main_.CEXGetEdit(TCEXEdit::Edit3);
    default:
      return {};
  }
}

void TCEXBuildRoad::ReportError(int code, const std::string& text) {
  // A run logs the code with the text; the error window shows it beside.
  if (!main_.CEXLogError(code, TERRErrorTable::ERRCodedText(code, text), false))
    errorWindow_.ERRSetError(code, text);
}

void TCEXBuildRoad::Action_CreateXMLDocExecute() {
  TXMLMessageTree& tree = main_.CEXSourceTree();
  if (busy_ || tree.GetFirstNode() == nullptr) return;
  const TCEXBusyGuard busy(busy_);
  const TCEXBusyCursor busyCursor(main_.CEXCursor());
  main_.CEXSetMemo(TCEXMemo::Memo1, "");
  CEXInitTempHeaderItems();
  recording_.RFLReset();
  // The links of the last build point into the document about to go.
  tree.XMLClearParserElements();

  int nodeIndex = 0;
  std::string lastName, errorText;
  int rc = BuildDocument(nodeIndex, lastName, errorText);
  std::string document;
  if (rc == 0) rc = builder_->CEOCompleteMessage(document);
  if (rc == 0) {
    std::string replaced;
    rc = plugIn_(main_.CEXConfiguration(), PLGcEncodingOutMessage, document, replaced, errorText);
    if (rc == 0) document = std::move(replaced);
  }
  main_.CEXStateChanged(CEXpSourceTree | CEXpEdits);
  if (rc != 0) {
    if (errorText.empty())
      errorText = builder_->CEOGetErrorMessage() + ": line " + std::to_string(nodeIndex) +
                  ", tag: " + lastName;
    ReportError(rc, errorText);
    return;
  }
  main_.CEXSetMemo(TCEXMemo::Memo1, document);
  // Counters and pool positions stored in the elements persist.
  static_cast<void>(messageFiles_.CEXSaveMessageSilently());
}

int TCEXBuildRoad::BuildDocument(int& nodeIndex, std::string& lastName, std::string& errorText) {
  TXMLMessageTree& tree = main_.CEXSourceTree();
  TCFGConfig& config = main_.CEXConfiguration();
  TXMLTreeNode* rootNode = tree.GetFirstNode();
  TUAXxmlElement& root = *rootNode->GetData();
  lastName = root.GetName();

  if (config.CFGGetSessionKeyFromInMessage() == 2)
    config.CFGSetSessionKey(UTHStringToCompactHex(main_.CEXSecurity().SECGenerateSessionKey(
        static_cast<int>(TSECep2Security::SECcKeyLength24))));
  const std::string msgNum = MessageNumber();

  TWalk walk;
  int rc = builder_->CEOCreateMessage(
      config.CFGGetMessageHeader(), config.CFGGetMessageHeaderAttribute(),
      config.CFGGetMessageHeaderAttributeValue(), root.GetName(), msgNum, walk.messageRoot);
  if (rc != 0) return rc;
  root.SetParserElement(walk.messageRoot);
  LogColumns().LUXAcceptItem("$SENDMESSAGE", root.GetName());
  recording_.RFLSetMessageSend(root.GetName());
  const TCEXValuePools pools(main_.CEXAliasList(), [this](uint32_t n) { return RandomBelow(n); });
  rc = pools.CEXComputePoolValues(tree, CEXsComponentSecret, errorText);
  RefreshNode(*rootNode);
  if (rc != 0) return rc;

  if (CEXIsPoolValue(root.GetAttributes())) CEXIncludeLabeledPoolValues(root.GetActValue(), tree);
  CEXSetCounterValues();
  for (const char* name : {"ep2:AppPAN", "ep2:Track2Dat", "ep2:Track2EqDat"}) {
    if (const TUAXxmlElement* e = FirstElement(tree, name); e != nullptr)
      if (!CEXEffectiveValue(*e).empty()) {
        walk.pan = CEXEffectiveValue(*e);
        break;
      }
  }

  for (TXMLTreeNode* node = rootNode->GetNext(); node != nullptr && rc == 0;
       node = node->GetNext()) {
    ++nodeIndex;
    lastName = node->GetData()->GetName();
    rc = AddElement(walk, *node, errorText);
  }
  return rc;
}

int TCEXBuildRoad::AddElement(TWalk& walk, TXMLTreeNode& node, std::string& errorText) {
  TUAXxmlElement& element = *node.GetData();
  const std::string name = element.GetName();
  std::string type = element.GetType();
  std::string value = CEXEffectiveValue(element);
  std::string plainType, plainValue;
  bool asBytes = false;  // value holds the bytes of a b or cn value
  int rc = 0;

  if (!STRTrim(name).empty() && !Has('N', element)) {
    TVxXMLElement* parent = ParentElement(node, walk.messageRoot);
    TVxXMLElement* made = nullptr;
    std::string digits;  // the digits of a cn value
    if (type != "c") {
      CEXSetToCurrentValue(node);
      value = CEXEffectiveValue(element);
      if (Has('X', element)) {
        for (TXMLTreeNode* p = node.GetPrev(); p != nullptr; p = p->GetPrev()) {
          if (p->GetData()->GetName() != name) continue;
          value = p->GetData()->GetActValue();
          element.SetActValue(value);
          element.SetValue(value);
          break;
        }
      }
      RefreshNode(node);
      if (Has('T', element)) value = CEXTextFile(value);
      if (type == "b") {
        value = UTHHexToString(value);
        asBytes = true;
      } else if (type == "cn") {
        // Packed as compressed numeric packs them: an odd count gets the
        // digit F, so that no digit is lost.
        digits = STRRemoveBlanks(value);
        value = UTHHexToString(digits.size() % 2 != 0 ? digits + "F" : digits);
        asBytes = true;
      }
      if (Has('E', element) && !value.empty()) {
        plainType = type;
        plainValue = asBytes ? UTHStringToCompactHex(value) : value;
        rc = EncryptValue(name, walk.pan, value);
        if (rc != 0) return rc;
        type.assign(1, 'b');
        asBytes = true;
      }
    } else {
      rc = builder_->CEOAddChildContainer(name, parent, made);
      if (rc != 0) return rc;
      element.SetParserElement(made);
      if (Has('D', element)) {
        // The folder the recording writes to: aliases expanded.
        std::string record = main_.CEXConfiguration().CFGGetDirRecord();
        static_cast<void>(main_.CEXAliasList().ALUFindAlias(false, record));
        rc = CEXIncludeRecordedFile(CEXRecordFolder(record), main_.CEXSourceTree(), *made, archive_,
                                    errorText);
        if (rc != 0) return rc;
      } else if (CEXIsPoolValue(element.GetAttributes())) {
        CEXIncludeLabeledPoolValues(value, main_.CEXSourceTree());
      }
    }

    if (Has('I', element)) {
      CEXsSenderID = value;
      CEXiSenderIDType = UEPSenderIDType(name);
    }
    if (Has('O', element)) {
      CEXsPublicKeyOwnerID = value;
      CEXiPublicKeyOwnerIDType = UEPPublicKeyOwnerIDType(name);
    }
    if (type != "c" && (!value.empty() || Has('M', element))) {
      if (type == "an" || name == "ep2:SC")
        rc = builder_->CEOAddElementAN(name, value, parent, made);
      else if (type == "a")
        rc = builder_->CEOAddElementA(name, value, parent, made);
      else if (type == "n")
        rc = builder_->CEOAddElementN(name, value, parent, made);
      else if (type == "ans")
        rc = builder_->CEOAddElementANS(name, value, parent, made);
      else if (type == "b")
        rc = builder_->CEOAddElementB(name, value, parent, true, made);
      else if (type == "cn")
        rc = builder_->CEOAddElementCN(name, digits, parent, made);
      else if (type == "date")
        rc = builder_->CEOAddElementDate(name, value, parent, made);
      else if (type == "expdate")
        rc = builder_->CEOAddElementExpDate(name, value, parent, made);
      else if (type == "time")
        rc = builder_->CEOAddElementTime(name, value, parent, made);
      if (rc != 0) return rc;
      if (made != nullptr) element.SetParserElement(made);
    }
  }

  if (asBytes) value = UTHStringToCompactHex(value);
  LogColumns().LUXAcceptItem(name, value);
  std::string message;
  rc = recording_.RFLAcceptItem(name, element.GetTLVTag(), true, plainType, plainValue, type, value,
                                message);
  if (rc != 0) errorText = message;
  return rc;
}

// ---------------------------------------------------------------- transfer

int TCEXBuildRoad::ParseReceived(TVxXMLElement*& message) {
  // The reference tree links into the received document being replaced.
  main_.CEXReferenceTree().XMLClearParserElements();
  CEXaVxXMLElementParentIn = nullptr;
  CEXaVxXMLDocument.reset();
  CEXaVxXMLParser = std::make_unique<TVxXMLParser>();
  std::string text = main_.CEXGetMemo(TCEXMemo::Memo2), name, number, error;
  const TCOMEp2InMessage reader(CEXcErrorBaseReader);
  const int rc = reader.COMParseInMessage(*CEXaVxXMLParser, CEXaVxXMLDocument, text, name, number,
                                          CEXaVxXMLElementParentIn, error);
  message = rc == 0 ? CEXaVxXMLElementParentIn : nullptr;
  return rc;
}

void TCEXBuildRoad::CEXTransferInputValues(bool bAll) {
  TXMLMessageTree& tree = main_.CEXSourceTree();
  TXMLTreeNode* root = tree.GetFirstNode();
  if (busy_ || root == nullptr) return;
  const TCEXBusyGuard busy(busy_);
  const TCOMEp2InMessage reader(CEXcErrorBaseReader);
  // Each document is parsed once per command, when it is first needed.
  bool receivedParsed = false, builtParsed = false;
  TVxXMLElement* received = nullptr;
  TVxXMLParser builtParser;
  std::unique_ptr<TVxXMLDocument> builtDocument;
  TVxXMLElement* built = nullptr;

  int rc = 0, index = 0;
  std::string name;
  for (TXMLTreeNode* node = root->GetNext(); node != nullptr && rc == 0; node = node->GetNext()) {
    ++index;
    TUAXxmlElement& element = *node->GetData();
    if (!bAll && !Has('V', element)) continue;
    name = element.GetName();
    const bool encrypted = Has('E', element);
    // An encrypted value travels as binary, whatever its own type.
    const std::string type = encrypted ? "b" : element.GetType();
    const TUAXxmlElement* parent = CEXFindElementID(tree, element.GetParentID());
    std::string value;
    bool found = false;
    TVxXMLElement* match = nullptr;
    if (!main_.CEXGetMemo(TCEXMemo::Memo2).empty()) {
      if (!receivedParsed) {
        receivedParsed = true;
        rc = ParseReceived(received);
        if (rc != 0) break;
      }
      if (parent != nullptr) {
        bool parentFound = false;
        TVxXMLElement* xmlParent = nullptr;
        std::string ignored;
        rc = CEXFindElement(parent->GetName(), parent->GetType(), 1, received, reader, true,
                            ignored, parentFound, xmlParent);
        if (rc == 0 && parentFound)
          rc = CEXFindElement(name, type, 1, xmlParent, reader, false, value, found, match);
      }
      if (rc == 0 && !found)
        rc = CEXFindElement(name, type, 1, received, reader, true, value, found, match);
    }
    if (rc == 0 && !found && !main_.CEXGetMemo(TCEXMemo::Memo1).empty()) {
      if (!builtParsed) {
        builtParsed = true;
        std::string text = main_.CEXGetMemo(TCEXMemo::Memo1), msgName, number, error;
        rc = reader.COMParseInMessage(builtParser, builtDocument, text, msgName, number, built,
                                      error);
        if (rc != 0) break;
      }
      rc = CEXFindElement(name, type, 1, built, reader, true, value, found, match);
    }
    if (rc != 0 || !found) continue;
    if (encrypted) {
      std::string plain;
      rc = main_.CEXSecurityDecryption().SDCDecryptElementValue(name, value, main_.CEXSecurity(),
                                                                plain);
      if (rc != 0) continue;
      // Binary and compressed-numeric values are shown as their hex digits.
      value = element.GetType() == "b" || element.GetType() == "cn" ? UTHStringToCompactHex(plain)
                                                                    : plain;
      SecureWipe(plain);
    }
    element.SetValue(value);
    RefreshNode(*node);
  }
  main_.CEXStateChanged(CEXpSourceTree);
  if (rc != 0) ReportError(rc, "line " + std::to_string(index) + ", tag: " + name);
}

}  // namespace kal
