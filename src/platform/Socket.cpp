#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <vector>

#include "platform/SocketErrors.h"

namespace kal {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<TPLTSocketErrorHook> gSocketErrorHook{nullptr};

// Milliseconds left until `deadline`, rounded up so that a wait never ends
// just before it; -1 for no deadline.
int MillisecondsLeft(Clock::time_point deadline) {
  if (deadline == Clock::time_point::max()) return -1;
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 0x7fffffff ? 0x7fffffff : static_cast<int>(ms);
}

// Returns the code of the current errno, closing `fd` first without losing
// errno.
int FailAndClose(int& fd) {
  const int err = errno;
  if (fd >= 0) ::close(fd);
  fd = -1;
  errno = err;
  return PLTSocketCodeFromErrno(err);
}

}  // namespace

TPLTWakeEvent::TPLTWakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TPLTWakeEvent::~TPLTWakeEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void TPLTWakeEvent::PLTSet() {
  const uint64_t one = 1;
  // Fails only when the counter would overflow, i.e. it is raised already.
  [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

void TPLTWakeEvent::PLTReset() {
  uint64_t value;
  [[maybe_unused]] const ssize_t n = ::read(fd_, &value, sizeof value);
}

bool TPLTWakeEvent::PLTIsSet() const {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

TPLTStreamSocket::TPLTStreamSocket(int fd, uint64_t id) : fd_(fd), id_(id) {}

TPLTStreamSocket::~TPLTStreamSocket() {
  if (fd_ >= 0) ::close(fd_);
}

void TPLTStreamSocket::PLTShutdown() {
  connected_.store(false, std::memory_order_release);
  ::shutdown(fd_, SHUT_RDWR);
}

int TPLTStreamSocket::PLTSend(std::string_view data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n =
        ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd_, POLLOUT, 0};
      const int rc = ::poll(&p, 1, static_cast<int>(PLTcSendStallLimit.count()));
      if (rc == 0) {
        errno = ETIMEDOUT;
        return PLTcSocketTimedOut;
      }
      if (rc < 0 && errno != EINTR) return PLTSocketCodeFromErrno(errno);
      continue;
    }
    const int err = n < 0 ? errno : EPIPE;
    connected_.store(false, std::memory_order_release);
    errno = err;
    return PLTSocketCodeFromErrno(err);
  }
  return 0;
}

TPLTReceive TPLTStreamSocket::PLTReceive(char* buffer, size_t size, int timeoutMs, size_t& got,
                                         int& code, std::span<const TPLTWakeEvent* const> wakes,
                                         bool drained) {
  got = 0;
  code = 0;
  if (size == 0) {
    errno = EINVAL;
    code = PLTcSocketInvalidArgument;
    return TPLTReceive::kFailed;
  }
  const Clock::time_point deadline = timeoutMs < 0
                                         ? Clock::time_point::max()
                                         : Clock::now() + std::chrono::milliseconds(timeoutMs);
  // The socket and a few wake events fit on the stack (no allocation a wait).
  pollfd few[4];
  std::vector<pollfd> many;
  std::span<pollfd> fds(few, std::min(std::size(few), 1 + wakes.size()));
  if (1 + wakes.size() > std::size(few)) {
    many.resize(1 + wakes.size());
    fds = many;
  }
  fds[0] = {fd_, POLLIN, 0};
  for (size_t i = 0; i < wakes.size(); ++i) fds[i + 1] = {wakes[i]->PLTFd(), POLLIN, 0};

  // Data already waiting is taken without a poll, unless the caller drained
  // the socket just now: then the poll comes first.
  bool tryRead = !drained;
  for (;;) {
    if (tryRead) {
      const ssize_t n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
      if (n > 0) {
        got = static_cast<size_t>(n);
        return TPLTReceive::kData;
      }
      if (n == 0) {
        connected_.store(false, std::memory_order_release);
        return TPLTReceive::kClosed;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        const int err = errno;
        connected_.store(false, std::memory_order_release);
        errno = err;
        code = PLTSocketCodeFromErrno(err);
        return TPLTReceive::kFailed;
      }
    }
    tryRead = true;

    for (pollfd& p : fds) p.revents = 0;
    const int rc = ::poll(fds.data(), fds.size(), MillisecondsLeft(deadline));
    if (rc < 0) {
      if (errno == EINTR) continue;
      code = PLTSocketCodeFromErrno(errno);
      return TPLTReceive::kFailed;
    }
    if (fds[0].revents != 0) continue;  // readable, closed or broken: recv tells which
    for (size_t i = 1; i < fds.size(); ++i)
      if (fds[i].revents != 0) return TPLTReceive::kWoken;
    if (rc == 0 && MillisecondsLeft(deadline) == 0) return TPLTReceive::kTimeout;
  }
}

