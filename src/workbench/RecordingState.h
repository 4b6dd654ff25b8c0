#pragma once

// The recording state of one EMV transaction: what the recording list has
// captured since the last outgoing message was built. It is a plain value,
// so that a caller running several transactions on one list (the load test,
// one per thread) can copy it out and put it back.

#include <chrono>
#include <string>
#include <vector>

namespace kal {

// The captured value of one mapped element, in its transfer form (b and cn
// as Base64), and the value before encryption with its own type.
struct TRFLItemValue {
  std::string RFLsValue;
  std::string RFLsType;
  std::string RFLsPlainValue;
  std::string RFLsPlainType;
  bool RFLbValueIsSet = false;
  bool operator==(const TRFLItemValue&) const = default;
};

struct TRFLRecordingState {
  // One entry per mapped element, in map order.
  std::vector<TRFLItemValue> RFLaValues;
  // Root tags of the last message built for sending and of the last one
  // received, and the moments they were seen.
  std::string RFLsMessageSent;
  std::string RFLsMessageReceived;
  std::chrono::steady_clock::time_point RFLlSendTime{};
  std::chrono::steady_clock::time_point RFLlReceiveTime{};
  // The script templates seen ("71", "72") and whether a command of each
  // failed.
  std::string RFLsScriptTag71;
  std::string RFLsScriptTag72;
  bool RFLb71Result = false;
  bool RFLb72Result = false;
  bool operator==(const TRFLRecordingState&) const = default;
};

}  // namespace kal
