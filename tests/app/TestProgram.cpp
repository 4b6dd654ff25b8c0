// Starts the program as a user would, in a temporary program folder, and
// checks it from outside: a python3 client connects to its server, SIGTERM
// closes it the normal way and python3 reads the "config.ini" it wrote. The
// message file on its command line is read into the source tree and, being
// the current message file, written again with new ids; the counter files
// are written at close. A sequence given with "-RUN" runs at once against
// outside peers; a load test killed midway and started again hands out no
// counter value twice.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/SocatPeer.h"
#include "common/TestSupport.h"

extern char** environ;

namespace kal {
namespace {

using namespace std::chrono_literals;

// Starts the program in `home` with `args`, its output going to
// home/output.txt.
pid_t StartProgram(const test::TempDir& home, const std::vector<std::string>& args) {
  setenv("KALMORE_HOME", home.path().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string program = KAL_PROGRAM;
  std::vector<std::string> words = args;
  std::vector<char*> argv = {program.data()};
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, home.file("output.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

// The shipped configuration as a client of 127.0.0.1 without login and
// without security header, `sections` ahead of its own.
std::string ClientIni(const std::string& sections) {
  std::string ini = test::ReadFile(std::string(KAL_SOURCE_DIR) + "/share/config.ini");
  ini =
      "[Communication]\r\nCommType=1\r\nEthernetClientServer=0\r\nEthernetIPAddr=127.0.0.1\r\n"
      "[Admin]\r\nUseLogin=0\r\n" +
      sections + ini.substr(ini.find("[Component]"));
  ini.replace(ini.find("EncodingInformation=1"), 21, "EncodingInformation=0");
  return ini;
}

// Connects to the program's server until it listens (bounded for a hang).
std::string WaitForListener(int port) {
  return test::RunPython(
      "import socket, sys, time\n"
      "deadline = time.monotonic() + 60\n"
      "while time.monotonic() < deadline:\n"
      "    try:\n"
      "        socket.create_connection(('127.0.0.1', " +
          std::to_string(port) +
          "), timeout=2).close()\n"
          "        print('connected'); sys.exit(0)\n"
          "    except OSError:\n"
          "        time.sleep(0.1)\n"
          "print('no listener')\n",
      "");
}

// The exit status, or -1 when the process did not exit within `bound` (it
// is then killed).
int WaitForExit(pid_t pid, std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(20ms);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

// A socket listening on any address at `port`, or -1 when the port is
// taken.
int ListenOn(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd, 1) == 0) return fd;
  close(fd);
  return -1;
}

bool PortIsFree(int port) {
  const int fd = ListenOn(port);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

TEST(Program, ListensOnTheConfiguredPortAndWritesConfigIniWhenTerminated) {
  test::TempDir home;
  const int port = test::FreeLoopbackPort();
  const std::string named = home.file("lab.ini");
  test::WriteFile(named,
                  "[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\n"
                  "ThisComputerIPPortNr=" +
                      std::to_string(port) + "\r\n");

  const std::string message = home.file("m.epm");
  test::WriteFile(message, "x\n2\nep2:Msg\n\nc\n\n\n0\n10\nep2:TrmID\n42\nan\n\n\n10\n20\n");
  test::WriteFile(home.file("TrxSeqCnt.ini"), "T 1 ; 5\n\n");
  // A leftover of a write killed midway goes at start; other files stay.
  test::WriteFile(home.file(".config.ini.u5UhAh.kaltmp"), "[Keys]\r\nSess");
  test::WriteFile(home.file("config.ini.u5UhAh"), "not ours");
  const pid_t pid = StartProgram(home, {"-c", named, message});
  ASSERT_GT(pid, 0);

  EXPECT_EQ(WaitForListener(port), "connected\n");
  EXPECT_FALSE(std::filesystem::exists(home.file(".config.ini.u5UhAh.kaltmp")));
  EXPECT_EQ(test::ReadFile(home.file("config.ini.u5UhAh")), "not ours");

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid, 30s), 0) << test::ReadFile(home.file("output.txt"));

  const std::string config = test::RunPython(
      "import configparser, sys\n"
      "c = configparser.ConfigParser(interpolation=None, strict=False)\n"
      "c.read('" +
          home.file("config.ini") +
          "', encoding='utf-8')\n"
          "print(c['Communication']['ThisComputerIPPortNr'])\n"
          "print(c['Directories']['ConfigFileName'])\n",
      "");
  EXPECT_EQ(config, std::to_string(port) + "\n" + named + "\n");
  struct stat st {};
  ASSERT_EQ(stat(home.file("config.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(test::ReadFile(message),
            "7.0.1\r\n2\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
            "ep2:TrmID\r\n42\r\nan\r\n\r\n\r\n1\r\n2\r\n");
  EXPECT_EQ(test::ReadFile(home.file("TrxSeqCnt.ini")), "T1;5\r\n");
  EXPECT_EQ(test::ReadFile(home.file("ATC.ini")), "");
}

// A peer opens the error window at will (two connections announcing a frame
// of 0xFFFFFFFF bytes); SIGTERM still ends the program with its close steps,
// and its port is free afterwards.
TEST(Program, SigtermEndsTheProgramWhileTheErrorWindowIsOpen) {
  test::TempDir home;
  const int port = test::FreeLoopbackPort();
  test::WriteFile(home.file("config.ini"),
                  "[Component]\r\nLogToFile=1\r\n[Communication]\r\nCommType=0\r\n"
                  "ThisComputerClientServer=1\r\nThisComputerIPPortNr=" +
                      std::to_string(port) + "\r\n");
  const pid_t pid = StartProgram(home, {});
  ASSERT_GT(pid, 0);
  ASSERT_EQ(WaitForListener(port), "connected\n") << test::ReadFile(home.file("output.txt"));

  const std::string trace = home.file("DEBUG1.TXT");
  const std::string opened = test::RunPython(
      "import socket, sys, time\n"
      "for _ in range(2):\n"
      "    s = socket.create_connection(('127.0.0.1', " +
          std::to_string(port) +
          "), timeout=10)\n"
          "    s.sendall(b'\\xff\\xff\\xff\\xff')\n"
          "    try:\n"
          "        s.recv(1)\n"
          "    except OSError:\n"
          "        pass\n"
          "    s.close()\n"
          "deadline = time.monotonic() + 60\n"
          "while time.monotonic() < deadline:\n"
          "    try:\n"
          "        if b'Error window 7' in open('" +
          trace +
          "', 'rb').read():\n"
          "            print('open'); sys.exit(0)\n"
          "    except OSError:\n"
          "        pass\n"
          "    time.sleep(0.1)\n"
          "print('not open')\n",
      "");
  ASSERT_EQ(opened, "open\n") << test::ReadFile(home.file("output.txt"));
  std::this_thread::sleep_for(500ms);  // the window's modal loop runs

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid, 30s), 0) << test::ReadFile(home.file("output.txt"));
  const std::string trace_text = test::ReadFile(trace);
  EXPECT_NE(trace_text.find("Error window 7002: Server Socket Error: Frame length exceeds limit: "
                            "4294967295"),
            std::string::npos)
      << trace_text;
  // The close steps ran: the configuration was written.
  EXPECT_NE(test::ReadFile(home.file("config.ini")).find("[Window]"), std::string::npos);
  EXPECT_TRUE(PortIsFree(port));
}

// SIGTERM while the start shows a message box (a "config.ini" that cannot
// be read) ends the program normally: the handler is in place before the
// start opens any window.
TEST(Program, SigtermDuringTheStartEndsTheProgram) {
  test::TempDir home;
  std::filesystem::create_directory(home.file("config.ini"));
  // Removed just before the configuration is read: then the handler is in.
  const std::string leftover = home.file(".config.ini.AbCd12.kaltmp");
  test::WriteFile(leftover, "partial");
  const pid_t pid = StartProgram(home, {});
  ASSERT_GT(pid, 0);
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::filesystem::exists(leftover) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(20ms);
  ASSERT_FALSE(std::filesystem::exists(leftover)) << test::ReadFile(home.file("output.txt"));
  std::this_thread::sleep_for(500ms);  // the message box opens

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid, 30s), 0) << test::ReadFile(home.file("output.txt"));
}

// SIGTERM while the start shows a box (about a file on its command line, a
// setting or its port) or while a close step does: the program ends with
// its close steps instead of running on without a window, and its port is
// free. The trace names the error window (made last) just before the main
// window shows; from then on the first event loop to run is the box's, so
// the signal is handled while the box is open.
TEST(Program, SigtermEndsTheProgramWhateverBoxTheStartOrTheCloseShows) {
  enum class File { None, Text, Big, Unreadable, Folder };
  struct Case {
    const char* name;
    File file;
    std::string text;               // the file's bytes
    std::vector<std::string> args;  // "%" is the file, "f.epm" or "run.seq"
    std::string config = "";        // more lines of "config.ini"
    bool portTaken = false;
  };
  const std::string message =
      "x\r\n2\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n10\r\n"
      "ep2:TrmID\r\n42\r\nan\r\n\r\n\r\n10\r\n20\r\n";
  std::mt19937 rng(51);
  const std::vector<std::string> epm = {"%"}, seq = {"-s", "%", "-RUN"};
  const std::vector<Case> cases = {
      {"message file missing", File::None, "", epm},
      {"message file corrupt", File::Text, message.substr(0, 20), epm},
      {"message file of 100 MB", File::Big, "", epm},
      {"message file of random bytes", File::Text, test::RandomBytes(rng, 4096), epm},
      {"message file unreadable", File::Unreadable, "", epm},
      {"message file a folder", File::Folder, "", epm},
      {"message file with content after its last record", File::Text, message + "x\r\n", epm},
      {"sequence file missing", File::None, "", seq},
      {"sequence file unreadable", File::Unreadable, "", seq},
      {"sequence file of 100 MB", File::Big, "", seq},
      {"sequence file a folder", File::Folder, "", seq},
      {"configuration file missing", File::None, "", {"-c", "nosuch.ini"}},
      {"alarm log file cannot be created",
       File::None,
       "",
       {},
       "[Alarm]\r\nAlarmLogFileName=nosuch/alarm.txt\r\n"},
      {"server port taken", File::None, "", {}, "", true},
      // Writing the configuration in use at close fails with a message box.
      {"configuration in use cannot be written",
       File::None,
       "",
       {},
       "[Directories]\r\nConfigFileName=nosuch/lab.ini\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir home;
    const int port = test::FreeLoopbackPort();
    const int holder = c.portTaken ? ListenOn(port) : -1;
    test::WriteFile(home.file("config.ini"),
                    "[Component]\r\nLogToFile=1\r\n[Communication]\r\nCommType=0\r\n"
                    "ThisComputerClientServer=1\r\nThisComputerIPPortNr=" +
                        std::to_string(port) + "\r\n" + c.config);
    const std::string file = home.file(c.args == epm ? "f.epm" : "run.seq");
    if (c.file != File::None && c.file != File::Folder) test::WriteFile(file, c.text);
    if (c.file == File::Big) std::filesystem::resize_file(file, 100 << 20);
    if (c.file == File::Folder) std::filesystem::create_directory(file);
    if (c.file == File::Unreadable) {
      chmod(file.c_str(), 0);
      // Root reads a file of mode 000; a write-only kernel setting it may not
      // read either gives the program the same refusal.
      if (const int fd = open(file.c_str(), O_RDONLY); fd >= 0) {
        close(fd);
        std::filesystem::remove(file);
        std::filesystem::create_symlink("/proc/sys/vm/drop_caches", file);
      }
    }
    std::vector<std::string> args = c.args;
    for (std::string& a : args)
      if (a == "%") a = file;
    const pid_t pid = StartProgram(home, args);
    ASSERT_GT(pid, 0);
    const auto traced = [&] {
      std::ifstream in(home.file("DEBUG1.TXT"), std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {}).find("\tTForm8") !=
             std::string::npos;
    };
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (!traced() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(traced()) << test::ReadFile(home.file("output.txt"));

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitForExit(pid, 30s), 0) << test::ReadFile(home.file("output.txt"));
    if (holder >= 0) close(holder);
    EXPECT_TRUE(PortIsFree(port));
  }
}

// "-c config.ini -s run.seq -RUN": the sequence runs at once against a socat
// echo, a silent socat (the response time-out, 7007) and a python3 peer that
// records and echoes each frame. The log has one line per row, the error
// alarm its line; the recorded frames carry their length and XML that
// xmllint accepts.
TEST(Program, RunsTheCommandLineSequenceAgainstOutsidePeers) {
  test::TempDir home;
  test::SocatPeer echo("cat");
  test::SocatPeer silent("sleep 30");
  ASSERT_GT(echo.port(), 0);
  ASSERT_GT(silent.port(), 0);
  std::filesystem::create_directory(home.file("frames"));
  test::ChildProcess recorder({"/usr/bin/python3", "-c", R"PY(
import os, socket, struct, sys
server = socket.socket()
server.bind(('127.0.0.1', 0))
server.listen()
print('PORT', server.getsockname()[1], flush=True)
count = 0
while True:
    conn, _ = server.accept()
    with conn:
        while True:
            head = conn.recv(4, socket.MSG_WAITALL)
            if len(head) < 4:
                break
            body = conn.recv(struct.unpack('>I', head)[0], socket.MSG_WAITALL)
            count += 1
            with open(os.path.join(sys.argv[1], '%d.bin' % count), 'wb') as f:
                f.write(head + body)
            conn.sendall(head + body)
)PY",
                               home.file("frames")});
  const std::string portLine = recorder.Line(60s);
  ASSERT_EQ(portLine.rfind("PORT ", 0), 0u) << portLine;
  const std::string recordPort = portLine.substr(5);

  const std::string shared = std::string(KAL_SOURCE_DIR) + "/share/";
  test::WriteFile(home.file("config.ini"),
                  ClientIni("[Timeout]\r\nServerResponseTimeout=4000\r\n"
                            "ConnectionDelay=0\r\n[Alarm]\r\nAlarmLogFileName=alarm.txt\r\n"
                            "[ErrorAlarms]\r\nErrorAlarm1=1;60;$ERROR\r\n"
                            "[Sequence]\r\nSequenceLogErrors=2\r\nSequenceLogType=2\r\n"
                            "SequenceLogDelimitor=1\r\nSequenceLogFileName=run.csv\r\n"
                            "SequenceErrorCount=10\r\n"));
  test::WriteFile(home.file("delimlogfile.ini"), "Error;$ERROR;40\r\nTime;$EXECTIME;8\r\n");
  std::string seq;
  for (const char* name : {"AuthorisationRequest.epm", "AuthorisationRequestReference.epm"})
    test::WriteFile(home.file(name), test::ReadFile(shared + name));
  for (const std::string& port :
       {std::to_string(echo.port()), std::to_string(silent.port()), recordPort})
    seq += home.file("AuthorisationRequest.epm") + "\t" +
           home.file("AuthorisationRequestReference.epm") + "\t\t\t\t" + port + "\t\r\n";
  test::WriteFile(home.file("run.seq"), seq);

  const pid_t pid =
      StartProgram(home, {"-c", home.file("config.ini"), "-s", home.file("run.seq"), "-RUN"});
  ASSERT_GT(pid, 0);
  const std::string log = home.file("run.0.csv");
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  while (test::SplitLines(std::filesystem::exists(log) ? test::ReadFile(log) : "").size() < 4 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid, 30s), 0) << test::ReadFile(home.file("output.txt"));

