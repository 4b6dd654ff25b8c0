#include "comm/SocketErrorLatch.h"

#include <mutex>

#include "platform/Socket.h"
#include "platform/SocketErrors.h"

namespace kal {

namespace {

constexpr size_t kMaxSystemText = 100;

std::mutex gLatchMutex;
int gLatchedCode = 0;
std::string gLatchedText;

}  // namespace

void RRSWindowsErrorText(int& code, std::string& text) {
  std::string systemText;
  code = PLTGetLastSystemError(systemText);
  if (code == 0) {
    text.clear();
    return;
  }
  text = "Error " + std::to_string(code) + ": " + systemText.substr(0, kMaxSystemText);
}

void RRSSocketErrorText(int code, std::string& text) {
  text = PLTSocketErrorText(code);
}

void RRSInitSocketError() {
  {
    std::lock_guard lock(gLatchMutex);
    gLatchedCode = 0;
    gLatchedText.clear();
  }
  PLTSetSocketErrorHook(&RRSSocketErrors);
}

void RRSSocketErrors(int code) {
  std::lock_guard lock(gLatchMutex);
  if (gLatchedCode != 0) return;
  gLatchedCode = code;
  gLatchedText = PLTSocketErrorText(code);
}

void RRSGetLastSocketError(int& code, std::string& text) {
  std::lock_guard lock(gLatchMutex);
  code = gLatchedCode;
  text = code != 0 ? gLatchedText : std::string();
  gLatchedCode = 0;
  gLatchedText.clear();
}

}  // namespace kal
