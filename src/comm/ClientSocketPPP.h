#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comm/ModemStatusForm.h"
#include "platform/DialUp.h"
#include "platform/EventPoster.h"
#include "platform/Socket.h"

namespace kal {

// The client end of the test link: a TCP client whose events arrive on the
// GUI thread, extended by dial-up networking (dial first, then connect).
//
// Connecting runs on a thread of the connection: it looks the host up,
// connects without blocking anyone, and while no receive thread has taken
// the connection it reads and posts what arrives. Events are posted through
// the event poster and run on the GUI thread in the order they happened:
// OnLookup (host names only), OnConnecting, OnConnect, OnRead..., and
// OnDisconnect once for every OnConnect. A failure of a connection gives
// OnError, followed by OnDisconnect when it had connected. Events of a
// connection that was closed meanwhile are dropped.
//
// Threads: everything runs on the GUI thread except CTPRequestClose.
class TCTPClientSocketPPP final {
 public:
  // Dial-up states.
  static constexpr int32_t CTPcModemDisconnected = 0;
  static constexpr int32_t CTPcModemConnecting = 1;
  static constexpr int32_t CTPcModemConnected = 2;
  static constexpr int32_t CTPcModemDisconnecting = 3;  // never set

  // CTPConnectModem while the line is not idle: nothing is done.
  static constexpr int CTPcModemNotIdle = -1;

  // A hang-up waits at most 1/cMaxTime of a day (about 3.09 s) for the line
  // to go, polling its status at this interval.
  static constexpr int32_t cMaxTime = 28000;
  static constexpr std::chrono::milliseconds CTPcHangUpPoll{10};

  // Read events carry at most this many bytes; while this many bytes are
  // posted and not yet delivered, reading pauses (the peer then waits).
  static constexpr size_t CTPcReadChunk = 64 * 1024;
  static constexpr size_t CTPcMaxPendingRead = 16 * 1024 * 1024;

  enum class TCTPErrorEvent { eeGeneral, eeSend, eeReceive, eeConnect, eeDisconnect, eeLookup };

  // `poster` runs the events on the GUI thread; `dialUp` is the dial-up
  // service (null: none, dialling fails). Neither is owned; both outlive
  // the socket.
  explicit TCTPClientSocketPPP(IPLTEventPoster& poster, IPLTDialUpService* dialUp = nullptr);
  // Closes without events, hangs the line up without waiting, and joins the
  // connection threads (a host lookup in progress is waited for).
  ~TCTPClientSocketPPP();
  TCTPClientSocketPPP(const TCTPClientSocketPPP&) = delete;
  TCTPClientSocketPPP& operator=(const TCTPClientSocketPPP&) = delete;

  // Events (GUI thread). An unassigned event is skipped.
  std::function<void()> OnLookup;
  std::function<void()> OnConnecting;
  std::function<void()> OnConnect;
  std::function<void(const std::string& data)> OnRead;
  std::function<void()> OnDisconnect;
  // Before it runs, the code and the system's text of the failure are the
  // GUI thread's last system error (RRSWindowsErrorText).
  std::function<void(TCTPErrorEvent event, int code)> OnError;
  std::function<void()> OnDialError;

  // Where to connect: the host name when set (looked up when connecting),
  // else the numeric address.
  const std::string& Address() const { return address_; }
  void SetAddress(std::string address) { address_ = std::move(address); }
  const std::string& Host() const { return host_; }
  void SetHost(std::string host) { host_ = std::move(host); }
  int32_t Port() const { return port_; }
  void SetPort(int32_t port) { port_ = port; }

  // Dial-up data.
  const std::string& PhoneNumber() const { return phoneNumber_; }
  void SetPhoneNumber(std::string v) { phoneNumber_ = std::move(v); }
  const std::string& UserID() const { return userID_; }
  void SetUserID(std::string v) { userID_ = std::move(v); }
  const std::string& Password() const { return password_; }
  void SetPassword(std::string v) { password_ = std::move(v); }
  const std::string& PhoneBookEntry() const { return phoneBookEntry_; }
  void SetPhoneBookEntry(std::string v) { phoneBookEntry_ = std::move(v); }

