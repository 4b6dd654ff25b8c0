#pragma once

// EMV transaction recording: while sequences run, each completed
// authorisation ("ep2:authreq" answered by "ep2:authrsp") is appended as one
// "ep2:bdfin" block to "<terminal id>.xml" in the record folder, the way a
// terminal later submits its transactions. The map file "submission.ini"
// names the elements captured, their EMV tags and the parents they are
// written under.
//
// Threads: the GUI thread only. A caller running several transactions on
// one list keeps one TRFLRecordingState per transaction.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbench/LogPorts.h"
#include "workbench/RecordingState.h"

namespace kal {

class ISECRandomSource;
class TALUAliasList;
class TCFGConfig;

// One mapped element of "submission.ini".
struct TRFLRecordingItem {
  std::string RFLsXMLTag;  // ep2 element name, trimmed
  std::string RFLsEMVTag;  // EMV tag as hex text, trimmed; may be empty
  // The parent elements, outermost first.
  std::vector<std::string> RFLaParentTags;
  bool operator==(const TRFLRecordingItem&) const = default;
};

// The map file is read whole; a larger one gives an empty map.
inline constexpr size_t RFLcMaxMapFileBytes = 1024u * 1024u;

// The items of a map file's lines: trimmed, blank lines skipped, fields
// separated by ";": element name, EMV tag, then the parents (blanks
// removed) up to the first empty one.
std::vector<TRFLRecordingItem> RFLParseMap(const std::vector<std::string>& lines);

// The cryptography the list borrows from the main window's build road.
class IRFLCryptography {
 public:
  virtual ~IRFLCryptography() = default;
  // Encrypts `bytes` in place (Triple DES under the session key's
  // encryption variant, mandatory padding); 0 or an error code.
  [[nodiscard]] virtual int RFLEncryptValue(std::string& bytes) = 0;
  // Replaces `bytes` by the acquirer cryptogram over them (retail MAC under
  // `sessionKey`'s certificate variant); 0 or an error code.
  [[nodiscard]] virtual int RFLComputeCryptogram(std::string_view sessionKey,
                                                 std::string& bytes) = 0;
};

// Results of the issuer-script computation.
inline constexpr int RFLcScriptOk = 0;
inline constexpr int RFLcScriptNoData = 1;      // fewer than two characters, or a tag not 71/72
inline constexpr int RFLcScriptBadTag = 2;      // a tag or length malformed, an identifier too long
inline constexpr int RFLcScriptShortValue = 3;  // a value cut short or not hex

// What an issuer script gave: the results (hex text, 5 bytes per command:
// status nibble, counter nibble, 4-byte script identifier) and which
// templates were seen and had a command fail.
struct TRFLScriptOutcome {
  std::string results;
  bool seen71 = false, seen72 = false;
  bool failed71 = false, failed72 = false;
};

// The issuer script results of `script` (hex TLV text: templates 71 and
// 72). A command fails when `randomBelow(10000)` < `failureRate`; once one
// has failed, the later ones are not performed (status 0). Every read is
// bounded by the script. On an error the outcome keeps what was seen, the
// failed flag of the template in error is cleared and its code returned.
[[nodiscard]] int RFLComputeIssuerScriptResults(
    std::string_view script, int32_t failureRate,
    const std::function<uint32_t(uint32_t)>& randomBelow, TRFLScriptOutcome& outcome);

// The block of one transaction: "<ep2:bdfin>", the items with their values
// under their parents, "</ep2:bdfin>"; CR LF between lines (none after the
// last), three blanks per level, values escaped. `values` runs parallel to
// `items`; an item is written when it is set and its value not empty.
std::string RFLGenerateXMLDocumentString(const std::vector<TRFLRecordingItem>& items,
                                         const std::vector<TRFLItemValue>& values);

// The texts the list shows.
inline constexpr const char* RFLcMissingTrmID = "Missing ep2:TrmID in file submission.ini";
inline constexpr const char* RFLcInvalidTrmID = "Invalid ep2:TrmID, transaction not recorded: ";
inline constexpr const char* RFLcBadScript = "! incorrect issuer script command string: ";

class TRFLRecordingItemsList final : public ICEXRecordingList {
 public:
  using TClock = std::function<std::chrono::steady_clock::time_point()>;
  using TNotice = std::function<void(const std::string&)>;

