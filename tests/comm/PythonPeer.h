#pragma once

// A scripted TCP peer run by Debian's /usr/bin/python3. It either listens on
// 127.0.0.1 with a port the system chooses (and prints the port first), or
// connects to a port on 127.0.0.1, then runs its steps in order:
//   s:HEX  send the bytes          w:MS   wait
//   f      read a frame (length bytes and body), print "f HEX"
//   r:N    read N bytes (fewer at the end), print "r HEX"
//   e      wait for the end of the stream, print "eof" (or "data")
//   x      close with a reset (SO_LINGER 0) and stop
// Every socket wait of the script is bounded (10 s); the peer is killed when
// the object goes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kal::test {

inline constexpr const char* kPeerScript = R"PY(
import socket, struct, sys, time
role = sys.argv[1]
if role == "listen":
    l = socket.socket()
    l.bind(("127.0.0.1", 0))
    l.listen(4)
    print(l.getsockname()[1], flush=True)
    l.settimeout(10)
    c, _ = l.accept()
else:
    c = socket.create_connection(("127.0.0.1", int(role)), timeout=10)
    print("connected", flush=True)
c.settimeout(10)
c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
def exact(n):
    b = b""
    while len(b) < n:
        d = c.recv(min(n - len(b), 65536))
        if not d:
            break
        b += d
    return b
for step in sys.argv[2:]:
    op, _, arg = step.partition(":")
    if op == "s":
        c.sendall(bytes.fromhex(arg))
    elif op == "w":
        time.sleep(int(arg) / 1000)
    elif op == "f":
        h = exact(4)
        b = exact(struct.unpack(">I", h)[0]) if len(h) == 4 else b""
        print("f " + (h + b).hex(), flush=True)
    elif op == "r":
        print("r " + exact(int(arg)).hex(), flush=True)
    elif op == "e":
        try:
            print("eof" if not c.recv(1) else "data", flush=True)
        except OSError:
            print("error", flush=True)
    elif op == "x":
        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        c.close()
        sys.exit(0)
c.close()
)PY";

class PythonPeer {
 public:
  // `role` is "listen" or the port to connect to.
  PythonPeer(const std::string& role, const std::vector<std::string>& steps) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {"/usr/bin/python3", "-c", kPeerScript, role};
    args.insert(args.end(), steps.begin(), steps.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    if (::posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    fd_ = out[0];
  }
  ~PythonPeer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  PythonPeer(const PythonPeer&) = delete;
  PythonPeer& operator=(const PythonPeer&) = delete;

  // The next line the script prints, waiting up to `limit`; empty when none
  // came.
  std::string Line(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (const size_t nl = out_.find('\n'); nl != std::string::npos) {
        std::string line = out_.substr(0, nl);
        out_.erase(0, nl + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      pollfd p{fd_, POLLIN, 0};
      char buf[65536];
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) != 1) return {};
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0 || out_.size() > (64u << 20)) return {};
      out_.append(buf, static_cast<size_t>(n));
    }
  }
  // The first line as a port (0 when none came).
  uint16_t Port() {
    const std::string line = Line();
    return line.empty() ? 0 : static_cast<uint16_t>(std::stoi(line));
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string out_;
};

}  // namespace kal::test
