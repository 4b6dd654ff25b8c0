#include "comm/ClientSocketPPP.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/SocketErrors.h"
#include "support/DateTimeUtilities.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

// Lengths of the dial parameters (characters).
constexpr size_t kMaxEntryName = 256;
constexpr size_t kMaxPhoneNumber = 128;
constexpr size_t kMaxUserName = 256;
constexpr size_t kMaxPassword = 256;
// Length of a dial-up error text.
constexpr size_t kMaxDialErrorText = 100;

struct TStateText {
  int state;
  const char* text;
};

constexpr TStateText kStateTexts[] = {
    {0, "Opening port"},
    {1, "Port opened"},
    {2, "Connecting device"},
    {3, "Device connected"},
    {4, "All devices connected"},
    {5, "Start authenticating"},
    {6, "Authentication: notify"},
    {7, "Authentication: retry"},
    {8, "Authentication: callback"},
    {9, "Authentication: change password"},
    {10, "Authentication: projecting"},
    {11, "Authentication: link speed"},
    {12, "Authentication: acknowledge"},
    {13, "Authentication: reauthenticate"},
    {14, "Authenticated"},
    {15, "Preparing for callback"},
    {16, "Waiting for modem reset"},
    {17, "Waiting for callback"},
    {18, "Projected"},
    {19, "Start authentication"},
    {20, "Callback complete"},
    {21, "Logging on network"},
    {4096, "Interactive"},
    {4097, "Retry Authentication"},
    {4098, "Callback set by caller"},
    {4099, "Password expired"},
    {8192, "Connected"},
    {8193, "Disconnected"},
};

// The text of a dial-up state; empty for a state not in the table.
const char* DialStateText(int state) {
  for (const TStateText& t : kStateTexts)
    if (t.state == state) return t.text;
  return "";
}

}  // namespace

// One connection attempt and, once connected, the connection. Shared by the
// GUI thread and the connection's thread.
struct TCTPClientSocketPPP::TConnection {
  enum TMode { kAwait, kEvents, kStop };  // after connecting: wait, read events, end

  uint64_t id = 0;
  std::string host;
  in_addr address{};
  uint16_t port = 0;

  TPLTWakeEvent cancel;  // raised when the thread is to end
  std::mutex mutex;      // guards socket and mode changes
  std::condition_variable changed;
  std::atomic<int> mode{kAwait};
  std::shared_ptr<TPLTStreamSocket> socket;
  std::atomic<size_t> pendingRead{0};  // bytes posted and not delivered yet

  std::thread thread;
  std::atomic<bool> finished{false};

  bool Stopping() const { return mode.load() == kStop; }
  void SetMode(TMode m) {
    {
      std::lock_guard lock(mutex);
      mode.store(m);
    }
    changed.notify_all();
    if (m == kStop) cancel.PLTSet();
  }
};

TCTPClientSocketPPP::TCTPClientSocketPPP(IPLTEventPoster& poster, IPLTDialUpService* dialUp)
    : poster_(poster), dialUp_(dialUp != nullptr ? dialUp : &nullDialUp_) {}

TCTPClientSocketPPP::~TCTPClientSocketPPP() {
  aliveToken_.reset();
  if (current_) EndConnection();
  ReapRetired(true);
  if (handle_ != 0) dialUp_->PLTHangUp(handle_);
}

// ---- TCP connection ----

int TCTPClientSocketPPP::Open() {
  if (current_) return 0;
  ReapRetired(false);
  if (port_ < 1 || port_ > 65535) {
    errno = EINVAL;
    return PLTcSocketInvalidArgument;
  }
  auto c = std::make_shared<TConnection>();
  if (host_.empty()) {
    if (address_.empty()) {
      errno = EDESTADDRREQ;
      return PLTcSocketAddressRequired;
    }
    if (!PLTParseIPv4(address_, c->address)) {
      errno = EADDRNOTAVAIL;
      return PLTcSocketAddressNotValid;
    }
  }
  c->id = nextConnectionId_++;
  c->host = host_;
  c->port = static_cast<uint16_t>(port_);
  try {
    c->thread = std::thread([this, conn = c.get()] { RunConnection(*conn); });
  } catch (const std::system_error& e) {
    errno = e.code().value();
    return PLTSocketCodeFromErrno(errno);
  }
  current_ = std::move(c);
  return 0;
}

void TCTPClientSocketPPP::Close() {
  if (!current_) return;
  const bool wasConnected = connected_;
  EndConnection();
  if (wasConnected && OnDisconnect) OnDisconnect();
}

