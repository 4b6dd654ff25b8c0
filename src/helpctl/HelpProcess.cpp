#include "helpctl/HelpProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

extern char** environ;

namespace kal {

pid_t HLPSpawn(const std::vector<std::string>& argv, int inputFd, bool quiet) {
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<std::string> args = argv;
  std::vector<char*> raw;
  for (std::string& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  if (posix_spawn_file_actions_init(&fa) != 0) return -1;
  if (inputFd >= 0)
    posix_spawn_file_actions_adddup2(&fa, inputFd, 0);
  else
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  if (quiet) {
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addclosefrom_np(&fa, 3);
  pid_t pid = -1;
  const bool search = argv[0].find('/') == std::string::npos;
  const int rc = search ? ::posix_spawnp(&pid, raw[0], &fa, nullptr, raw.data(), environ)
                        : ::posix_spawn(&pid, raw[0], &fa, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  return rc == 0 ? pid : -1;
}

std::optional<std::string> HLPRunForOutput(const std::vector<std::string>& argv,
                                           std::chrono::milliseconds limit) {
  if (argv.empty()) return std::nullopt;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
  std::vector<std::string> args = argv;
  std::vector<char*> raw;
  for (std::string& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&fa, 3);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, raw[0], &fa, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    return std::nullopt;
  }
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    pollfd p{out[0], POLLIN, 0};
    const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      timedOut = true;
      break;
    }
    char buf[4096];
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (text.size() < (1u << 20)) text.append(buf, static_cast<size_t>(n));
  }
  ::close(out[0]);
  if (timedOut) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return text;
}

void THLPChildList::HLPReap() {
  pids_.erase(std::remove_if(pids_.begin(), pids_.end(),
                             [](pid_t pid) {
                               const pid_t r = ::waitpid(pid, nullptr, WNOHANG);
                               return r == pid || (r < 0 && errno == ECHILD);
                             }),
              pids_.end());
}

void THLPChildList::HLPWaitAll(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    HLPReap();
    if (pids_.empty() || std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace kal
