// Starts the program as a user would, in a temporary program folder, and
// checks it from outside: a python3 client connects to its server, SIGTERM
// closes it the normal way and python3 reads the "config.ini" it wrote. The
// message file on its command line is read into the source tree and, being
// the current message file, written again with new ids; the counter files
// are written at close.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/TestSupport.h"

extern char** environ;

namespace kal {
namespace {

using namespace std::chrono_literals;

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

TEST(Program, ListensOnTheConfiguredPortAndWritesConfigIniWhenTerminated) {
  test::TempDir home;
  const int port = test::FreeLoopbackPort();
  const std::string named = home.file("lab.ini");
  test::WriteFile(named,
                  "[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\n"
                  "ThisComputerIPPortNr=" +
                      std::to_string(port) + "\r\n");

  setenv("KALMORE_HOME", home.path().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string program = KAL_PROGRAM, c = "-c";
  const std::string message = home.file("m.epm");
  test::WriteFile(message, "x\n2\nep2:Msg\n\nc\n\n\n0\n10\nep2:TrmID\n42\nan\n\n\n10\n20\n");
  test::WriteFile(home.file("TrxSeqCnt.ini"), "T 1 ; 5\n\n");
  std::vector<char*> argv = {program.data(), c.data(), const_cast<char*>(named.c_str()),
                             const_cast<char*>(message.c_str()), nullptr};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, home.file("output.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&fa);

  const std::string connect = test::RunPython(
      "import socket, sys, time\n"
      "deadline = time.monotonic() + 30\n"
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
  EXPECT_EQ(connect, "connected\n");

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
  EXPECT_EQ(test::ReadFile(message),
            "7.0.1\r\n2\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
            "ep2:TrmID\r\n42\r\nan\r\n\r\n\r\n1\r\n2\r\n");
  EXPECT_EQ(test::ReadFile(home.file("TrxSeqCnt.ini")), "T1;5\r\n");
  EXPECT_EQ(test::ReadFile(home.file("ATC.ini")), "");
}

}  // namespace
}  // namespace kal
