#pragma once

// The build road of the main window: "Create XML Doc" turns the source tree
// into an ep2 XML document, filling the run-time values of its elements on
// the way (value pools, counters, run-time values, copies, text files,
// recorded data, encryption, sender and owner ids); "Transfer Input Values"
// and "Import XML Values" take values from the received or built document
// back into the source tree.
//
// GUI-free: it reaches the window's state through ICEXMainServices and the
// run log and recording through their ports. The GUI thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "workbench/Archive.h"
#include "workbench/LogPorts.h"
#include "workbench/RoadPorts.h"
#include "workbench/SessionKey.h"

namespace kal {

class ICEXCounterLists;
class ICEXMainServices;
class ICEXMessageFiles;
class IERRErrorWindow;
class TCEOEp2MessageElements;
class TUAXxmlElement;
class TVxXMLDocument;
class TVxXMLElement;
class TVxXMLParser;
class TXMLTreeNode;

// The plug-in call of outgoing documents (hook 200), as PLGRunPlugin.
using TCEXPlugInCall = int32_t (*)(const class TCFGConfig& config, int32_t iEncoding,
                                   const std::string& sXMLDoc, std::string& sXMLDocNew,
                                   std::string& sErrorText);

// A whole number (an optional "-" and at most 18 digits) plus one; false
// for anything else. Never overflows: 18 digits stay far below the 64-bit
// limit.
bool CEXCountUp(std::string_view text, std::string& next);

class TCEXBuildRoad final : public ICEXStreamInputs, public ICEXSessionKeys {
 public:
  static constexpr int CEXcErrorBaseBuilder = 6000;
  static constexpr int CEXcErrorBaseReader = 3000;
  static constexpr int CEXcErrorInvalidPIN = 7008;
  static constexpr int CEXcErrorNoSessionKey = TCEXSessionKey::CEXcErrorNoSessionKey;

  // None is owned; every reference must outlive the road. `plugIn` null:
  // PLGRunPlugin.
  struct TPorts {
    ICEXMainServices& main;
    ICEXCounterLists& counters;
    ICEXMessageFiles& messageFiles;
    IERRErrorWindow& errorWindow;
    ICEXRecordingList& recording;
    ICEXSessionKeySource& sessionKey;
    TCEXPlugInCall plugIn = nullptr;
  };

  explicit TCEXBuildRoad(TPorts ports);
  ~TCEXBuildRoad() override;
  TCEXBuildRoad(const TCEXBuildRoad&) = delete;
  TCEXBuildRoad& operator=(const TCEXBuildRoad&) = delete;

  // The log columns of the running sequence; null: none.
  void CEXSetLogItemsList(ICEXLogColumns* list) { logColumns_ = list; }

  // "Create XML Doc". Memo1 holds the document afterwards, or stays empty
  // after a failure, which goes to the sequence log or the error window.
  void Action_CreateXMLDocExecute();
  // "Transfer Input Values" (elements with attribute V) and "Import XML
  // Values" (all elements).
  void Action_TransferInputValuesExecute() { CEXTransferInputValues(false); }
  void Action_ImportXMLValuesExecute() { CEXTransferInputValues(true); }
  void CEXTransferInputValues(bool bAll);

  // The session key in use (bytes), from its owner (SessionKey.h).
  [[nodiscard]] int CEXGetSessionKey(std::string& key) override {
    return sessionKey_.CEXGetSessionKey(key);
  }

  // The counters "ep2:TrxSeqCnt" (keyed by the first "ep2:TrmID") and
  // "ep2:ATC" (the k-th keyed by the k-th "ep2:Track2EqDat") of the source
  // tree that have attribute A get their next values.
  void CEXSetCounterValues();

  // The run-time value rule of a build for an element with attribute A: a
  // number that is no counter is counted up, "ep2:AcqTC" gets the
  // certificate input as hex.
  void CEXSetToCurrentValue(TXMLTreeNode& node);

  // The encryptions of element values (bytes in, bytes out); results of
  // the ep2 security (base 4000), or 7008 for a PIN with a non-digit.
  [[nodiscard]] int CEXSetEncryptedValue(std::string& value);
  [[nodiscard]] int CEXSetKeyEncValue(std::string& value);
  [[nodiscard]] int CEXSetEncryptedPIN(std::string& value, std::string_view panOrTrack2);
  [[nodiscard]] int CEXSetEncryptedATC(std::string_view key, std::string& value) override;
  [[nodiscard]] int CEXComputeSessionKeyCryptogramm(std::string_view key, std::string& value);

  // All lines of the file (aliases expanded) joined without separators;
  // empty when the file cannot be read.
  std::string CEXTextFile(const std::string& name) const;

  // The header items of the message being built.
  void CEXInitTempHeaderItems();
  TCEXHeaderItems CEXGetTempHeaderItems() override;
  std::string CEXsSenderID;
  std::string CEXsSenderIDPrev;
  int CEXiSenderIDType = 0;
  std::string CEXsPublicKeyOwnerID;
  int CEXiPublicKeyOwnerIDType = 0;
  std::string CEXsComponentSecret;
  std::string CEXsComponentSecretPrev;

  // The document of the last build (null before the first), owned by the
  // builder; the source tree's elements link into it.
  TVxXMLDocument* CEXBuiltDocument() const;

  // The received document, as the last transfer parsed it from Memo2
  // (null before), with its message element.
  TVxXMLDocument* CEXReceivedDocument() const { return CEXaVxXMLDocument.get(); }
  TVxXMLElement* CEXReceivedMessage() const { return CEXaVxXMLElementParentIn; }

 private:
  struct TWalk;
  int BuildDocument(int& nodeIndex, std::string& lastName, std::string& errorText);
  int AddElement(TWalk& walk, TXMLTreeNode& node, std::string& errorText);
  int EncryptValue(const std::string& name, std::string_view pan, std::string& value);
  std::string MessageNumber();
  void ReportError(int code, const std::string& text);
  void RefreshNode(TXMLTreeNode& node);
  uint32_t RandomBelow(uint32_t n);
  int ParseReceived(TVxXMLElement*& message);
  ICEXLogColumns& LogColumns() { return logColumns_ != nullptr ? *logColumns_ : noLogColumns_; }

  ICEXMainServices& main_;
  ICEXCounterLists& counters_;
  ICEXMessageFiles& messageFiles_;
  IERRErrorWindow& errorWindow_;
  ICEXRecordingList& recording_;
  ICEXSessionKeySource& sessionKey_;
  TCEXPlugInCall plugIn_;
  ICEXLogColumns* logColumns_ = nullptr;
  // A command runs while a message box of the one before is open: a timer
  // or link event that comes meanwhile finds the road busy.
  bool busy_ = false;
  TCEXNoLogColumns noLogColumns_;
  TARCArchive archive_;
  std::unique_ptr<TCEOEp2MessageElements> builder_;
  // The parser is declared before its document, which points at it.
  std::unique_ptr<TVxXMLParser> CEXaVxXMLParser;
  std::unique_ptr<TVxXMLDocument> CEXaVxXMLDocument;
  TVxXMLElement* CEXaVxXMLElementParentIn = nullptr;
};

}  // namespace kal
