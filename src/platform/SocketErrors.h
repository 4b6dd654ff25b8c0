#pragma once

#include <string>

namespace kal {

// The program reports socket failures with the Windows socket error codes
// (10004 ... 11004) and their texts. POSIX errors and address-lookup results
// are mapped onto those codes here.

// Code of a failure with no counterpart among the Windows socket codes; its
// text is the one of every unlisted code.
constexpr int PLTcOtherSocketError = 10000;

// Codes used by name.
constexpr int PLTcSocketCancelled = 10004;          // a blocking call was cancelled
constexpr int PLTcSocketInvalidArgument = 10022;    // e.g. a port outside 1..65535
constexpr int PLTcSocketAddressRequired = 10039;    // neither host nor address given
constexpr int PLTcSocketAddressInUse = 10048;       // the port has a listener already
constexpr int PLTcSocketAddressNotValid = 10049;    // a numeric address that does not parse
constexpr int PLTcSocketConnectionReset = 10054;    // the peer reset the connection
constexpr int PLTcSocketNotConnected = 10057;       // no connection to send on
constexpr int PLTcSocketTimedOut = 10060;           // connect or send made no progress in time
constexpr int PLTcSocketConnectionRefused = 10061;  // nothing listens on the port

// The code of a POSIX error number (errno); 0 gives 0, an error without
// counterpart PLTcOtherSocketError.
int PLTSocketCodeFromErrno(int err);

// The code of a getaddrinfo result; `err` is errno after the call (used for
// EAI_SYSTEM). 0 gives 0.
int PLTSocketCodeFromLookup(int lookupResult, int err);

// The text of a code: empty for 0, "other socket error" for a code outside
// the table.
std::string PLTSocketErrorText(int code);

// The system's text of an error number (strerror, thread-safe).
std::string PLTSystemErrorText(int err);

// The calling thread's last system error as the socket layer records it for
// the user: a code (a Windows socket code) and the system's text of the
// failure behind it. Stands in for the thread's last-error value; code 0
// means none.
void PLTSetLastSystemError(int code, std::string text);
int PLTGetLastSystemError(std::string& text);

}  // namespace kal
