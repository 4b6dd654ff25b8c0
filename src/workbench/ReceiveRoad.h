#pragma once

// The receive road: "Parse Message" splits the received frame and parses
// its document, "Analyse Message" compares the received message with the
// reference tree, "Decrypt Security" undoes the message's protection and
// verifies its certificates. The road keeps the received frame as bytes
// with its split header, its own parser and document, and writes the
// panes (Memo2..Memo5, Edit3) through the view state. The GUI thread only.

#include <memory>
#include <string>
#include <string_view>

#include "ep2/SecurityDecryption.h"
#include "workbench/BuildRoad.h"
#include "workbench/LogPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class ICEXErrorHandOff;
class ICEXSequenceWindow;
class IERRErrorWindow;
class TALUAliasList;
class TCFGConfig;
class TIBSaEp2ByteStream;
class TSDCSecurityDecryption;
class TSECep2Security;
class TTCPCommParams;
class TVxXMLDocument;
class TVxXMLElement;
class TVxXMLParser;
class TXMLMessageTree;

// The configuration values the received-message security reads.
class TCEXSecurityConfiguration final : public ISDCConfiguration {
 public:
  explicit TCEXSecurityConfiguration(const TCFGConfig& config) : config_(config) {}
  bool CFGVersionAbove520() const override;
  bool CFGVersionAbove600() const override;
  bool CFGVersionAbove700() const override;
  std::string CFGGetPrivateKeyExponent() const override;
  std::string CFGGetPrivateKeyModulus() const override;

 private:
  const TCFGConfig& config_;
};

// The received-message security's report goes to Memo4, a line at a time.
class TCEXMemo4Report final : public ISDCReportList {
 public:
  explicit TCEXMemo4Report(TCEXViewState& view) : view_(view) {}
  void SDCAddReportLine(std::string_view line) override;

 private:
  TCEXViewState& view_;
};

class TCEXReceiveRoad final : public ICEXReceivedFrames {
 public:
  static constexpr int CEXcErrorBaseParse = 3000;
  static constexpr int CEXcErrorMissingElement = 7004;
  static constexpr int CEXcErrorFixedValue = 7005;
  static constexpr int CEXcErrorUnexpectedMessage = 7006;
  static constexpr int CEXcErrorLookup = 7022;
  // AnalyseMessage without a reference structure: no error, Memo3 says so.
  static constexpr int CEXcNoReference = 1;

  // None is owned; every reference must outlive the road. `sequence` may
  // be null; `plugIn` null: PLGRunPlugin.
  struct TPorts {
    TCEXViewState& view;
    ICEXErrorHandOff& errors;
    IERRErrorWindow& errorWindow;
    ICEXSessionKeys& keys;
    ICEXRecordingList& recording;
    ICEXSequenceWindow* sequence = nullptr;
    const TCFGConfig& config;
    const TTCPCommParams& comm;
    TIBSaEp2ByteStream& byteStream;
    TSECep2Security& security;
    TSDCSecurityDecryption& decryption;
    TXMLMessageTree& referenceTree;
    const TALUAliasList& aliases;
    TCEXPlugInCall plugIn = nullptr;
  };

  explicit TCEXReceiveRoad(TPorts ports);
  ~TCEXReceiveRoad() override;
  TCEXReceiveRoad(const TCEXReceiveRoad&) = delete;
  TCEXReceiveRoad& operator=(const TCEXReceiveRoad&) = delete;

  // The log columns of the running sequence; null: none.
  void CEXSetLogItemsList(ICEXLogColumns* list) { logColumns_ = list; }

  // A frame came (length bytes and body): Memo5 shows it as hex, or as
  // `shown` when given (the local loop shows the stream view's text).
  void CEXFrameArrived(std::string frame, const std::string* shown = nullptr) override;
  // Memo5 was set from outside: a hex text gives the frame; the formatted
  // stream keeps the frame it was made from; an empty text leaves none.
  void CEXSetReceivedText(const std::string& text);
  // "Clear Received Windows": Memo2..Memo5 and the receive times.
  void CEXClearReceived() override;
  // The received-message security took a session key; "Decrypt Security"
  // follows.
  void CEXSessionKeyChanged() { RefreshDecryptEnabled(); }

  // "Parse Message": splits the frame into its header items and the XML
  // document, passes the document through the incoming plug-in and parses
  // it. Memo4 gets the header items, Memo5 the formatted stream, Memo2 the
  // document, Edit3 the message number.
  void Action_ParseMessageExecute();
  // "Analyse Message": compares the received message with the reference
  // tree; Memo3 gets one line per reference node ("No reference structure
  // loaded" without one, and "Parse + Analyse" then still verifies the
  // security header and the MAC).
  void Action_AnalyseMessageExecute();
  // "Decrypt Security": the session key (from the cryptogram or the
  // previous message), the MAC, the encrypted items and the certificates.
  void Action_DecryptSecurityExecute();
  // "Parse + Analyse": the three in a row, each after the success of the
  // one before.
  void Action_ParseAndAnalyseExecute();

  // The steps of "Decrypt Security"; 0 or the failing code.
  [[nodiscard]] int AnalyseSecurityHeader();
  [[nodiscard]] int AnalyseSecurityItems();
  [[nodiscard]] int CEXVerifyATC();

  bool CEXAnalyseEnabled() const { return analyseEnabled_; }
  bool CEXDecryptEnabled() const { return decryptEnabled_; }
  // The received frame as bytes.
  const std::string& CEXReceivedBuffer() const { return CEXaBuf; }
  // The received message's name and root element (null before a parse
  // succeeded); valid while the received document lives.
  const std::string& CEXReceivedRoot() const { return CEXsRoot; }
  TVxXMLElement* CEXReceivedElement() const { return CEXaVxXMLElementParentIn; }

 private:
  [[nodiscard]] int ParseMessage();
  [[nodiscard]] int AnalyseMessage();
  [[nodiscard]] int DecryptSecurity();
  void ReceiveError(int code, const std::string& text);
  // "Decrypt Security" is enabled once a frame was split and a session key
  // or a cryptogram is there to use.
  void RefreshDecryptEnabled();
  void AddMemo4Line(const std::string& line);
  void DisplayElement(const std::string& name, const std::string& value, bool found, bool mandatory,
                      bool fixedDiffers, bool group, const std::string& referenceValue, int level);
  void DisplayContainer(const std::string& name, bool found, bool mandatory, bool group, int level);

  TPorts ports_;
  TCEXViewState& view_;
  ICEXLogColumns* logColumns_ = nullptr;
  // Memo3's lines while an analysis runs (shown once at the end).
  std::string memo3_;
  bool analyseEnabled_ = false;
  bool decryptEnabled_ = false;
  bool frameSplit_ = false;  // the last parse split its frame
  bool hasFrame_ = false;
  bool busy_ = false;
  std::string CEXaBuf;
  std::string CEXsRoot;
  // The parser is declared before its document, which points at it.
  std::unique_ptr<TVxXMLParser> CEXaVxXMLParser;
  std::unique_ptr<TVxXMLDocument> CEXaVxXMLDocument;
  // Renewed with every document: Memo2's text is written from the document
  // while its token lives.
  std::shared_ptr<int> documentToken_;
  TVxXMLElement* CEXaVxXMLElementParentIn = nullptr;
};

}  // namespace kal
