#pragma once

// The stream road: "Create Data Stream" frames the built document (Memo1)
// as an ep2 stream with the mode the "Security header" choice asks for, the
// session key and the header items of the last build and, in mode 2, the
// session-key cryptogram. The built stream is kept as bytes; Memo6 shows it
// as hex until the user edits it. The GUI thread only.

#include <functional>
#include <string>

#include "workbench/BuildRoad.h"
#include "workbench/LogPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class ICEXErrorHandOff;
class IERRErrorWindow;
class TCFGConfig;
class TIBSaEp2ByteStream;
class TSECep2Security;

// Whoever asked for a data stream and takes it instead of the stream view
// (the load-test thread list).
class ICEXDataStreamTaker {
 public:
  virtual ~ICEXDataStreamTaker() = default;
  virtual void SCLSetSendDataStream(const std::string& stream) = 0;
};

class TCEXStreamRoad final : public ICEXOutgoingStream {
 public:
  static constexpr int CEXcErrorBaseStream = 1000;
  static constexpr const char* CEXcDataStreamError = "error during generation of data stream";

  // None is owned; every reference must outlive the road.
  struct TPorts {
    TCEXViewState& view;
    ICEXErrorHandOff& errors;
    IERRErrorWindow& errorWindow;
    ICEXStreamInputs& inputs;
    ICEXSessionKeySource& sessionKey;
    ICEXRecordingList& recording;
    TCFGConfig& config;
    TSECep2Security& security;
    TIBSaEp2ByteStream& byteStream;
  };

  explicit TCEXStreamRoad(TPorts ports) : ports_(ports), view_(ports.view) {}
  TCEXStreamRoad(const TCEXStreamRoad&) = delete;
  TCEXStreamRoad& operator=(const TCEXStreamRoad&) = delete;

  // Frames Memo1's document. The stream goes to `taker` when one asked for
  // it, else into the stream view (Memo6, with its bytes kept here). 0, or
  // the code that was reported; a failure leaves the stream view empty.
  int CEXCreateDataStream(ICEXDataStreamTaker* taker);
  // The stream view and its bytes are emptied: there is nothing to send
  // until the next stream is made.
  void CEXDropStream();
  // "Security header": 0 MAC only, 1 complete security header; stored in
  // the configuration's MAC-only setting at once.
  void RadioGroup1Click(int index);

  // The stream the stream view shows, as bytes.
  const std::string& CEXDataStreamBytes() const override { return CEXsDataStream; }
  // The stream view's text was set from outside (the user typed hex): its
  // bytes are the stream from now on.
  void CEXSetStreamText(const std::string& text);
  // Changes the stream's bytes in place (a sequence run's random damage);
  // the stream view follows.
  void CEXChangeStream(const std::function<void(std::string&)>& change);

 private:
  void StreamFailed(ICEXDataStreamTaker* taker, int code, const std::string& text);

  TPorts ports_;
  TCEXViewState& view_;
  // The bytes of the stream Memo6 shows.
  std::string CEXsDataStream;
};

}  // namespace kal
