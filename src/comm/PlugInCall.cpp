#include "comm/PlugInCall.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "comm/Frame.h"
#include "comm/Timeout.h"
#include "platform/Socket.h"
#include "platform/SocketErrors.h"
#include "support/HexUtilities.h"

namespace kal {

namespace {

using Clock = std::chrono::steady_clock;

// The code (and text) of a reply the plug-in ended before it was whole.
constexpr int kPeerClosed = 10101;

// Reads exactly `n` bytes, waiting until `deadline`. 0, or the socket code
// of why fewer came (time-out, orderly end, failure); `out` holds what came.
int ReadExactly(TPLTStreamSocket& socket, size_t n, Clock::time_point deadline, std::string& out) {
  out.clear();
  char buffer[64 * 1024];
  while (out.size() < n) {
    size_t got = 0;
    int code = 0;
    const TPLTReceive r = socket.PLTReceive(buffer, std::min(sizeof buffer, n - out.size()),
                                            TIMMillisecondsUntil(deadline), got, code);
    if (r == TPLTReceive::kData) {
      out.append(buffer, got);
    } else if (r == TPLTReceive::kTimeout) {
      return PLTcSocketTimedOut;
    } else if (r == TPLTReceive::kClosed) {
      return kPeerClosed;
    } else {
      return code != 0 ? code : PLTcOtherSocketError;
    }
  }
  return 0;
}

// Reads the reply: its length bytes, then the body they announce. 0 with
// `body` set, or a result and its text.
int32_t PLGWaitForServerResponse(TPLTStreamSocket& socket, int timeoutMs, std::string& body,
                                 std::string& errorText) {
  const auto wait = std::chrono::milliseconds(std::max(timeoutMs, 0));
  std::string header;
  int code = ReadExactly(socket, PLGcLengthBytes, Clock::now() + wait, header);
  if (code == 0) {
    const uint32_t length = PLGStringToLength(header);
    if (length > PLGcMaxReplyLength) {
      errorText = "TCP IP error on plugin communication: " + THFFrameTooLongText(length);
      return PLGcReadError;
    }
    code = ReadExactly(socket, length, Clock::now() + wait, body);
  } else if (header.empty() && (code == PLTcSocketTimedOut || code == kPeerClosed)) {
    errorText = "Error while waiting for length bytes from plug in";
    return PLGcNoLengthBytes;
  }
  if (code != 0) {
    errorText = "TCP IP error on plugin communication: " + PLTSocketErrorText(code);
    return PLGcReadError;
  }
  return 0;
}

// Connects to the plug-in. 0 with `socket` set, or a socket code.
int ConnectPlugIn(const std::string& address, int32_t port, int timeoutMs,
                  std::unique_ptr<TPLTStreamSocket>& socket) {
  if (port < 1 || port > 65535) return PLTcSocketInvalidArgument;
  in_addr a{};
  if (!PLTParseIPv4(address, a)) {
    std::string systemText;
    if (const int rc = PLTResolveIPv4(address, a, systemText); rc != 0) return rc;
  }
  const TPLTWakeEvent never;
  int fd = -1;
  if (const int rc = PLTConnect(a, static_cast<uint16_t>(port), never, fd, std::max(timeoutMs, 0));
      rc != 0)
    return rc;
  socket = std::make_unique<TPLTStreamSocket>(fd, 0);
  return 0;
}

}  // namespace

uint32_t PLGStringToLength(std::string_view bytes) {
  return THFLengthOf(bytes);
}

bool PLGXMLDocToStream(std::string_view aXMLDoc, std::string_view sVersionNumber,
                       std::string_view sSpecVersionNumber, int32_t iEncoding, std::string& aBuf) {
  if (sVersionNumber.size() != 1 || sSpecVersionNumber.size() != 2) return false;
  if (aXMLDoc.size() > UINT32_MAX - 4) return false;
  aBuf = THFLengthBytes(static_cast<uint32_t>(aXMLDoc.size() + 4));
  aBuf.reserve(aXMLDoc.size() + 8);
  aBuf += sVersionNumber;
  aBuf += sSpecVersionNumber;
  aBuf += static_cast<char>(iEncoding);
  aBuf += aXMLDoc;
  return true;
}

bool PLGStreamToXMLDoc(std::string_view aBuf, std::string& sVersionNumber,
                       std::string& sSpecVersionNumber, int32_t& iEncoding, std::string& aXMLDoc) {
  if (aBuf.size() < 4) return false;
  // Built as new strings and moved in: assigning a short string in place
  // trips a false -Wrestrict warning of GCC 12.
  sVersionNumber = std::string(1, aBuf[0]);
  sSpecVersionNumber = std::string{aBuf[1], aBuf[2]};
  iEncoding = static_cast<unsigned char>(aBuf[3]);
  aXMLDoc = std::string(aBuf.substr(4));
  return true;
}

int32_t PLGRunPlugin(const TCFGConfig& config, int32_t iEncoding, const std::string& sXMLDoc,
                     std::string& sXMLDocNew, std::string& sErrorText) {
  sErrorText.clear();
  sXMLDocNew = sXMLDoc;
  const bool out = iEncoding == PLGcEncodingOutMessage;
  const std::string address =
      out ? config.CFGGetPluginOutIPAddress() : config.CFGGetPluginInIPAddress();
  const int32_t port = out ? config.CFGGetPluginOutIPPort() : config.CFGGetPluginInIPPort();
  const int32_t active = out ? config.CFGGetActivatePluginOut() : config.CFGGetActivatePluginIn();
  if (active == 0) return 0;

  const int timeoutMs = config.CFGGetServerResponseTimeout();
  auto connectionError = [&](const std::string& message) {
    sErrorText = "Connection error on plugin call to " + address + "/" + std::to_string(port) +
                 " :" + message;
    return PLGcConnectionError;
  };
  std::string request;
  if (!PLGXMLDocToStream(sXMLDoc, " ", std::string("\x03\x00", 2), iEncoding, request))
    return connectionError("Doc to stream conversion failed: " + sXMLDoc);
  std::unique_ptr<TPLTStreamSocket> socket;
  if (const int rc = ConnectPlugIn(address, port, timeoutMs, socket); rc != 0)
    return connectionError(PLTSocketErrorText(rc));
  // The socket closes when it goes out of scope: the call always disconnects.
  if (const int rc = socket->PLTSend(request); rc != 0)
    return connectionError(PLTSocketErrorText(rc));

  std::string body;
  if (const int32_t rc = PLGWaitForServerResponse(*socket, timeoutMs, body, sErrorText); rc != 0)
    return rc;
  std::string version, specVersion, document;
  int32_t status = 0;
  if (!PLGStreamToXMLDoc(body, version, specVersion, status, document)) {
    sErrorText = "Illegal response received from plug in: " + UTHStringToHex(body);
    return PLGcIllegalResponse;
  }
  if (status == PLGcEncodingError) {
    sErrorText = "Plug in error detected, see log of plug in";
    return PLGcPluginError;
  }
  sXMLDocNew = std::move(document);
  return 0;
}

}  // namespace kal
