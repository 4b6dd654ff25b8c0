#pragma once

// A scripted TCP peer for the main window's connections, run by Debian's
// /usr/bin/python3. It listens on 127.0.0.1 with a port the system chooses
// (and prints the port first) or connects to a port on 127.0.0.1 (and prints
// "connected"), then runs its steps in order. Times are milliseconds since
// the connection was made.
//   s:HEX   send the bytes              w:MS  wait
//   f       read a frame, print "f MS HEX"
//   echo    read a frame and send it back, print "echo MS LENGTH"
//   e       wait for the end of the stream: print "eof", "data", "reset" or
//           "timeout"
//   q:MS    like e, but waiting at most MS: "quiet" when nothing came
//   x       close with a reset (SO_LINGER 0) and stop
//   c       close and stop
// Every socket wait is bounded (10 s); the peer is killed when the object
// goes.

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

inline constexpr const char* kConnectionPeerScript = R"PY(
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
t0 = time.monotonic()
c.settimeout(10)
c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
def ms():
    return int((time.monotonic() - t0) * 1000)
def exact(n):
    b = bytearray()
    while len(b) < n:
        d = c.recv(min(n - len(b), 1 << 20))
        if not d:
            break
        b += d
    return bytes(b)
def frame():
    h = exact(4)
    return h + (exact(struct.unpack(">I", h)[0]) if len(h) == 4 else b"")
def end(limit):
    c.settimeout(limit)
    try:
        print("eof" if not c.recv(1) else "data", flush=True)
    except socket.timeout:
        print("timeout" if limit == 10 else "quiet", flush=True)
    except OSError:
        print("reset", flush=True)
    c.settimeout(10)
for step in sys.argv[2:]:
    op, _, arg = step.partition(":")
    if op == "s":
        c.sendall(bytes.fromhex(arg))
    elif op == "w":
        time.sleep(int(arg) / 1000)
    elif op == "f":
        f = frame()
        print("f %d %s" % (ms(), f.hex().upper()), flush=True)
    elif op == "echo":
        f = frame()
        c.sendall(f)
        print("echo %d %d" % (ms(), len(f)), flush=True)
    elif op == "e":
        end(10)
    elif op == "q":
        end(int(arg) / 1000)
    elif op == "x":
        c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        c.close()
        sys.exit(0)
    elif op == "c":
        c.close()
        sys.exit(0)
c.close()
)PY";

class ConnectionPeer {
 public:
  // `role` is "listen" or the port to connect to.
  ConnectionPeer(const std::string& role, const std::vector<std::string>& steps) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {"/usr/bin/python3", "-c", kConnectionPeerScript, role};
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
  ~ConnectionPeer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  ConnectionPeer(const ConnectionPeer&) = delete;
  ConnectionPeer& operator=(const ConnectionPeer&) = delete;

  // The next line the script prints, waiting up to `limit` while `pump`
  // runs (the GUI thread's queue, say); empty when none came.
  template <class Pump>
  std::string Line(Pump&& pump, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (const size_t nl = out_.find('\n'); nl != std::string::npos) {
        std::string line = out_.substr(0, nl);
        out_.erase(0, nl + 1);
        return line;
      }
      if (std::chrono::steady_clock::now() >= deadline) return {};
      pump();
      pollfd p{fd_, POLLIN, 0};
      char buf[65536];
      if (::poll(&p, 1, 5) != 1) continue;
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0 || out_.size() > (64u << 20)) return {};
      out_.append(buf, static_cast<size_t>(n));
    }
  }
  std::string Line(std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    return Line([] {}, limit);
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string out_;
};

}  // namespace kal::test