  int status = 0;
  const std::string checked = test::RunPython(R"PY(
import csv, glob, os, struct, subprocess, sys
home = sys.stdin.read().strip()
timeout = 'Response message timeout while waiting for answer from server'
rows = list(csv.reader(open(os.path.join(home, 'run.0.csv'), newline='', encoding='latin-1')))
assert rows[0] == ['Error', 'Time'] and [r[0] for r in rows[1:]] == ['', timeout, ''], rows
alarms = open(os.path.join(home, 'alarm.txt'), 'rb').read().decode('latin-1').split('\r\n')
assert alarms == [timeout, ''], alarms
for name in ('TrxSeqCnt.ini', 'ATC.ini'):
    assert os.path.isfile(os.path.join(home, name)), name
frames = glob.glob(os.path.join(home, 'frames', '*.bin'))
assert len(frames) == 1, frames
for path in frames:
    data = open(path, 'rb').read()
    assert struct.unpack('>I', data[:4])[0] == len(data) - 4, path
    xml = data[data.index(b'<'):]
    subprocess.run(['xmllint', '--noout', '-'], input=xml, check=True)
print('ok')
)PY",
                                              home.path(), &status);
  EXPECT_EQ(status, 0) << checked << test::ReadFile(home.file("output.txt"));
}