void TCTPClientSocketPPP::EndConnection() {
  std::shared_ptr<TConnection> c = std::move(current_);
  current_.reset();
  connected_ = false;
  {
    std::lock_guard lock(c->mutex);
    if (c->socket) c->socket->PLTShutdown();
  }
  c->SetMode(TConnection::kStop);
  retired_.push_back(std::move(c));
  ReapRetired(false);
}

void TCTPClientSocketPPP::ReapRetired(bool wait) {
  for (auto it = retired_.begin(); it != retired_.end();) {
    TConnection& c = **it;
    if (!wait && !c.finished.load()) {
      ++it;
      continue;
    }
    if (c.thread.joinable()) c.thread.join();
    it = retired_.erase(it);
  }
}

void TCTPClientSocketPPP::Post(TConnection& c, std::function<void()> call) {
  // Runs only while the socket exists and this connection is still its
  // current one.
  poster_.PLTPost([this, alive = alive_, id = c.id, call = std::move(call)] {
    if (alive.expired() || !current_ || current_->id != id) return;
    call();
  });
}

void TCTPClientSocketPPP::PostError(TConnection& c, TCTPErrorEvent event, int code,
                                    std::string systemText) {
  Post(c, [this, event, code, text = std::move(systemText)] { DeliverError(event, code, text); });
}

void TCTPClientSocketPPP::RunConnection(TConnection& c) {
  in_addr address = c.address;
  if (!c.host.empty()) {
    Post(c, [this] {
      if (OnLookup) OnLookup();
    });
    std::string text;
    const int rc = PLTResolveIPv4(c.host, address, text);
    if (rc != 0 && !c.Stopping()) PostError(c, TCTPErrorEvent::eeLookup, rc, text);
    if (rc != 0 || c.Stopping()) {
      c.finished.store(true);
      return;
    }
  }
  Post(c, [this] {
    if (OnConnecting) OnConnecting();
  });
  int fd = -1;
  const int rc = PLTConnect(address, c.port, c.cancel, fd);
  if (rc != 0) {
    if (!c.Stopping()) PostError(c, TCTPErrorEvent::eeConnect, rc, PLTSystemErrorText(errno));
    c.finished.store(true);
    return;
  }
  auto socket = std::make_shared<TPLTStreamSocket>(fd, c.id);
  {
    std::lock_guard lock(c.mutex);
    if (c.Stopping()) {
      c.finished.store(true);
      return;
    }
    c.socket = socket;
  }
  Post(c, [this, &c] { DeliverConnect(c); });

  // The GUI thread decides after OnConnect whether this thread reads.
  {
    std::unique_lock lock(c.mutex);
    c.changed.wait(lock, [&] { return c.mode.load() != TConnection::kAwait; });
  }
  std::string buffer(CTPcReadChunk, '\0');
  const TPLTWakeEvent* wakes[] = {&c.cancel};
  while (c.mode.load() == TConnection::kEvents) {
    {
      std::unique_lock lock(c.mutex);
      c.changed.wait(lock, [&] {
        return c.mode.load() != TConnection::kEvents || c.pendingRead.load() < CTPcMaxPendingRead;
      });
    }
    if (c.mode.load() != TConnection::kEvents) break;
    size_t got = 0;
    int code = 0;
    const TPLTReceive r = socket->PLTReceive(buffer.data(), buffer.size(), -1, got, code, wakes);
    if (r == TPLTReceive::kData) {
      c.pendingRead += got;
      Post(c, [this, &c, data = buffer.substr(0, got)] { DeliverRead(c, data); });
      continue;
    }
    if (!c.Stopping()) {
      if (r == TPLTReceive::kClosed) Post(c, [this] { DeliverPeerClosed(); });
      if (r == TPLTReceive::kFailed)
        PostError(c, TCTPErrorEvent::eeReceive, code, PLTSystemErrorText(errno));
    }
    if (r != TPLTReceive::kTimeout) break;
  }
  c.finished.store(true);
}

void TCTPClientSocketPPP::DeliverConnect(TConnection& c) {
  connected_ = true;
  if (OnConnect) OnConnect();
  // Unless the event handed the connection to a receive thread or closed
  // it, this socket reads it from now on.
  if (current_.get() == &c && c.mode.load() == TConnection::kAwait) c.SetMode(TConnection::kEvents);
}