bool PLTParseIPv4(const std::string& text, in_addr& address) {
  return ::inet_aton(text.c_str(), &address) != 0;
}

int PLTResolveIPv4(const std::string& host, in_addr& address, std::string& systemText) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
  if (rc != 0) {
    const int err = errno;
    systemText = rc == EAI_SYSTEM ? PLTSystemErrorText(err) : ::gai_strerror(rc);
    return PLTSocketCodeFromLookup(rc, err);
  }
  if (result == nullptr || result->ai_addr == nullptr) {
    if (result != nullptr) ::freeaddrinfo(result);
    systemText = ::gai_strerror(EAI_NODATA);
    return PLTSocketCodeFromLookup(EAI_NODATA, 0);
  }
  address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
  ::freeaddrinfo(result);
  return 0;
}

int PLTConnect(const in_addr& address, uint16_t port, const TPLTWakeEvent& cancel, int& fd,
               int timeoutMs) {
  const Clock::time_point deadline = timeoutMs < 0
                                         ? Clock::time_point::max()
                                         : Clock::now() + std::chrono::milliseconds(timeoutMs);
  fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return FailAndClose(fd);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr = address;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
  if (errno != EINPROGRESS && errno != EINTR) return FailAndClose(fd);

  pollfd fds[2] = {{fd, POLLOUT, 0}, {cancel.PLTFd(), POLLIN, 0}};
  for (;;) {
    const int rc = ::poll(fds, 2, MillisecondsLeft(deadline));
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0) return FailAndClose(fd);
    if (rc == 0 && MillisecondsLeft(deadline) == 0) {
      ::close(fd);
      fd = -1;
      errno = ETIMEDOUT;
      return PLTcSocketTimedOut;
    }
    if (fds[1].revents != 0) {
      ::close(fd);
      fd = -1;
      errno = ECANCELED;
      return PLTcSocketCancelled;
    }
    if (fds[0].revents != 0) break;
  }
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return FailAndClose(fd);
  if (err != 0) {
    errno = err;
    return FailAndClose(fd);
  }
  return 0;
}

int PLTListen(const std::string& bindAddress, int port, int& fd, uint16_t& boundPort) {
  fd = -1;
  if (port < 0 || port > 65535) {
    errno = EINVAL;
    return PLTcSocketInvalidArgument;
  }
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, bindAddress.c_str(), &sa.sin_addr) != 1) {
    errno = EADDRNOTAVAIL;
    return PLTcSocketAddressNotValid;
  }
  fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return FailAndClose(fd);
  const int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return FailAndClose(fd);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return FailAndClose(fd);
  if (::listen(fd, SOMAXCONN) != 0) return FailAndClose(fd);
  socklen_t len = sizeof sa;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return FailAndClose(fd);
  boundPort = ntohs(sa.sin_port);
  return 0;
}

void PLTSetSocketErrorHook(TPLTSocketErrorHook hook) {
  gSocketErrorHook.store(hook);
}

bool PLTReportSocketError(int code) {
  const TPLTSocketErrorHook hook = gSocketErrorHook.load();
  if (hook == nullptr) return false;
  hook(code);
  return true;
}

}  // namespace kal
