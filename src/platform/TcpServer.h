#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Socket.h"

namespace kal {

// The work of one server connection. The server makes one handler per
// connection and calls it only on that connection's thread, which owns it.
class IPLTConnectionHandler {
 public:
  virtual ~IPLTConnectionHandler() = default;
  virtual void PLTOnConnect() {}
  // One pass of the connection's work; called again and again while the
  // connection is connected and the server active. A pass should wait for
  // something (data, a wake event) rather than return at once. 0 goes on; a
  // socket code ends the connection after PLTOnException.
  virtual int PLTOnExecute() = 0;
  virtual void PLTOnDisconnect() {}
  virtual void PLTOnException(int code, const std::string& text) {
    (void)code;
    (void)text;
  }
};

// A TCP listener with one thread per accepted connection. The newest
// connection is the current responder, the one a reply goes to; it stops
// being current when it ends, before its handler hears of the end. A
// connection's thread is joined and its socket released as soon as it ends.
// At most PLTcMaxConnections are served at once; a connection beyond them is
// accepted and closed at once.
//
// Threads: configure, activate and deactivate from one thread (the GUI
// thread), never from a handler. PLTCurrentConnection and the counts may be
// read from any thread.
class TPLTTcpServer final {
 public:
  // Makes the handler of a new connection, on that connection's thread;
  // null closes the connection at once.
  using THandlerFactory =
      std::function<std::unique_ptr<IPLTConnectionHandler>(std::shared_ptr<TPLTStreamSocket>)>;

  // Called on the accept thread for each connection closed at once because
  // PLTcMaxConnections are served already.
  using TRefusedHandler = std::function<void(size_t served)>;

  static constexpr size_t PLTcMaxConnections = 256;

  TPLTTcpServer() = default;
  ~TPLTTcpServer();
  TPLTTcpServer(const TPLTTcpServer&) = delete;
  TPLTTcpServer& operator=(const TPLTTcpServer&) = delete;

  // Set while inactive.
  void PLTSetHandlerFactory(THandlerFactory factory) { factory_ = std::move(factory); }
  void PLTSetRefusedHandler(TRefusedHandler handler) { refused_ = std::move(handler); }

  // The port to listen on (0 lets the system choose) and the address to
  // bind ("0.0.0.0", all interfaces, unless set). Taken by the next
  // PLTActivate.
  int PLTGetDefaultPort() const { return defaultPort_; }
  void PLTSetDefaultPort(int port) { defaultPort_ = port; }
  const std::string& PLTGetBindAddress() const { return bindAddress_; }
  void PLTSetBindAddress(std::string address) { bindAddress_ = std::move(address); }

  // Starts listening. 0 (also when active already), or a socket code (port
  // in use 10048, no rights 10013, a port outside 0..65535 10022, ...).
  [[nodiscard]] int PLTActivate();
  // Stops listening, shuts every connection down and joins every thread.
  void PLTDeactivate();
  bool PLTActive() const { return active_; }
  // The port listened on while active.
  uint16_t PLTBoundPort() const { return boundPort_; }

  // The current responder, or null.
  std::shared_ptr<TPLTStreamSocket> PLTCurrentConnection() const;
  // Connections whose thread has not ended yet.
  size_t PLTConnectionCount() const;
  // Shuts every open connection down (their threads end on their own and
  // are joined as usual); the server keeps listening.
  void PLTShutdownConnections();

 private:
  struct TConnection {
    std::shared_ptr<TPLTStreamSocket> socket;
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void AcceptLoop();
  void RunConnection(TConnection& connection);
  void StartConnection(int fd);
  // Joins the threads of connections that have ended. Accept thread only.
  void ReapFinished();
  bool IsOwnThread() const;

  THandlerFactory factory_;
  TRefusedHandler refused_;
  int defaultPort_ = 0;
  std::string bindAddress_ = "0.0.0.0";
  bool active_ = false;
  uint16_t boundPort_ = 0;
  int listenFd_ = -1;
  TPLTWakeEvent stop_;                 // wakes the accept thread
  TPLTWakeEvent ended_;                // a connection ended: reap it
  std::atomic<bool> stopping_{false};  // ends the connection loops
  std::thread acceptThread_;
  uint64_t nextId_ = 1;  // accept thread only

  mutable std::mutex mutex_;  // guards connections_ and current_
  std::list<std::unique_ptr<TConnection>> connections_;
  std::shared_ptr<TPLTStreamSocket> current_;
};

}  // namespace kal
