#pragma once

// Outside peers for the link tests: a peer written with plain calls behind a
// listener on 127.0.0.1 with a port the system chooses, and socat as an echo
// server.

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/Socket.h"

extern char** environ;

namespace kal::test {

class Peer {
 public:
  explicit Peer(int fd) : fd_(fd) {}
  Peer(const Peer&) = delete;
  ~Peer() { Close(); }
  void Send(const std::string& data) { ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL); }
  // Reads until `n` bytes came, the stream ended or 5 s passed.
  std::string Read(size_t n) {
    std::string out;
    char buf[4096];
    pollfd p{fd_, POLLIN, 0};
    while (out.size() < n && ::poll(&p, 1, 5000) == 1) {
      const ssize_t got = ::recv(fd_, buf, std::min(sizeof buf, n - out.size()), 0);
      if (got <= 0) break;
      out.append(buf, static_cast<size_t>(got));
    }
    return out;
  }
  bool SeesEnd() {
    pollfd p{fd_, POLLIN, 0};
    char c;
    return ::poll(&p, 1, 5000) == 1 && ::recv(fd_, &c, 1, 0) == 0;
  }
  // Closes with a reset instead of an orderly end.
  void Abort() {
    const linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

class Listener {
 public:
  Listener() { ok_ = PLTListen("127.0.0.1", 0, fd_, port_) == 0; }
  ~Listener() {
    if (ok_) ::close(fd_);
  }
  uint16_t port() const { return port_; }
  Peer Accept() {
    pollfd p{fd_, POLLIN, 0};
    return Peer(ok_ && ::poll(&p, 1, 5000) == 1 ? ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)
                                                : -1);
  }

 private:
  bool ok_;
  int fd_ = -1;
  uint16_t port_ = 0;
};

// A port nothing listens on: one the system just handed out and took back.
inline uint16_t UnusedPort() {
  return Listener().port();
}

// socat echoing one connection, or listening as `address` (port 0 on
// 127.0.0.1) and serving with `server`; it lets the system choose the port
// and reports it on its diagnostics ("listening on AF=2 127.0.0.1:N").
class SocatEcho {
 public:
  explicit SocatEcho(const char* address = "TCP4-LISTEN:0,bind=127.0.0.1",
                     const char* server = "PIPE") {
    // The diagnostics go to an unlinked file, which never fills up as a
    // pipe would (a forking socat logs every connection).
    char name[] = "/tmp/kal-socat-XXXXXX";
    diagFd_ = ::mkstemp(name);
    if (diagFd_ < 0) return;
    ::unlink(name);
    ::fcntl(diagFd_, F_SETFL, O_APPEND);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, diagFd_, 2);
    const char* argv[] = {"socat", "-d", "-d", address, server, nullptr};
    if (::posix_spawnp(&pid_, "socat", &fa, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    const std::string marker = "listening on AF=2 127.0.0.1:";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && port_ == 0 && std::chrono::steady_clock::now() < deadline) {
      char buf[4096];
      const ssize_t n = ::pread(diagFd_, buf, sizeof buf, 0);
      const std::string diag(buf, n > 0 ? static_cast<size_t>(n) : 0);
      const size_t at = diag.find(marker);
      if (at != std::string::npos && diag.find('\n', at) != std::string::npos)
        port_ = static_cast<uint16_t>(std::stoi(diag.substr(at + marker.size())));
      else
        ::poll(nullptr, 0, 20);
    }
  }
  ~SocatEcho() {
    int status = 0;
    if (pid_ > 0 && ::kill(pid_, SIGTERM) == 0) ::waitpid(pid_, &status, 0);
    if (diagFd_ >= 0) ::close(diagFd_);
  }
  uint16_t port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int diagFd_ = -1;
  uint16_t port_ = 0;
};

}  // namespace kal::test