  // What the end of a transaction needs of the program; none is owned.
  // Until it is attached, values are captured but nothing is recorded.
  struct TEnvironment {
    const TCFGConfig* config = nullptr;
    const TALUAliasList* aliases = nullptr;  // null: the record folder as configured
    IRFLCryptography* cryptography = nullptr;
    // The draws of the issuer-script failure rate; null: every draw is
    // 10000, so no command fails at a rate up to 10000.
    ISECRandomSource* random = nullptr;
    // Texts for the user (missing or invalid terminal id, write failures);
    // the main window sends them to the run notice while a run is on.
    TNotice notice;
  };

  // Reads "submission.ini" from `programDir` (a missing or unreadable file
  // gives an empty map). `clock` null: steady_clock.
  explicit TRFLRecordingItemsList(const std::string& programDir, TClock clock = nullptr);
  // A list over the given map.
  explicit TRFLRecordingItemsList(std::vector<TRFLRecordingItem> items, TClock clock = nullptr);

  void RFLAttach(TEnvironment environment) { env_ = std::move(environment); }
  // Owns the cryptography the environment points to (the link to the core).
  void RFLKeepCryptography(std::unique_ptr<IRFLCryptography> cryptography) {
    ownCryptography_ = std::move(cryptography);
  }

  const std::vector<TRFLRecordingItem>& RFLItems() const { return items_; }
  const TRFLRecordingState& RFLState() const { return state_; }

  // ICEXRecordingList
  void RFLReset() override;
  void RFLSetMessageSend(std::string_view rootTag) override;
  void RFLSetMessageReceived(std::string_view rootTag) override;
  void RFLDoRecording(std::string_view sessionKey) override;
  [[nodiscard]] int RFLAcceptItem(std::string_view name, std::string_view emvTag, bool outMessage,
                                  std::string_view plainType, std::string_view plainValue,
                                  std::string_view type, std::string_view value,
                                  std::string& message) override;
  TRFLRecordingState RFLCopyState() const override { return state_; }
  void RFLPutState(const TRFLRecordingState& state) override;

  // The item `index` takes the value in its transfer form (b: hex text
  // stored as Base64 of its bytes; cn: digits packed, then Base64; other
  // types unchanged), and the plain value under its own type; it is then
  // set. A b or cn value that cannot be converted leaves the item as it is.
  void RFLModifyValue(size_t index, std::string_view value, std::string_view type,
                      std::string_view plainType, std::string_view plainValue);
  // As RFLModifyValue, only when the item is not yet set.
  void RFLSetValue(size_t index, std::string_view value, std::string_view type,
                   std::string_view plainType, std::string_view plainValue);
  // The first item with that name or EMV tag; -1: none.
  int RFLFindXMLElement(std::string_view name) const;
  int RFLFindEMVElement(std::string_view tag) const;

  // The steps of the end of a transaction.
  void RFLModifyTVR();
  void RFLSetAuthTime();
  void RFLTrackToPAN();
  // The acquirer cryptogram over the configured tag list (bytes); empty
  // when the list is malformed, a value cannot be formatted or the
  // cryptogram fails.
  std::string RFLComputeATC(std::string_view sessionKey);
  // The certificate input the configured tag list gives (bytes); false when
  // the list is malformed or a numeric value cannot be packed.
  bool RFLATCInput(std::string& input) const;
  void RFLWriteToFile();

 private:
  void Notice(const std::string& text) const;
  uint32_t RandomBelow(uint32_t n) const;

  std::vector<TRFLRecordingItem> items_;
  TRFLRecordingState state_;
  TClock clock_;
  TEnvironment env_;
  std::unique_ptr<IRFLCryptography> ownCryptography_;
};

}  // namespace kal
