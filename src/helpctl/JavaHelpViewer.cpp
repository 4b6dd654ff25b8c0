#include "helpctl/JavaHelpViewer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "helpctl/HelpPaths.h"

namespace kal {

namespace {

// How long a write waits for room in a full pipe before it gives up.
constexpr int cWriteStallMs = 5000;

}  // namespace

THLPViewerCommand HLPViewerCommand(const THLPJavaHelpSettings& s, const std::string& topic) {
  const bool old = s.javaVersion == 1;
  const std::string launcher = HLPJoinPath(s.jrePath, old ? "jre" : "java");
  const std::string ctxJar = HLPJoinPath(s.contextHelpJarPath, "QhCtxHelp.jar");
  const std::string jhJar = HLPJoinPath(s.javaHelpPath, "jh.jar");
  const std::string swing = old ? HLPJoinPath(s.javaHelpPath, "swingall.jar") : std::string();
  std::string classPath;
  for (const std::string* entry : {&ctxJar, &s.projectJarFile, &jhJar, &swing}) {
    if (entry->empty()) continue;
    if (!classPath.empty()) classPath += ':';
    classPath += *entry;
  }
  THLPViewerCommand cmd;
  cmd.argv = {launcher, "-cp", classPath, "com.qd.javahelp.QhCtxHelp", s.helpsetFile};
  if (!topic.empty()) cmd.argv.push_back(topic);
  cmd.requiredFiles = {launcher, ctxJar, jhJar, s.helpsetFile};
  return cmd;
}

bool THLPViewerProcess::HLPRunning() {
  if (pid_ <= 0) return false;
  pid_t r;
  do {
    r = ::waitpid(pid_, nullptr, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return true;
  // Ended (and now reaped), or no longer our child.
  if (writeFd_ >= 0) ::close(writeFd_);
  writeFd_ = -1;
  pid_ = 0;
  return false;
}

bool THLPViewerProcess::HLPStart(const std::vector<std::string>& argv) {
  HLPForget();
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  int readFd = fds[0];
  // Keep the read end off the standard descriptors, which the child's file
  // actions set up.
  if (readFd <= 2) {
    const int moved = ::fcntl(readFd, F_DUPFD_CLOEXEC, 3);
    ::close(readFd);
    readFd = moved;
  }
  const pid_t pid = readFd >= 0 ? HLPSpawn(argv, readFd, true) : -1;
  if (readFd >= 0) ::close(readFd);
  if (pid <= 0) {
    ::close(fds[1]);
    return false;
  }
  // A viewer that stops reading must not block us for ever.
  ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
  pid_ = pid;
  writeFd_ = fds[1];
  return true;
}

bool THLPViewerProcess::HLPSend(std::string_view bytes) {
  if (writeFd_ < 0) return false;
  sigset_t pipeSet, old, pending;
  sigemptyset(&pipeSet);
  sigaddset(&pipeSet, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
  bool ok = true;
  bool broken = false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(writeFd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{writeFd_, POLLOUT, 0};
      if (::poll(&p, 1, cWriteStallMs) > 0) continue;
    }
    broken = n < 0 && errno == EPIPE;
    ok = false;
    break;
  }
  if (broken && !wasPending) {
    // Take the SIGPIPE this write raised before the mask is restored.
    const timespec zero{0, 0};
    while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  if (!ok) HLPForget();
  return ok;
}

void THLPViewerProcess::HLPForget() {
  if (writeFd_ >= 0) ::close(writeFd_);
  writeFd_ = -1;
  if (pid_ > 0) children_.HLPAdd(pid_);
  pid_ = 0;
}

}  // namespace kal
