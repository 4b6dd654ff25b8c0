#pragma once

// The computations of the security items window: the session-key
// cryptogram and the encrypted PIN, PAN, track 2 and track 2 equivalent
// values of an ep2 message, and the elements they become in the source tree.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kal {

class ICEXErrorHandOff;
class TCFGConfig;
class TSECep2Security;
class TXMLMessageTree;
class TXMLTreeNode;

// The rows of the window, in the order of their element names.
enum class TSKIRow : int { Cryptogram = 0, PIN, PAN, Track2, Track2Equiv };
inline constexpr int kSKIRowCount = 5;

struct TSKIRowInfo {
  const char* elementName;
  int errorCode;
};
inline constexpr std::array<TSKIRowInfo, kSKIRowCount> kSKIRows = {{
    {"ep2:SessKeyCryp", 9001},
    {"ep2:EncPIN", 9002},
    {"ep2:AppPAN", 9003},
    {"ep2:Track2Dat", 9004},
    {"ep2:Track2EqDat", 9005},
}};

// What an activation sets: the add buttons, each row's modify button, the
// value shown in a row whose element is selected, and the attributes of the
// selected element.
struct TSKIActivation {
  bool addEnabled = false;
  std::array<bool, kSKIRowCount> modifyEnabled{};
  std::array<std::optional<std::string>, kSKIRowCount> values;
  std::optional<std::string> attributes;
};

class TSKISecurityItems {
 public:
  // The session key in use (bytes), 0 or an error code such as 7009.
  using SessionKeySource = std::function<int(std::string&)>;

  struct TPorts {
    TCFGConfig& config;
    TSECep2Security& security;
    SessionKeySource sessionKey;
    ICEXErrorHandOff& errors;
  };

  explicit TSKISecurityItems(TPorts ports);

  static TSKIActivation SKIActivate(const TXMLTreeNode* selected);

  // Each computation returns the result as spaced hex text; on failure the
  // error goes to the error window and nothing is returned. Without a
  // session key (7009) nothing is computed.
  std::optional<std::string> SKISessionKeyCryptogram();
  std::optional<std::string> SKIEncryptedPIN(std::string_view pin, std::string_view pan,
                                             std::string_view track2, std::string_view track2Equiv);
  // PAN, track 2 or track 2 equivalent: the digits packed and encrypted
  // under the encryption variant.
  std::optional<std::string> SKIEncryptedAccountData(TSKIRow row, std::string_view digits);
  // The bytes of a hex text RSA-encrypted under the configured public key;
  // "encryption failed" when that fails.
  std::string SKIEncryptPlainCryptogram(std::string_view hex);

  // A new element of the row (value, type "b", the attributes, no TLV tag)
  // as the last child of `selected`; null when nothing is selected.
  static TXMLTreeNode* SKIAddElement(TXMLMessageTree& tree, TXMLTreeNode* selected, TSKIRow row,
                                     const std::string& value, const std::string& attributes);
  // The selected element of the row's name takes value, type "b", the
  // attributes and no TLV tag; false (nothing changed) when nothing is
  // selected or the name differs.
  static bool SKIModifyElement(TXMLTreeNode* selected, TSKIRow row, const std::string& value,
                               const std::string& attributes);
  // The first node after `selected` (from the first node when null) whose
  // element carries attribute S; null when there is none.
  static TXMLTreeNode* SKINextFastSelect(TXMLMessageTree& tree, TXMLTreeNode* selected);

 private:
  bool SessionKey(std::string& key);
  void Report(int code);

  TPorts ports_;
};

}  // namespace kal
