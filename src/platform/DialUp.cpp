#include "platform/DialUp.h"

namespace kal {

int TPLTNullDialUp::PLTDial(const TPLTDialParams&, TPLTDialNotify, TPLTDialHandle& handle) {
  handle = 0;
  return PLTcNoPhoneBook;
}

int TPLTNullDialUp::PLTHangUp(TPLTDialHandle) {
  return PLTcErrorInvalidHandle;
}

int TPLTNullDialUp::PLTGetConnectStatus(TPLTDialHandle, int& state) {
  state = 0;
  return PLTcErrorInvalidHandle;
}

std::string TPLTNullDialUp::PLTGetErrorString(int code) {
  if (code == PLTcNoPhoneBook)
    return "Dial-up networking is not available on this computer: the phone book is empty";
  return "Dial-up error " + std::to_string(code);
}

TPLTScriptedDialUp::TPLTScriptedDialUp(std::vector<TStep> script, int dialResult)
    : script_(std::move(script)), dialResult_(dialResult) {}

TPLTScriptedDialUp::~TPLTScriptedDialUp() {
  StopPlayer();
}

void TPLTScriptedDialUp::StopPlayer() {
  {
    std::lock_guard lock(mutex_);
    ++dial_;
  }
  wake_.notify_all();
  // A notification that hangs up from the player's own thread leaves the
  // join to the next dial or the destructor.
  if (player_.joinable() && player_.get_id() != std::this_thread::get_id()) player_.join();
}

void TPLTScriptedDialUp::PLTSetPollsUntilGone(int polls) {
  std::lock_guard lock(mutex_);
  pollsUntilGone_ = polls;
}

void TPLTScriptedDialUp::PLTSetErrorString(int code, std::string text) {
  std::lock_guard lock(mutex_);
  errorStrings_[code] = std::move(text);
}

int TPLTScriptedDialUp::PLTDial(const TPLTDialParams& params, TPLTDialNotify notify,
                                TPLTDialHandle& handle) {
  handle = 0;
  {
    std::lock_guard lock(mutex_);
    ++dialCount_;
    lastParams_ = params;
    if (dialResult_ != 0) return dialResult_;
  }
  StopPlayer();
  std::lock_guard lock(mutex_);
  handle_ = static_cast<TPLTDialHandle>(dialCount_);
  handle = handle_;
  hungUp_ = false;
  state_ = 0;
  scriptDone_ = false;
  player_ = std::thread([this, notify = std::move(notify), dial = dial_] { Play(notify, dial); });
  return 0;
}

void TPLTScriptedDialUp::Play(TPLTDialNotify notify, uint64_t dial) {
  for (const TStep& step : script_) {
    {
      std::unique_lock lock(mutex_);
      if (wake_.wait_for(lock, step.delay, [&] { return dial_ != dial; })) return;
      state_ = step.state;
    }
    notify(step.state, step.error);
  }
  std::lock_guard lock(mutex_);
  if (dial_ == dial) scriptDone_ = true;
}

int TPLTScriptedDialUp::PLTHangUp(TPLTDialHandle handle) {
  {
    std::lock_guard lock(mutex_);
    ++hangUpCount_;
    if (handle == 0 || handle != handle_) return PLTcErrorInvalidHandle;
    hungUp_ = true;
    pollsLeft_ = pollsUntilGone_;
  }
  StopPlayer();
  return 0;
}

int TPLTScriptedDialUp::PLTGetConnectStatus(TPLTDialHandle handle, int& state) {
  std::lock_guard lock(mutex_);
  state = 0;
  if (handle == 0 || handle != handle_) return PLTcErrorInvalidHandle;
  if (hungUp_) {
    if (pollsLeft_ == 0) {
      handle_ = 0;
      return PLTcErrorInvalidHandle;
    }
    if (pollsLeft_ > 0) --pollsLeft_;
  }
  state = state_;
  return 0;
}

int TPLTNullDialUp::PLTEnumEntries(std::vector<std::string>& entries) {
  entries.clear();
  return 0;
}

void TPLTScriptedDialUp::PLTSetPhoneBook(std::vector<std::string> entries, int result) {
  const std::lock_guard lock(mutex_);
  phoneBook_ = std::move(entries);
  phoneBookResult_ = result;
}

int TPLTScriptedDialUp::PLTEnumEntries(std::vector<std::string>& entries) {
  const std::lock_guard lock(mutex_);
  entries.clear();
  if (phoneBookResult_ != 0) return phoneBookResult_;
  entries = phoneBook_;
  return 0;
}

std::string TPLTScriptedDialUp::PLTGetErrorString(int code) {
  std::lock_guard lock(mutex_);
  const auto it = errorStrings_.find(code);
  return it != errorStrings_.end() ? it->second : "Dial-up error " + std::to_string(code);
}

TPLTDialParams TPLTScriptedDialUp::PLTLastParams() const {
  std::lock_guard lock(mutex_);
  return lastParams_;
}

int TPLTScriptedDialUp::PLTDialCount() const {
  std::lock_guard lock(mutex_);
  return dialCount_;
}

int TPLTScriptedDialUp::PLTHangUpCount() const {
  std::lock_guard lock(mutex_);
  return hangUpCount_;
}

bool TPLTScriptedDialUp::PLTScriptDone() const {
  std::lock_guard lock(mutex_);
  return scriptDone_;
}

}  // namespace kal
