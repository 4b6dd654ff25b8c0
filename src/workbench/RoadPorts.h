#pragma once

// The narrow interfaces through which the main window's roads hand each
// other typed values: the session key, the header items of a build, the
// received frame and the stream to send.

#include <string>
#include <string_view>

namespace kal {

// The session key in use. Its one owner (SessionKey.h) is the only one that
// gives the received-message security a key.
class ICEXSessionKeySource {
 public:
  virtual ~ICEXSessionKeySource() = default;
  // The key (bytes); 7009 when it is to come from a received message that
  // brought none (the configured key is given then).
  [[nodiscard]] virtual int CEXGetSessionKey(std::string& key) = 0;
  // After 7009: the received-message security takes the configured key, so
  // that the next press uses it.
  virtual void CEXUseConfiguredKey() = 0;
};

// The session key in use and the certificate MAC under it, which the
// receive road takes from the build road.
class ICEXSessionKeys {
 public:
  virtual ~ICEXSessionKeys() = default;
  // The key (bytes); 7009 when it is to come from a received message that
  // brought none (the configured key is given then).
  [[nodiscard]] virtual int CEXGetSessionKey(std::string& key) = 0;
  // The transaction certificate of `value` under the key's TC variant.
  [[nodiscard]] virtual int CEXSetEncryptedATC(std::string_view key, std::string& value) = 0;
};

// The header items of the stream being made: sender and owner id with
// their types, and the component secret (hex text).
struct TCEXHeaderItems {
  std::string senderID;
  int senderIDType = 0;
  std::string ownerID;
  int ownerIDType = 0;
  std::string componentSecret;
};

// What "Create Data Stream" takes from the build road: the header items of
// the last build.
class ICEXStreamInputs {
 public:
  virtual ~ICEXStreamInputs() = default;
  // The ids the last build took from the message, else the configured
  // ones; a sender id equal to the previous message's brings back that
  // message's secret when this one gave none.
  virtual TCEXHeaderItems CEXGetTempHeaderItems() = 0;
};

// The receive road's side of the link: what arrived, and "Clear Received
// Windows".
class ICEXReceivedFrames {
 public:
  virtual ~ICEXReceivedFrames() = default;
  // A frame came (length bytes and body); Memo5 shows it as hex, or as
  // `shown` when given (the local loop shows the stream view's text).
  virtual void CEXFrameArrived(std::string frame, const std::string* shown) = 0;
  virtual void CEXClearReceived() = 0;
};

// The stream road's side of the link: the stream to send, as bytes.
class ICEXOutgoingStream {
 public:
  virtual ~ICEXOutgoingStream() = default;
  virtual const std::string& CEXDataStreamBytes() const = 0;
};

}  // namespace kal