// A load test of rows of 8 threads, each request carrying the terminal's
// transaction counter, is killed with SIGKILL in its third row and started
// again: the peer (load_test_peer.py, recording and echoing) sees no counter
// value twice.
TEST(Program, ALoadTestKilledMidRowAndStartedAgainHandsOutNoCounterValueTwice) {
  test::TempDir home;
  test::ChildProcess peer({"/usr/bin/python3",
                           std::string(KAL_SOURCE_DIR) + "/tests/workbench/load_test_peer.py",
                           "record", home.file("frames.txt")});
  const std::string portLine = peer.Line(60s);
  ASSERT_EQ(portLine.rfind("PORT ", 0), 0u) << portLine;
  test::WriteFile(home.file("config.ini"), ClientIni("[Timeout]\r\nServerResponseTimeout=20000\r\n"
                                                     "[Sequence]\r\nPermanentRun=1\r\n"));
  test::WriteFile(home.file("counted.epm"),
                  "7.0.1\r\n3\r\nep2:authreq\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
                  "ep2:TrmID\r\nT0000042\r\nan\r\nM\r\n\r\n1\r\n2\r\n"
                  "ep2:TrxSeqCnt\r\n1\r\nn\r\nMA\r\n\r\n1\r\n3\r\n");
  test::WriteFile(home.file("run.seq"), home.file("counted.epm") + "\t" + home.file("counted.epm") +
                                            "\t8\t\t\t" + portLine.substr(5) + "\t\r\n");

  // The counter values of the frames the peer has recorded, once it has at
  // least `count` (all of them: a row's last frames may come after).
  const auto values = [&](size_t count) {
    std::vector<std::string> out;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    do {
      peer.Line(100ms);
      out.clear();
      if (!std::filesystem::exists(home.file("frames.txt"))) continue;
      const std::string frames = test::ReadFile(home.file("frames.txt"));
      for (const std::string& hex : test::SplitLines(frames.substr(0, frames.rfind('\n') + 1))) {
        const std::string frame = test::FromHex(hex);
        const size_t at = frame.find("<ep2:TrxSeqCnt>");
        out.push_back(at == std::string::npos
                          ? "-"
                          : frame.substr(at + 15, frame.find('<', at + 15) - at - 15));
      }
    } while (out.size() < count && std::chrono::steady_clock::now() < deadline);
    return out;
  };
  const std::vector<std::string> args = {"-c", home.file("config.ini"), "-s", home.file("run.seq"),
                                         "-RUN"};
  pid_t pid = StartProgram(home, args);
  ASSERT_GT(pid, 0);
  ASSERT_GE(values(20).size(), 20u) << test::ReadFile(home.file("output.txt"));
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  EXPECT_EQ(WaitForExit(pid, 30s), -1);
  const size_t first = values(0).size();
  pid = StartProgram(home, args);
  ASSERT_GT(pid, 0);
  ASSERT_GE(values(first + 20).size(), first + 20) << test::ReadFile(home.file("output.txt"));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid, 30s), 0) << test::ReadFile(home.file("output.txt"));

  const std::vector<std::string> all = values(0);
  std::vector<std::string> sorted = all;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end())
      << testing::PrintToString(all);
  EXPECT_EQ(std::count(all.begin(), all.end(), "-"), 0);
}

}  // namespace
}  // namespace kal
