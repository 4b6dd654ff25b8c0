#pragma once

// What the build and receive roads hand to the run log and the EMV
// recording: the log columns of the running sequence and the recording
// list of the transactions. Each comes with the implementation in use until
// its part exists; both do nothing.

#include <string>
#include <string_view>

#include "workbench/RecordingState.h"

namespace kal {

// The log columns of a sequence run: every column fed by `tag` (a column
// variable such as "$SENDMESSAGE", or an element name) takes the value.
class ICEXLogColumns {
 public:
  virtual ~ICEXLogColumns() = default;
  virtual void LUXAcceptItem(std::string_view tag, std::string_view value) = 0;
};

class TCEXNoLogColumns final : public ICEXLogColumns {
 public:
  void LUXAcceptItem(std::string_view, std::string_view) override {}
};

// The recording list of EMV transactions, owned by the main window for the
// whole run.
class ICEXRecordingList {
 public:
  virtual ~ICEXRecordingList() = default;
  // A new message is being built: the captured values of the last
  // transaction are dropped.
  virtual void RFLReset() = 0;
  // The root tag of the message built for sending.
  virtual void RFLSetMessageSend(std::string_view rootTag) = 0;
  // The root tag of the received message being analysed.
  virtual void RFLSetMessageReceived(std::string_view rootTag) = 0;
  // A received message was analysed without error: the end of a
  // transaction, recorded with the session key in use (bytes).
  virtual void RFLDoRecording(std::string_view sessionKey) = 0;
  // One element of an outgoing (`outMessage`) or received message: its
  // name, TLV tag, the value before encryption with its type, and the value
  // sent with its type (b and cn as hex text). 0, or an error code with
  // `message` set.
  [[nodiscard]] virtual int RFLAcceptItem(std::string_view name, std::string_view emvTag,
                                          bool outMessage, std::string_view plainType,
                                          std::string_view plainValue, std::string_view type,
                                          std::string_view value, std::string& message) = 0;
  // The state of the transaction in progress, copied out and put back (a
  // state of another map size is fitted to the map). A list that keeps no
  // state gives an empty one and ignores what it is given.
  virtual TRFLRecordingState RFLCopyState() const { return {}; }
  virtual void RFLPutState(const TRFLRecordingState&) {}
};

class TCEXNoRecordingList final : public ICEXRecordingList {
 public:
  void RFLReset() override {}
  void RFLSetMessageSend(std::string_view) override {}
  void RFLSetMessageReceived(std::string_view) override {}
  void RFLDoRecording(std::string_view) override {}
  int RFLAcceptItem(std::string_view, std::string_view, bool, std::string_view, std::string_view,
                    std::string_view, std::string_view, std::string&) override {
    return 0;
  }
};

}  // namespace kal
