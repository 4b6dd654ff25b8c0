#pragma once

#include <string>

namespace kal {

// What the main window needs of its receive threads: the terminate signal
// with the count of running threads, and the mailbox (the reply's send state
// and the socket error a client thread left).
//
// Threads: the receive threads write, the GUI thread reads and clears; every
// member may be called from any thread.
class ICEXReceiveSide {
 public:
  // Send states of the reply.
  static constexpr int CEXcSendIdle = 0;
  static constexpr int CEXcSendRequest = 1;
  static constexpr int CEXcSent = 2;

  virtual ~ICEXReceiveSide() = default;
  virtual void CEXSetTerminate() = 0;
  // Clears the signal; the count of running threads stays as it is.
  virtual void CEXResetTerminate() = 0;
  virtual bool CEXAllTerminated() const = 0;
  virtual int CEXGetSendState() const = 0;
  virtual void CEXSetSendState(int state) = 0;
  // The socket error a client thread flagged: true with its code and text,
  // and the flag cleared.
  virtual bool CEXTakeClientSocketError(int& code, std::string& text) = 0;
};

// No receive threads run: the signal is kept, the count is always 0 and
// nothing is ever sent or flagged.
class TCEXNoReceiveThreads final : public ICEXReceiveSide {
 public:
  void CEXSetTerminate() override {}
  void CEXResetTerminate() override {}
  bool CEXAllTerminated() const override { return true; }
  int CEXGetSendState() const override { return CEXcSendIdle; }
  void CEXSetSendState(int) override {}
  bool CEXTakeClientSocketError(int&, std::string&) override { return false; }
};

}  // namespace kal
