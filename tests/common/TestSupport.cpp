#include "common/TestSupport.h"

#include <arpa/inet.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace kal::test {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/kaltest.XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string SharedDir() {
  return KAL_SHARED_DIR;
}
std::string TestDataDir() {
  return KAL_TEST_DATA_DIR;
}
std::string SourceDir() {
  return KAL_SOURCE_DIR;
}

std::string RunCommand(const std::string& command, std::string_view input, int* status) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_addclose(&fa, in[1]);
  posix_spawn_file_actions_addclose(&fa, out[0]);
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, "/bin/sh", &fa, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    throw std::runtime_error("posix_spawn failed");
  }
  // Feed the input from a thread so that a child writing a lot cannot
  // deadlock against us.
  std::thread writer([fd = in[1], input] {
    size_t done = 0;
    while (done < input.size()) {
      const ssize_t n = write(fd, input.data() + done, input.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(fd);
  });
  std::string result;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    result.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  writer.join();
  int ws = 0;
  waitpid(pid, &ws, 0);
  if (status) *status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
  return result;
}

std::string RunPython(const std::string& script, std::string_view input, int* status) {
  TempDir dir;
  const std::string file = dir.file("oracle.py");
  WriteFile(file, script);
  return RunCommand(std::string(KAL_PYTHON) + " " + file, input, status);
}

void WriteFile(const std::string& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string FromHex(std::string_view hex) {
  std::string out;
  int hi = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      continue;
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<char>(hi * 16 + v));
      hi = -1;
    }
  }
  return out;
}

std::string ToHex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  ::close(fd);
  if (!ok) throw std::runtime_error("no free port");
  return ntohs(a.sin_port);
}

}  // namespace kal::test

// --- Child processes with a line-wise standard output ---

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

namespace kal::test {

std::string MockEp2HostScript() {
  return std::string(KAL_SOURCE_DIR) + "/tests/common/mock_ep2_host.py";
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  std::vector<std::string> args = argv;
  std::vector<char*> raw;
  for (std::string& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  if (::posix_spawn(&pid_, raw[0], &fa, nullptr, raw.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  fd_ = out[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (fd_ >= 0) ::close(fd_);
}

bool ChildProcess::Fill(std::chrono::steady_clock::time_point deadline) {
  if (fd_ < 0 || ended_) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
  pollfd p{fd_, POLLIN, 0};
  if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) != 1) return false;
  char buf[65536];
  const ssize_t n = ::read(fd_, buf, sizeof buf);
  if (n <= 0 || out_.size() > (64u << 20)) {
    ended_ = true;
    return false;
  }
  out_.append(buf, static_cast<size_t>(n));
  return true;
}

std::string ChildProcess::Line(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (const size_t nl = out_.find('\n'); nl != std::string::npos) {
      std::string line = out_.substr(0, nl);
      out_.erase(0, nl + 1);
      return line;
    }
    if (!Fill(deadline)) return {};
  }
}

int ChildProcess::Wait(std::chrono::milliseconds limit, std::string* rest) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Fill(deadline)) {
  }
  if (rest) *rest = out_;
  out_.clear();
  // The output is closed; the child may still be on its way out.
  for (;;) {
    int ws = 0;
    const pid_t r = ::waitpid(pid_, &ws, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      return WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    }
    if (r < 0 || std::chrono::steady_clock::now() >= deadline) return -1;
    ::poll(nullptr, 0, 10);
  }
}

std::string RunMockEp2Host(const std::vector<std::string>& args, int* status,
                           std::chrono::milliseconds limit) {
  std::vector<std::string> argv = {KAL_PYTHON, MockEp2HostScript()};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv);
  std::string out;
  const int rc = child.Wait(limit, &out);
  if (status) *status = rc;
  return out;
}

namespace {

std::vector<std::string> MockServerArgv(const std::string& expect, const std::string& response,
                                        const std::string& result,
                                        const std::vector<std::string>& more) {
  std::vector<std::string> argv = {KAL_PYTHON, MockEp2HostScript(), "server", "--expect",
                                   expect,     "--response",        response, "--result",
                                   result};
  argv.insert(argv.end(), more.begin(), more.end());
  return argv;
}

}  // namespace

MockEp2Server::MockEp2Server(const std::string& expect, const std::string& response,
                             const std::string& result, const std::vector<std::string>& more)
    : ChildProcess(MockServerArgv(expect, response, result, more)) {}

std::string MockEp2Server::Port() {
  portLine_ = Line(std::chrono::seconds(20));
  return portLine_.rfind("PORT ", 0) == 0 ? portLine_.substr(5) : std::string();
}

std::string TcpClientIni(const std::string& port) {
  return "[Communication]\r\nCommType=1\r\nEthernetClientServer=0\r\nEthernetIPAddr=127.0.0.1\r\n"
         "EthernetIPPortNr=" +
         port + "\r\n";
}

std::map<std::pair<std::string, std::string>, std::string> ReadIniWithConfigparser(
    const std::string& text) {
  const std::string script = R"PY(
import configparser, sys
cp = configparser.RawConfigParser()
cp.optionxform = str
cp.read_string(sys.stdin.buffer.read().decode('latin-1'))
out = []
for s in cp.sections():
    for k, v in cp.items(s):
        out.append(s + '\t' + k + '\t' + v + '\n')
sys.stdout.buffer.write(''.join(out).encode('latin-1'))
)PY";
  int status = -1;
  const std::string out = test::RunPython(script, text, &status);
  EXPECT_EQ(status, 0) << "configparser refused the file";
  std::map<std::pair<std::string, std::string>, std::string> values;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t end = out.find('\n', pos);
    const std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
    values[{line.substr(0, t1), line.substr(t1 + 1, t2 - t1 - 1)}] = line.substr(t2 + 1);
  }
  return values;
}

}  // namespace kal::test
