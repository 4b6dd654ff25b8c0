#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kal {

// Dial-up networking: dial a phone-book entry, follow the connection's
// states, hang up. Linux has no such service; the program works against
// this interface, with the null service in use and a scripted one in tests.

using TPLTDialHandle = uint64_t;  // 0: no connection

struct TPLTDialParams {
  std::string entryName;
  std::string phoneNumber;
  std::string callbackNumber;
  std::string userName;
  std::string password;
  std::string domain;
};

// Connection state and error (0: none) of a dialling connection, called on
// the service's own thread.
using TPLTDialNotify = std::function<void(int state, int error)>;

class IPLTDialUpService {
 public:
  // The states that end dialling.
  static constexpr int PLTcStateConnected = 8192;
  static constexpr int PLTcStateDisconnected = 8193;
  // What PLTGetConnectStatus gives once a connection is gone.
  static constexpr int PLTcErrorInvalidHandle = 6;

  virtual ~IPLTDialUpService() = default;

  // Starts dialling. 0 with `handle` set (notifications follow), or an error
  // code of the service.
  virtual int PLTDial(const TPLTDialParams& params, TPLTDialNotify notify,
                      TPLTDialHandle& handle) = 0;
  // Starts hanging up; the connection is gone once PLTGetConnectStatus says
  // so. No notification follows a hang-up.
  virtual int PLTHangUp(TPLTDialHandle handle) = 0;
  // 0 with the connection's state while it exists; PLTcErrorInvalidHandle
  // once it is gone.
  virtual int PLTGetConnectStatus(TPLTDialHandle handle, int& state) = 0;
  // The service's text of one of its error codes.
  virtual std::string PLTGetErrorString(int code) = 0;
  // The names of the phone book's entries, in the book's order: 0, or an
  // error code of the service (`entries` then empty).
  virtual int PLTEnumEntries(std::vector<std::string>& entries) = 0;
};

// No dial-up networking: the phone book is empty, every dial fails.
class TPLTNullDialUp final : public IPLTDialUpService {
 public:
  static constexpr int PLTcNoPhoneBook = 623;

  int PLTDial(const TPLTDialParams& params, TPLTDialNotify notify, TPLTDialHandle& handle) override;
  int PLTHangUp(TPLTDialHandle handle) override;
  int PLTGetConnectStatus(TPLTDialHandle handle, int& state) override;
  std::string PLTGetErrorString(int code) override;
  // The phone book is empty.
  int PLTEnumEntries(std::vector<std::string>& entries) override;
};

// A dial-up service for tests: a dial plays a script of states on a thread
// of its own, as the real service notifies, and hang-ups end the connection
// after a set number of status polls.
class TPLTScriptedDialUp final : public IPLTDialUpService {
 public:
  struct TStep {
    int state;
    int error;
    std::chrono::milliseconds delay;  // before this step is notified
  };

  // `dialResult` non-zero makes every dial fail with it.
  explicit TPLTScriptedDialUp(std::vector<TStep> script, int dialResult = 0);
  ~TPLTScriptedDialUp() override;

  // After a hang-up, the connection still exists for this many status polls
  // (0: gone at once; negative: never gone).
  void PLTSetPollsUntilGone(int polls);
  void PLTSetErrorString(int code, std::string text);
  // The phone book's entries; `result` non-zero makes listing it fail.
  void PLTSetPhoneBook(std::vector<std::string> entries, int result = 0);

  int PLTDial(const TPLTDialParams& params, TPLTDialNotify notify, TPLTDialHandle& handle) override;
  int PLTHangUp(TPLTDialHandle handle) override;
  int PLTGetConnectStatus(TPLTDialHandle handle, int& state) override;
  std::string PLTGetErrorString(int code) override;
  int PLTEnumEntries(std::vector<std::string>& entries) override;

  // What the program asked for.
  TPLTDialParams PLTLastParams() const;
  int PLTDialCount() const;
  int PLTHangUpCount() const;
  // True when the last dial's script has been played to its end.
  bool PLTScriptDone() const;

 private:
  void Play(TPLTDialNotify notify, uint64_t dial);
  void StopPlayer();

  const std::vector<TStep> script_;
  const int dialResult_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread player_;
  uint64_t dial_ = 0;  // the dial the player plays; a hang-up moves it on
  bool scriptDone_ = false;
  int pollsUntilGone_ = 0;
  int pollsLeft_ = 0;
  bool hungUp_ = false;
  int state_ = 0;
  TPLTDialHandle handle_ = 0;
  TPLTDialParams lastParams_;
  int dialCount_ = 0;
  int hangUpCount_ = 0;
  std::map<int, std::string> errorStrings_;
  std::vector<std::string> phoneBook_;
  int phoneBookResult_ = 0;
};

}  // namespace kal
