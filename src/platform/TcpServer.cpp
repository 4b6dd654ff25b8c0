#include "platform/TcpServer.h"

#include <malloc.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "platform/SocketErrors.h"

namespace kal {

TPLTTcpServer::~TPLTTcpServer() {
  PLTDeactivate();
}

int TPLTTcpServer::PLTActivate() {
  if (active_) return 0;
  int fd = -1;
  uint16_t port = 0;
  if (const int rc = PLTListen(bindAddress_, defaultPort_, fd, port); rc != 0) return rc;
  stop_.PLTReset();
  ended_.PLTReset();
  stopping_.store(false);
  listenFd_ = fd;
  try {
    acceptThread_ = std::thread([this] { AcceptLoop(); });
  } catch (const std::system_error& e) {
    ::close(listenFd_);
    listenFd_ = -1;
    return PLTSocketCodeFromErrno(e.code().value());
  }
  boundPort_ = port;
  active_ = true;
  return 0;
}

bool TPLTTcpServer::IsOwnThread() const {
  const std::thread::id self = std::this_thread::get_id();
  if (acceptThread_.get_id() == self) return true;
  std::lock_guard lock(mutex_);
  for (const auto& c : connections_)
    if (c->thread.get_id() == self) return true;
  return false;
}

void TPLTTcpServer::PLTDeactivate() {
  // A handler cannot wait for its own thread to end.
  if (!active_ || IsOwnThread()) return;
  stopping_.store(true);
  stop_.PLTSet();
  acceptThread_.join();
  ::close(listenFd_);
  listenFd_ = -1;

  std::list<std::unique_ptr<TConnection>> connections;
  {
    std::lock_guard lock(mutex_);
    for (const auto& c : connections_) c->socket->PLTShutdown();
    connections.swap(connections_);
    current_.reset();
  }
  for (const auto& c : connections) c->thread.join();
  stop_.PLTReset();
  active_ = false;
  boundPort_ = 0;
}

std::shared_ptr<TPLTStreamSocket> TPLTTcpServer::PLTCurrentConnection() const {
  std::lock_guard lock(mutex_);
  return current_;
}

void TPLTTcpServer::PLTShutdownConnections() {
  std::lock_guard lock(mutex_);
  for (const auto& c : connections_) c->socket->PLTShutdown();
}

size_t TPLTTcpServer::PLTConnectionCount() const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const auto& c : connections_)
    if (!c->finished.load()) ++n;
  return n;
}

void TPLTTcpServer::ReapFinished() {
  std::vector<std::unique_ptr<TConnection>> done;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->finished.load()) {
        done.push_back(std::move(*it));
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const auto& c : done) c->thread.join();
  if (done.empty()) return;
  done.clear();
  // The connections' buffers are free now: hand the memory back to the
  // system rather than keep it in the allocator's thread arenas.
  malloc_trim(0);
}

void TPLTTcpServer::AcceptLoop() {
  pollfd fds[3] = {{listenFd_, POLLIN, 0}, {stop_.PLTFd(), POLLIN, 0}, {ended_.PLTFd(), POLLIN, 0}};
  for (;;) {
    // Reset before reaping: a connection that ends meanwhile raises it again.
    ended_.PLTReset();
    ReapFinished();
    fds[0].revents = fds[1].revents = fds[2].revents = 0;
    const int rc = ::poll(fds, 3, -1);
    if (rc < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if (rc <= 0 || fds[0].revents == 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      StartConnection(fd);
    } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      // Out of descriptors or memory: wait a little (or for the stop)
      // instead of spinning on the pending connection.
      pollfd stop{stop_.PLTFd(), POLLIN, 0};
      if (::poll(&stop, 1, 100) > 0) return;
    }
  }
}

void TPLTTcpServer::StartConnection(int fd) {
  if (const size_t served = PLTConnectionCount(); served >= PLTcMaxConnections) {
    if (refused_) refused_(served);
    ::close(fd);
    return;
  }
  auto connection = std::make_unique<TConnection>();
  connection->socket = std::make_shared<TPLTStreamSocket>(fd, nextId_++);
  TConnection& c = *connection;
  std::lock_guard lock(mutex_);
  try {
    c.thread = std::thread([this, &c] { RunConnection(c); });
  } catch (const std::system_error&) {
    return;  // the socket closes with the record: the peer sees the connection end
  }
  current_ = c.socket;
  connections_.push_back(std::move(connection));
}

void TPLTTcpServer::RunConnection(TConnection& c) {
  // The record is in the list before this runs: StartConnection holds the
  // lock while it starts the thread and adds the record.
  std::unique_ptr<IPLTConnectionHandler> handler;
  if (factory_) handler = factory_(c.socket);
  if (handler) {
    handler->PLTOnConnect();
    while (c.socket->PLTConnected() && !stopping_.load()) {
      if (const int code = handler->PLTOnExecute(); code != 0) {
        handler->PLTOnException(code, PLTSocketErrorText(code));
        break;
      }
    }
  }
  c.socket->PLTShutdown();
  // No longer the responder before the handler reports the end, so that
  // nobody who saw the report still finds it current.
  {
    std::lock_guard lock(mutex_);
    if (current_ == c.socket) current_.reset();
  }
  if (handler) handler->PLTOnDisconnect();
  handler.reset();
  c.finished.store(true);
  ended_.PLTSet();
}

}  // namespace kal
