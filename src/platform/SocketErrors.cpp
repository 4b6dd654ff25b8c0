#include "platform/SocketErrors.h"

#include <netdb.h>

#include <cerrno>
#include <cstring>

namespace kal {

namespace {

struct TCodeText {
  int code;
  const char* text;
};

// Texts as the program has always shown them, spelling included.
constexpr TCodeText kTexts[] = {
    {10004, "Interrupted Function Call -- A blocking operation was cancelled"},
    {10013,
     "Permission Denied -- An attempt to access a socket was forbidden by its access "
     "permissions."},
    {10014, "Bad Address -- An invalid pointer address was specified in a function call."},
    {10022, "Invalid Argument -- An invalid argument was passed to a function."},
    {10024, "Too Many Open Files -- There are too many open sockets."},
    {10035,
     "Resource Temporarily Unavailable -- The specified socket operation cannot be completed "
     "immediately, but the operation should be retried later."},
    {10036, "Operation Now in Progress -- A blocking operation is currently executing."},
    {10037,
     "Operation Already in Progress -- An operation was attempted on a non-binding socket that "
     "alredy had an operation in progress."},
    {10038,
     "Socket Operation on Non-Socket -- An operation was attempted on something that is not a "
     "socket."},
    {10039,
     "Destination Address Required -- A required address was omitted from a socket operation."},
    {10040,
     "Message Too Long -- A message was sent on a datagram socket that exceeds the internal "
     "message buffer or some other limit."},
    {10041,
     "Protocol Wrong Type for Socket -- A protocol was specified that is not supported by the "
     "target socket."},
    {10042,
     "Bad Protocol Option -- An unknown, invalid, or unsupported protocol option or leel was "
     "specified."},
    {10043,
     "Protocol Not Supported -- The specified protocol is not supported or is not implemented."},
    {10044,
     "Socket Type Not Supported -- The specified socket type is not supported in the address "
     "family."},
    {10045,
     "Operation Not Supported -- The specified operation is not supported by the referenced "
     "object."},
    {10046,
     "Protocol Family Not Supported -- The specified protocol family is not supported or is not "
     "implemented."},
    {10047,
     "Address Family Not Supported by Protocol Family -- An address incompatible with the "
     "requested network protocol was used."},
    {10048,
     "Address Already in Use -- An attempt to use the same IP address and port with two "
     "different sockets simultaneously was made."},
    {10049,
     "Cannot Assign Requested Address -- The requested address is not valid (given the context "
     "of the function}."},
    {10050, "Network is Down -- A socket operation encountered a network that is down."},
    {10051, "Network is Unreachable -- A socket operation encountered an unreachable network."},
    {10052,
     "Network Dropped Connection on Reset -- A connection was broken due to \"keep-alive\" "
     "activity detecting a failure."},
    {10053,
     "Software Caused Connection Abort -- A connection was aborted by software on the host "
     "computer."},
    {10054, "Connection Reset by Peer -- A connection was forcibly closed by the remote host."},
    {10055,
     "No Buffer Space Available -- A socket operation could not be performed because the system "
     "ran out of buffer space or the queue was full."},
    {10056,
     "Socket is Already Connected -- A connect request was made on a socket that is already "
     "connected."},
    {10057,
     "Socket is Not Connected -- An attempt to send or receive data failed because the socket "
     "is not connected."},
    {10058,
     "Cannot Send After Socket Shutdown -- An attempt to send or receive data failed because "
     "the socket has already been shut down."},
    {10060, "Connection Timed Out -- The remote host failed to respond within the timeout period."},
    {10061,
     "Connection Refused -- The target machine actively refused the attempt to connect to it."},
    {10064, "Host is Down -- The destination host is down."},
    {10065, "No Route to Host -- The destination host is unreachable."},
    {10067,
     "Too Many Processes -- The Winsock implementation has exceeded the number of applications "
     "that can use it simultaneously."},
    {10091,
     "Network Subsystem is Unavailable -- The underlying system to provide network services is "
     "unavailable."},
    {10092,
     "winsock.dll Version Out of Range -- The Winsock implementation does not support the "
     "requested Winsock version."},
    {10093,
     "Successful WSAStartup Not Yet Performed -- The calling application has not successfully "
     "called WSAStartup to initiate a Winsock session."},
    {10101,
     "Graceful Shutdown in Progress -- The remote party has initiated a graceful shutdown "
     "sequence."},
    {10109, "Class Type Not Found -- The specified class was not found."},
    {11001, "Host Not Found -- No network host matching the hostname or address was found."},
    {11002,
     "Non-Authoritative Host Not Found -- A temporary error while resolving a hostname occured, "
     "and should be retried later."},
    {11003,
     "This is a Non-Recoverable Error -- Some sort of non-recoverable error occured during a "
     "database lookup."},
    {11004,
     "Valid Name, No Data Record of Requested Type -- The requested name is valid and was found, "
     "but does not have the associated data requested."},
};

struct TErrnoCode {
  int err;
  int code;
};

constexpr TErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},        {EACCES, 10013},          {EPERM, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},          {EMFILE, 10024},
    {ENFILE, 10024},       {EAGAIN, 10035},          {EINPROGRESS, 10036},
    {EALREADY, 10037},     {ENOTSOCK, 10038},        {EBADF, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {EPIPE, 10058},        {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},
};

thread_local int tLastSystemError = 0;
thread_local std::string tLastSystemErrorText;

}  // namespace

int PLTSocketCodeFromErrno(int err) {
  if (err == 0) return 0;
  for (const TErrnoCode& e : kErrnoCodes)
    if (e.err == err) return e.code;
  return PLTcOtherSocketError;
}

int PLTSocketCodeFromLookup(int lookupResult, int err) {
  switch (lookupResult) {
    case 0:
      return 0;
    case EAI_NONAME:
      return 11001;
    case EAI_AGAIN:
      return 11002;
    case EAI_FAIL:
      return 11003;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return 11004;
    case EAI_FAMILY:
      return 10047;
    case EAI_SOCKTYPE:
      return 10044;
    case EAI_SERVICE:
      return 10109;
    case EAI_MEMORY:
      return 10055;
    case EAI_BADFLAGS:
      return 10022;
    case EAI_SYSTEM:
      return err != 0 ? PLTSocketCodeFromErrno(err) : PLTcOtherSocketError;
    default:
      return PLTcOtherSocketError;
  }
}

std::string PLTSocketErrorText(int code) {
  if (code == 0) return {};
  for (const TCodeText& t : kTexts)
    if (t.code == code) return t.text;
  return "other socket error";
}

std::string PLTSystemErrorText(int err) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be in buffer.
  return strerror_r(err, buffer, sizeof buffer);
}

void PLTSetLastSystemError(int code, std::string text) {
  tLastSystemError = code;
  tLastSystemErrorText = std::move(text);
}

int PLTGetLastSystemError(std::string& text) {
  text = tLastSystemErrorText;
  return tLastSystemError;
}

}  // namespace kal