  // Starts connecting (nothing when active already). 0, or the code of a
  // failure found before connecting, with errno set: a port outside
  // 1..65535 (10022), neither host nor address (10039), a numeric address
  // that does not parse (10049), no thread. Failures of the connection
  // itself come as OnError.
  [[nodiscard]] int Open();
  // Ends the connection; OnDisconnect runs before it returns when the
  // connection had connected.
  void Close();
  // Opening or open.
  bool Active() const { return current_ != nullptr; }
  // Open: OnConnect has run.
  bool Connected() const { return connected_; }

  // Hands the open connection to a receive thread: no read events follow for
  // it. Null when not connected. The socket closes the connection as before
  // (the receive thread then sees it end).
  std::shared_ptr<TPLTStreamSocket> CTPTakeConnection();
  // Any thread: closes the connection with this id (TPLTStreamSocket::PLTId)
  // on the GUI thread, unless another connection has replaced it by then.
  void CTPRequestClose(uint64_t connectionId);

  // Writes the bytes to the connection as one stream write. 0, or a code; a
  // failing write also gives OnError (eeSend) and ends the connection.
  [[nodiscard]] int CTPSendText(std::string_view text);

  // Connects: dials first when a phone-book entry or a phone number is given
  // and the line is not connected, else opens the TCP connection at once. A
  // failure found before connecting goes to the socket error hook, or
  // becomes OnError when none is installed.
  void CTPConnect();
  // Dials (only while the line is idle): 0 when dialling started, else the
  // service's code (or CTPcModemNotIdle). A failed dial leaves the line
  // connecting until it is hung up.
  [[nodiscard]] int CTPConnectModem(const std::string& phoneBookEntry,
                                    const std::string& phoneNumber, const std::string& password,
                                    const std::string& user);
  // Closes the connection and hangs the line up. The line is idle at once;
  // whether it went within the time limit is shown when that is known.
  void CTPDisConnectModem();

  // The status line and history list to show progress in; either may be
  // null. Not owned.
  void CTPInitialise(IRRSStatusLine* statusLine, IRRSHistoryList* historyList);
  // The status line in green (red for errors); the history gets the text,
  // a blank and the time.
  void CTPDisplayRASStatus(const std::string& text);
  void CTPDisplayRASErrorStatus(const std::string& text);
  void CTPDisplayStatusString(bool isError, const std::string& text);
  // Appends the text to the status line and adds it to the history as is.
  void CTPExtendStatus(const std::string& text);
  void CTPClearDisplay();
  int32_t CTPModemConnectionstate() const { return CTPiConnectionStatus; }

 private:
  struct TConnection;

  // Connection thread.
  void RunConnection(TConnection& c);
  void Post(TConnection& c, std::function<void()> call);
  void PostError(TConnection& c, TCTPErrorEvent event, int code, std::string systemText);

  // GUI thread.
  void DeliverConnect(TConnection& c);
  void DeliverRead(TConnection& c, const std::string& data);
  void DeliverPeerClosed();
  void DeliverError(TCTPErrorEvent event, int code, const std::string& systemText);
  void EndConnection();
  void ReapRetired(bool wait);
  void PostFailure(TCTPErrorEvent event, int code, std::string systemText);
  void CTPCallback(int state, int error);
  void PollHangUp(TPLTDialHandle handle, std::chrono::steady_clock::time_point start);
  void Display(const std::string& text, TRRSStatusColor color);

  IPLTEventPoster& poster_;
  TPLTNullDialUp nullDialUp_;
  IPLTDialUpService* const dialUp_;
  // Posted calls hold the weak side and run only while the socket exists.
  std::shared_ptr<int> aliveToken_ = std::make_shared<int>(0);
  const std::weak_ptr<int> alive_ = aliveToken_;

  std::string address_, host_;
  int32_t port_ = 0;
  std::string phoneNumber_, userID_, password_, phoneBookEntry_;

  std::shared_ptr<TConnection> current_;
  std::vector<std::shared_ptr<TConnection>> retired_;  // threads not joined yet
  bool connected_ = false;
  uint64_t nextConnectionId_ = 1;

  IRRSStatusLine* statusLine_ = nullptr;
  IRRSHistoryList* historyList_ = nullptr;
  int32_t CTPiConnectionStatus = CTPcModemDisconnected;
  TPLTDialHandle handle_ = 0;
  uint64_t dialSession_ = 0;  // notifications of an older dial are dropped
};

}  // namespace kal
