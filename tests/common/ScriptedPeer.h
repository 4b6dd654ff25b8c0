#pragma once

// A scripted TCP peer run by Debian's /usr/bin/python3. It listens on
// 127.0.0.1 with a port the system chooses (and prints the port first) or
// connects to a port on 127.0.0.1 (and prints "connected"), then runs its
// steps in order. Times are milliseconds since the connection was made.
//   s:HEX   send the bytes              w:MS  wait
//   f       read a frame (length bytes and body), print "f MS HEX"
//   echo    read a frame and send it back, print "echo MS LENGTH"
//   e       wait for the end of the stream: print "eof", "data", "reset" or
//           "timeout"
//   q:MS    like e, but waiting at most MS: "quiet" when nothing came
//   x       close with a reset (SO_LINGER 0) and stop
//   c       close and stop
// Every socket wait is bounded (10 s); the peer is killed when the object
// goes.

#include <chrono>
#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

#include "common/TestSupport.h"

namespace kal::test {

inline constexpr const char* kScriptedPeerScript = R"PY(
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

class ScriptedPeer {
 public:
  // `role` is "listen" or the port to connect to.
  ScriptedPeer(const std::string& role, const std::vector<std::string>& steps)
      : child_(Argv(role, steps)) {}

  // The next line the script prints, waiting up to `limit` while `pump`
  // runs (the GUI thread's queue, say); empty when none came.
  template <std::invocable Pump>
  std::string Line(Pump&& pump, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      if (std::string line = child_.Line(std::chrono::milliseconds(5)); !line.empty()) {
        return line;
      }
      if (child_.Ended() || std::chrono::steady_clock::now() >= deadline) return {};
      pump();
    }
  }
  std::string Line(std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    return child_.Line(limit);
  }
  // The first line as a port (0 when none came).
  uint16_t Port() {
    const std::string line = Line();
    return line.empty() ? 0 : static_cast<uint16_t>(std::stoi(line));
  }

 private:
  static std::vector<std::string> Argv(const std::string& role,
                                       const std::vector<std::string>& steps) {
    std::vector<std::string> argv = {KAL_PYTHON, "-c", kScriptedPeerScript, role};
    argv.insert(argv.end(), steps.begin(), steps.end());
    return argv;
  }

  ChildProcess child_;
};

// The bytes of an "f MS HEX" report without its time; any other line as it
// is, so that a comparison with the expected bytes still fails on it.
inline std::string FrameHex(const std::string& line) {
  if (line.rfind("f ", 0) != 0) return line;
  const size_t space = line.find(' ', 2);
  return space == std::string::npos ? line : line.substr(space + 1);
}

}  // namespace kal::test
