#pragma once

// Helpers shared by the tests: temporary folders, data paths and running
// outside oracles (python3, openssl) as child processes.

#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kal::test {

// A fresh folder under $TMPDIR (or /tmp), removed with its content when the
// object goes out of scope. path() ends with "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

// Folder of the shared test data (the W3C suite ...), test data of this
// repository, and the source tree.
std::string SharedDir();
std::string TestDataDir();
std::string SourceDir();

// Runs a command line through /bin/sh with `input` on its standard input and
// returns its standard output; `status` gets the exit status (-1 when it did
// not exit normally).
std::string RunCommand(const std::string& command, std::string_view input, int* status = nullptr);

// Runs Debian's /usr/bin/python3 on a script given as text (on its -c
// argument) with `input` on standard input; returns standard output.
std::string RunPython(const std::string& script, std::string_view input, int* status = nullptr);

// Every section and key of an INI text as Debian's python3 configparser
// reads it (RawConfigParser, keys keep their case), keyed by section and
// key; a failing parse is a test failure.
std::map<std::pair<std::string, std::string>, std::string> ReadIniWithConfigparser(
    const std::string& text);

// Writes and reads a whole file; throw on failure.
void WriteFile(const std::string& path, std::string_view content);
std::string ReadFile(const std::string& path);

// Hex text (any case, blanks allowed) to bytes and bytes to upper-case
// compact hex, written independently of the code under test.
std::string FromHex(std::string_view hex);
std::string ToHex(std::string_view bytes);

// The lines of a text (LF-separated, without the LF).
std::vector<std::string> SplitLines(const std::string& text);

// n random bytes from the generator.
std::string RandomBytes(std::mt19937& rng, size_t n);

// A loopback port that nothing listens on at the moment, chosen by the
// system (free again when this returns).
int FreeLoopbackPort();

}  // namespace kal::test

// --- Child processes with a line-wise standard output (the mock ep2 host) ---

#include <sys/types.h>

#include <chrono>

namespace kal::test {

// The mock ep2 host script (tests/common/mock_ep2_host.py), to be run with
// Debian's /usr/bin/python3.
std::string MockEp2HostScript();

// A child process started from argv (no shell), standard input closed,
// standard output on a pipe read with deadlines. It is killed and reaped
// when the object goes.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Started() const { return pid_ > 0; }

  // The next line of standard output without its LF, waiting at most
  // `limit`; empty when none came (time-out or end of output).
  std::string Line(std::chrono::milliseconds limit);
  // Reads the rest of the output (into *rest) and the exit status, waiting
  // at most `limit`; -1 when the child did not exit in time (it is then
  // killed) or did not exit normally.
  int Wait(std::chrono::milliseconds limit, std::string* rest = nullptr);
  // True once the output ended (or could not be read any more); lines
  // already read remain for Line().
  bool Ended() const { return ended_ || fd_ < 0; }

 private:
  // Appends what the pipe holds, waiting until `deadline`; false at the end
  // of output or at the deadline.
  bool Fill(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int fd_ = -1;
  bool ended_ = false;
  std::string out_;
};

// The mock ep2 host as a server: it checks what it receives against the
// expect file, answers from the response file and writes its findings to the
// result file (more: further arguments). Port() waits for the "PORT n" line
// it prints once listening and gives n, empty when none came; PortLine() is
// the line read.
class MockEp2Server : public ChildProcess {
 public:
  MockEp2Server(const std::string& expect, const std::string& response, const std::string& result,
                const std::vector<std::string>& more = {});
  std::string Port();
  const std::string& PortLine() const { return portLine_; }

 private:
  std::string portLine_;
};

// The [Communication] section of a TCP/IP client of 127.0.0.1 at port.
std::string TcpClientIni(const std::string& port);

// Runs the mock ep2 host with the arguments (bounded by `limit`); returns
// its standard output, `status` gets the exit status (-1 when it did not
// exit in time).
std::string RunMockEp2Host(const std::vector<std::string>& args, int* status,
                           std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace kal::test