void TCTPClientSocketPPP::DeliverRead(TConnection& c, const std::string& data) {
  {
    std::lock_guard lock(c.mutex);
    c.pendingRead -= data.size();
  }
  c.changed.notify_all();
  if (OnRead) OnRead(data);
}

void TCTPClientSocketPPP::DeliverPeerClosed() {
  EndConnection();
  if (OnDisconnect) OnDisconnect();
}

void TCTPClientSocketPPP::DeliverError(TCTPErrorEvent event, int code,
                                       const std::string& systemText) {
  const bool wasConnected = connected_;
  EndConnection();
  PLTSetLastSystemError(code, systemText);
  if (OnError) OnError(event, code);
  if (wasConnected && OnDisconnect) OnDisconnect();
}

void TCTPClientSocketPPP::PostFailure(TCTPErrorEvent event, int code, std::string systemText) {
  poster_.PLTPost([this, alive = alive_, event, code, text = std::move(systemText)] {
    if (alive.expired()) return;
    PLTSetLastSystemError(code, text);
    if (OnError) OnError(event, code);
  });
}

std::shared_ptr<TPLTStreamSocket> TCTPClientSocketPPP::CTPTakeConnection() {
  if (!connected_ || !current_) return nullptr;
  TConnection& c = *current_;
  // The thread stops reading; it is joined so that it has read its last
  // bytes (they still come as read events) before the receive thread
  // starts.
  c.SetMode(TConnection::kStop);
  if (c.thread.joinable()) c.thread.join();
  std::lock_guard lock(c.mutex);
  return c.socket;
}

void TCTPClientSocketPPP::CTPRequestClose(uint64_t connectionId) {
  poster_.PLTPost([this, alive = alive_, connectionId] {
    if (alive.expired() || !current_ || current_->id != connectionId) return;
    Close();
  });
}

int TCTPClientSocketPPP::CTPSendText(std::string_view text) {
  std::shared_ptr<TPLTStreamSocket> socket;
  if (connected_ && current_) {
    std::lock_guard lock(current_->mutex);
    socket = current_->socket;
  }
  if (!socket) {
    errno = ENOTCONN;
    return PLTcSocketNotConnected;
  }
  const int rc = socket->PLTSend(text);
  if (rc != 0) PostError(*current_, TCTPErrorEvent::eeSend, rc, PLTSystemErrorText(errno));
  return rc;
}

// ---- dial-up ----

void TCTPClientSocketPPP::CTPConnect() {
  CTPClearDisplay();
  const bool dial = !STRTrim(phoneBookEntry_).empty() || !STRTrim(phoneNumber_).empty();
  if (dial && CTPiConnectionStatus != CTPcModemConnected) {
    CTPDisplayRASStatus("Connecting dial-up network client");
    // A failed dial is shown in the status displays.
    static_cast<void>(CTPConnectModem(phoneBookEntry_, phoneNumber_, password_, userID_));
    return;
  }
  CTPDisplayRASStatus("Connecting TCP/IP network client");
  if (const int rc = Open(); rc != 0) {
    std::string text = PLTSystemErrorText(errno);
    if (!PLTReportSocketError(rc)) PostFailure(TCTPErrorEvent::eeConnect, rc, std::move(text));
  }
}

int TCTPClientSocketPPP::CTPConnectModem(const std::string& phoneBookEntry,
                                         const std::string& phoneNumber,
                                         const std::string& password, const std::string& user) {
  if (CTPiConnectionStatus != CTPcModemDisconnected) return CTPcModemNotIdle;
  CTPiConnectionStatus = CTPcModemConnecting;
  TPLTDialParams params;
  params.entryName = phoneBookEntry.substr(0, kMaxEntryName);
  params.phoneNumber = phoneNumber.substr(0, kMaxPhoneNumber);
  params.userName = user.substr(0, kMaxUserName);
  params.password = password.substr(0, kMaxPassword);
  // The password is never shown.
  CTPDisplayRASStatus("Phone book entry: " + phoneBookEntry);
  CTPDisplayRASStatus("User name: " + user);
  CTPDisplayRASStatus("Phone number: " + phoneNumber);

  handle_ = 0;
  const uint64_t session = ++dialSession_;
  // Notifications come on the service's thread; they are posted to the GUI
  // thread and dropped there once the socket is gone or the line was hung
  // up since.
  IPLTEventPoster* poster = &poster_;
  TPLTDialNotify notify = [this, poster, alive = alive_, session](int state, int error) {
    poster->PLTPost([this, alive, session, state, error] {
      if (alive.expired() || session != dialSession_) return;
      CTPCallback(state, error);
    });
  };
  const int rc = dialUp_->PLTDial(params, std::move(notify), handle_);
  if (rc != 0) {
    handle_ = 0;
    CTPDisplayRASErrorStatus(dialUp_->PLTGetErrorString(rc).substr(0, kMaxDialErrorText));
  }
  return rc;
}

