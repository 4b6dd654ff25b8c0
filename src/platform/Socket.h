#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kal {

// POSIX TCP sockets for the test link (IPv4, as the program's addresses are).
// Failures come back as Windows socket codes (platform/SocketErrors.h); where
// a call says so, errno is left at the failing call's error number for the
// system text.

// A wake-up that any thread may raise and that socket waits watch beside
// their socket (an eventfd). It stays raised until it is reset, so every
// waiter sees it.
class TPLTWakeEvent final {
 public:
  TPLTWakeEvent();
  ~TPLTWakeEvent();
  TPLTWakeEvent(const TPLTWakeEvent&) = delete;
  TPLTWakeEvent& operator=(const TPLTWakeEvent&) = delete;

  void PLTSet();
  void PLTReset();
  bool PLTIsSet() const;
  int PLTFd() const { return fd_; }

 private:
  int fd_;
};

// Outcome of TPLTStreamSocket::PLTReceive.
enum class TPLTReceive {
  kData,     // `got` bytes were read
  kTimeout,  // nothing came within the wait
  kWoken,    // one of the wake events is raised (and no data was waiting)
  kClosed,   // the peer closed the connection, or it was shut down here
  kFailed,   // a socket error; `code` holds it
};

// A connected TCP stream. The descriptor is closed only when the last owner
// lets go, so a thread that still waits on it never meets a reused
// descriptor; PLTShutdown ends the connection for every owner at once and
// wakes their waits.
//
// Threads: one thread receives and one thread sends at a time (they may be
// different); PLTShutdown and PLTConnected may be called from any thread.
class TPLTStreamSocket final {
 public:
  // Sends that make no progress for this long fail with PLTcSocketTimedOut,
  // so a peer that stops reading cannot block the sender for ever.
  static constexpr std::chrono::milliseconds PLTcSendStallLimit{10000};

  // Takes ownership of a connected descriptor; `id` names the connection.
  TPLTStreamSocket(int fd, uint64_t id);
  ~TPLTStreamSocket();
  TPLTStreamSocket(const TPLTStreamSocket&) = delete;
  TPLTStreamSocket& operator=(const TPLTStreamSocket&) = delete;

  uint64_t PLTId() const { return id_; }

  // True until the connection was shut down here or a receive or send found
  // it closed or broken.
  bool PLTConnected() const { return connected_.load(std::memory_order_acquire); }

  // Writes every byte of `data` (MSG_NOSIGNAL: a closed peer gives a code,
  // not a signal). 0, or a code with errno set.
  [[nodiscard]] int PLTSend(std::string_view data);

  // Waits up to `timeoutMs` (negative: no limit) for data, then reads at
  // most `size` bytes into `buffer`. Data waiting on the socket is taken
  // before a raised wake event is reported. On kFailed, `code` holds the
  // code and errno the error number; otherwise `code` is 0.
  // `drained` says the caller's last receive emptied the socket: the wait
  // then comes first instead of a read that would most likely find nothing.
  TPLTReceive PLTReceive(char* buffer, size_t size, int timeoutMs, size_t& got, int& code,
                         std::span<const TPLTWakeEvent* const> wakes = {}, bool drained = false);

  // Ends the connection in both directions (waits of every owner end with
  // kClosed). Safe to call more than once and from any thread.
  void PLTShutdown();

 private:
  const int fd_;
  const uint64_t id_;
  std::atomic<bool> connected_{true};
};

// Parses a numeric IPv4 address in the classic forms a.b.c.d, a.b.c, a.b
// and a (parts in decimal, octal or hex, as inet_aton reads them).
bool PLTParseIPv4(const std::string& text, in_addr& address);

// Looks a host name up (IPv4). 0, or a code; `systemText` then holds the
// lookup's own text. Blocks for as long as the resolver takes: call it off
// the GUI thread.
[[nodiscard]] int PLTResolveIPv4(const std::string& host, in_addr& address,
                                 std::string& systemText);

// Connects a new TCP socket to `address`:`port` without blocking the caller
// beyond the wait for the connection, which ends when it is made, fails,
// `cancel` is raised (PLTcSocketCancelled) or `timeoutMs` has passed
// (PLTcSocketTimedOut; negative: no limit). 0 with `fd` set, or a code with
// errno set (fd then -1).
[[nodiscard]] int PLTConnect(const in_addr& address, uint16_t port, const TPLTWakeEvent& cancel,
                             int& fd, int timeoutMs = -1);

// A listening TCP socket with SO_REUSEADDR on `bindAddress`:`port` (port 0
// lets the system choose). 0 with `fd` and `boundPort` set, or a code with
// errno set.
[[nodiscard]] int PLTListen(const std::string& bindAddress, int port, int& fd, uint16_t& boundPort);

// Where failing socket calls of the client link go instead of an error
// event: the communication layer installs its first-error latch here.
using TPLTSocketErrorHook = void (*)(int code);
void PLTSetSocketErrorHook(TPLTSocketErrorHook hook);

// Hands a failure to the hook; false when none is installed (the caller
// then reports it itself).
bool PLTReportSocketError(int code);

}  // namespace kal
