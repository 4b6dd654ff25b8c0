#include "comm/ReceiveTime.h"

#include "support/DateTimeUtilities.h"

namespace kal {

const std::string& TTHReceiveTime::THTTextAt(std::time_t when) {
  if (when != second_) {
    std::string year, month, day, hour, minute, second;
    UDTDateTimeStringsAt(when, year, month, day, hour, minute, second);
    text_ = hour + ":" + minute + ":" + second;
    second_ = when;
  }
  return text_;
}

}  // namespace kal