void TCTPClientSocketPPP::CTPCallback(int state, int error) {
  if (error != 0) {
    CTPDisplayRASErrorStatus(dialUp_->PLTGetErrorString(error).substr(0, kMaxDialErrorText));
    if (OnDialError) OnDialError();
  } else {
    CTPDisplayRASStatus(DialStateText(state));
  }
  if (state == IPLTDialUpService::PLTcStateConnected) {
    CTPiConnectionStatus = CTPcModemConnected;
    CTPDisplayRASStatus("Connecting client socket, address: " + (host_.empty() ? address_ : host_) +
                        ", port: " + std::to_string(port_));
    if (const int rc = Open(); rc != 0)
      PostFailure(TCTPErrorEvent::eeConnect, rc, PLTSystemErrorText(errno));
  } else if (state == IPLTDialUpService::PLTcStateDisconnected) {
    CTPiConnectionStatus = CTPcModemDisconnected;
  }
}

void TCTPClientSocketPPP::CTPDisConnectModem() {
  Close();
  CTPDisplayRASStatus("Disconnecting client");
  if (STRTrim(phoneBookEntry_).empty() && STRTrim(phoneNumber_).empty()) {
    CTPiConnectionStatus = CTPcModemDisconnected;
    return;
  }
  CTPDisplayRASStatus("Disconnecting modem line");
  const TPLTDialHandle handle = handle_;
  handle_ = 0;
  ++dialSession_;  // no notification of this dial is shown any more
  dialUp_->PLTHangUp(handle);
  // The line is idle for the program at once; the GUI thread does not wait
  // for it to go, a timer polls its status instead.
  CTPiConnectionStatus = CTPcModemDisconnected;
  if (handle != 0) PollHangUp(handle, std::chrono::steady_clock::now());
}

void TCTPClientSocketPPP::PollHangUp(TPLTDialHandle handle,
                                     std::chrono::steady_clock::time_point start) {
  int state = 0;
  if (dialUp_->PLTGetConnectStatus(handle, state) == IPLTDialUpService::PLTcErrorInvalidHandle) {
    CTPDisplayRASStatus("Modem line disconnected");
    return;
  }
  const auto limit =
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::hours(24)) /
      cMaxTime;
  if (std::chrono::steady_clock::now() - start >= limit) {
    CTPDisplayRASErrorStatus("Modem line disconnection timeout");
    return;
  }
  poster_.PLTPostDelayed(CTPcHangUpPoll, [this, alive = alive_, handle, start] {
    if (!alive.expired()) PollHangUp(handle, start);
  });
}

// ---- displays ----

void TCTPClientSocketPPP::CTPInitialise(IRRSStatusLine* statusLine, IRRSHistoryList* historyList) {
  statusLine_ = statusLine;
  historyList_ = historyList;
}

void TCTPClientSocketPPP::Display(const std::string& text, TRRSStatusColor color) {
  if (statusLine_ != nullptr) {
    statusLine_->RRSSetText(text);
    statusLine_->RRSSetColor(color);
  }
  if (historyList_ != nullptr) historyList_->RRSAddLine(text + " " + UDTTimeText());
}

void TCTPClientSocketPPP::CTPDisplayRASStatus(const std::string& text) {
  Display(text, TRRSStatusColor::kGreen);
}

void TCTPClientSocketPPP::CTPDisplayRASErrorStatus(const std::string& text) {
  Display(text, TRRSStatusColor::kRed);
}

void TCTPClientSocketPPP::CTPDisplayStatusString(bool isError, const std::string& text) {
  if (isError)
    CTPDisplayRASErrorStatus(text);
  else
    CTPDisplayRASStatus(text);
}

void TCTPClientSocketPPP::CTPExtendStatus(const std::string& text) {
  if (statusLine_ != nullptr) statusLine_->RRSSetText(statusLine_->RRSGetText() + text);
  if (historyList_ != nullptr) historyList_->RRSAddLine(text);
}

void TCTPClientSocketPPP::CTPClearDisplay() {
  if (historyList_ != nullptr) historyList_->RRSClear();
}

}  // namespace kal
