#pragma once

// socat as a peer on 127.0.0.1: it listens on a port the system chooses
// (read from its "-d -d" diagnostics) and serves every connection with a
// command ("cat" echoes, "sleep 30" keeps silent). Stopped with SIGTERM.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

extern char** environ;

namespace kal::test {

class SocatPeer {
 public:
  explicit SocatPeer(const std::string& command) {
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    const std::string exec = "EXEC:" + command;
    const char* argv[] = {"socat",      "-d",   "-d", "TCP4-LISTEN:0,bind=127.0.0.1,fork,reuseaddr",
                          exec.c_str(), nullptr};
    // A group of its own: the children serving connections end with it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    if (::posix_spawnp(&pid_, "socat", &fa, &attr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    ::close(err[1]);
    fd_ = err[0];
    const std::string marker = "listening on AF=2 127.0.0.1:";
    std::string diag;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && port_ == 0 && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      char buf[512];
      const ssize_t n = ::poll(&p, 1, 100) == 1 ? ::read(fd_, buf, sizeof buf) : 0;
      if (n > 0) diag.append(buf, static_cast<size_t>(n));
      const size_t at = diag.find(marker);
      if (at != std::string::npos && diag.find('\n', at) != std::string::npos)
        port_ = std::stoi(diag.substr(at + marker.size()));
    }
  }
  ~SocatPeer() {
    if (pid_ > 0 && ::kill(-pid_, SIGTERM) == 0) ::waitpid(pid_, nullptr, 0);
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace kal::test
