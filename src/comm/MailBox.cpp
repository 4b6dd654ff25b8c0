#include "comm/MailBox.h"

namespace kal {

void TTHXMailBox::THXSetSendstring(std::string frame) {
  std::lock_guard lock(mutex_);
  THXsSendString = std::make_shared<const std::string>(std::move(frame));
}

std::string TTHXMailBox::THXGetSendString() const {
  std::lock_guard lock(mutex_);
  return *THXsSendString;
}

void TTHXMailBox::THXSetSendState(int32_t state) {
  {
    std::lock_guard lock(mutex_);
    THXiSendState.store(state, std::memory_order_release);
    if (state != THXcStateSendRequest) {
      sendRequest_.PLTReset();
      return;
    }
    ++request_;
    taken_ = false;
  }
  // Raised after the lock is released: the connection it wakes takes the
  // lock at once, and would otherwise sleep until this thread let it go. A
  // connection that took the request before this raise lowers the event
  // again (THXSendPendingSettled).
  sendRequest_.PLTSet();
}

void TTHXMailBox::THXSetClientSocketErrorFlag(bool on) {
  THXbClientSocketErrorFlag.store(on, std::memory_order_release);
}

void TTHXMailBox::THXSetClientSocketErrorText(std::string text) {
  std::lock_guard lock(mutex_);
  THXsClientSocketErrorText = std::move(text);
}

std::string TTHXMailBox::THXGetClientSocketErrorText() const {
  std::lock_guard lock(mutex_);
  return THXsClientSocketErrorText;
}

void TTHXMailBox::THXSetClientSocketErrorId(int32_t id) {
  std::lock_guard lock(mutex_);
  THXiClientSocketErrorId = id;
}

int32_t TTHXMailBox::THXGetClientSocketErrorId() const {
  std::lock_guard lock(mutex_);
  return THXiClientSocketErrorId;
}

bool TTHXMailBox::THXReportClientSocketError(int32_t id, std::string text) {
  {
    std::lock_guard lock(mutex_);
    if (THXbClientSocketErrorFlag.load(std::memory_order_acquire)) return false;
    THXiClientSocketErrorId = id;
    THXsClientSocketErrorText = std::move(text);
    THXbClientSocketErrorFlag.store(true, std::memory_order_release);
  }
  HandedOff();
  return true;
}

bool TTHXMailBox::THXTakeSendRequest(std::string& frame, uint64_t& ticket) {
  std::shared_ptr<const std::string> shared;
  if (!THXTakeSendRequest(shared, ticket)) return false;
  frame = *shared;
  return true;
}

bool TTHXMailBox::THXTakeSendRequest(std::shared_ptr<const std::string>& frame, uint64_t& ticket) {
  std::lock_guard lock(mutex_);
  if (THXiSendState.load(std::memory_order_acquire) != THXcStateSendRequest || taken_) return false;
  taken_ = true;
  ticket = request_;
  frame = THXsSendString;
  sendRequest_.PLTReset();
  return true;
}

void TTHXMailBox::THXSendDone(uint64_t ticket, bool sent) {
  {
    std::lock_guard lock(mutex_);
    if (ticket != request_ || THXiSendState.load(std::memory_order_acquire) != THXcStateSendRequest)
      return;
    if (!sent) {
      taken_ = false;
      sendRequest_.PLTSet();
      return;
    }
    THXiSendState.store(THXcStateSended, std::memory_order_release);
  }
  HandedOff();
}

bool TTHXMailBox::THXSendPending() const {
  std::lock_guard lock(mutex_);
  return Pending();
}

bool TTHXMailBox::THXSendPendingSettled() {
  std::lock_guard lock(mutex_);
  if (Pending()) return true;
  sendRequest_.PLTReset();
  return false;
}

}  // namespace kal
