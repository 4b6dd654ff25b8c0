#include "platform/ExternalContent.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>

namespace kal {

namespace {

TPLTRetrievalResult Failure(const std::string& reason, const std::string& where) {
  TPLTRetrievalResult r;
  r.sError = reason + ": " + where;
  return r;
}

TPLTRetrievalResult Success(std::string content) {
  TPLTRetrievalResult r;
  r.bOk = true;
  r.sContent = std::move(content);
  return r;
}

std::string TooLarge(std::size_t cap) {
  return "Content exceeds " + std::to_string(cap) + " bytes";
}

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

std::string OpenError(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return "File not found";
    case EACCES:
    case EPERM:
      return "Access denied";
    default:
      return std::string("Cannot read file (") + std::strerror(err) + ")";
  }
}

}  // namespace

TPLTRetrievalResult PLTGetLocalFile(const std::string& sPath, const TPLTRetrievalLimits& limits) {
  if (sPath.find('\0') != std::string::npos) return Failure("Invalid file name", sPath);
  // Look before opening: opening a device can have effects of its own.
  struct stat st {};
  if (::stat(sPath.c_str(), &st) != 0) return Failure(OpenError(errno), sPath);
  if (!S_ISREG(st.st_mode)) return Failure("Not a regular file", sPath);
  // O_NONBLOCK keeps the open from waiting should the path have been
  // replaced by a FIFO in the meantime; fstat then checks what was opened.
  const int fd = ::open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Failure(OpenError(errno), sPath);
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  if (::fstat(fd, &st) != 0) return Failure(OpenError(errno), sPath);
  if (!S_ISREG(st.st_mode)) return Failure("Not a regular file", sPath);

  const std::size_t cap = limits.nMaxBytes;
  if (static_cast<unsigned long long>(st.st_size) > cap) return Failure(TooLarge(cap), sPath);
  // The file may grow while it is read: read one byte past the cap at most.
  const std::size_t want = cap == std::numeric_limits<std::size_t>::max() ? cap : cap + 1;
  std::string content;
  content.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  while (content.size() < want) {
    const ssize_t n = ::read(fd, buf, std::min(sizeof buf, want - content.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failure(std::string("Cannot read file (") + std::strerror(errno) + ")", sPath);
    }
    if (n == 0) break;
    content.append(buf, static_cast<std::size_t>(n));
  }
  if (content.size() > cap) return Failure(TooLarge(cap), sPath);
  return Success(std::move(content));
}

std::string PLTNormalizeURL(std::string_view sURL) {
  auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!sURL.empty() && isTrimmed(sURL.front())) sURL.remove_prefix(1);
  while (!sURL.empty() && isTrimmed(sURL.back())) sURL.remove_suffix(1);
  std::string out;
  out.reserve(sURL.size());
  for (std::size_t i = 0; i < sURL.size(); ++i) {
    if (sURL[i] != ' ') {
      out += sURL[i];
      continue;
    }
    while (i + 1 < sURL.size() && sURL[i + 1] == ' ') ++i;
    out += '_';
  }
  return out;
}

namespace {

struct TDownloadSink {
  std::string content;
  std::size_t cap = 0;
  bool overflow = false;
};

// libcurl's body callback: a return value other than the size given aborts
// the transfer, which is how a body running past the cap is stopped.
std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* sink = static_cast<TDownloadSink*>(user);
  const std::size_t n = size * count;
  if (n > sink->cap - sink->content.size()) {
    sink->overflow = true;
    return 0;
  }
  sink->content.append(data, n);
  return n;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Protocols downloads may use, "http,ftp" plus "https" when libcurl was
// built with TLS. Empty when libcurl could not be initialised.
const std::string& AllowedProtocols() {
  static std::once_flag once;
  static std::string protocols;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return;
    protocols = "http,ftp";
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    for (const char* const* p = info ? info->protocols : nullptr; p && *p; ++p) {
      if (std::strcmp(*p, "https") == 0) protocols += ",https";
    }
  });
  return protocols;
}

}  // namespace

TPLTRetrievalResult PLTDownloadFile(const std::string& sURL, const TPLTRetrievalLimits& limits) {
  const std::string url = PLTNormalizeURL(sURL);
  const std::string& protocols = AllowedProtocols();
  if (protocols.empty()) return Failure("Network library could not be initialised", url);
  const bool https = protocols.find("https") != std::string::npos;
  if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "ftp://") &&
      !(https && StartsWithNoCase(url, "https://"))) {
    return Failure(https ? "Unsupported address (http://, https://, ftp:// only)"
                         : "Unsupported address (http://, ftp:// only)",
                   url);
  }
  if (std::any_of(url.begin(), url.end(), IsControl)) {
    std::string shown = url;  // keeps the error text on one line
    std::replace_if(shown.begin(), shown.end(), IsControl, '?');
    return Failure("Invalid characters in address", shown);
  }

  CURL* curl = curl_easy_init();
  if (curl == nullptr) return Failure("Network library could not be initialised", url);
  const long connectMs = std::max(1L, limits.iConnectTimeoutMs);
  const long totalMs = std::max(1L, limits.iTotalTimeoutMs);
  TDownloadSink sink;
  sink.cap = limits.nMaxBytes;
  char detail[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, protocols.c_str());
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, protocols.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");  // direct, whatever the environment says
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs);
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  // libcurl reads 0 as "no limit"; an empty cap is left to the body callback.
  if (sink.cap > 0) {
    const auto maxSize = static_cast<curl_off_t>(
        std::min<unsigned long long>(sink.cap, std::numeric_limits<curl_off_t>::max()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, maxSize);
  }
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);

  const CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_off_t connectedAfter = 0;
  curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectedAfter);
  curl_easy_cleanup(curl);

  if (rc == CURLE_OK) return Success(std::move(sink.content));
  if (sink.overflow || rc == CURLE_FILESIZE_EXCEEDED) return Failure(TooLarge(sink.cap), url);
  switch (rc) {
    case CURLE_HTTP_RETURNED_ERROR:
      return Failure("HTTP error " + std::to_string(status), url);
    case CURLE_OPERATION_TIMEDOUT: {
      // Before a connection stands the earlier of both limits has passed.
      const long ms = connectedAfter == 0 ? std::min(connectMs, totalMs) : totalMs;
      return Failure("Time-out after " + std::to_string(ms) + " ms", url);
    }
    case CURLE_REMOTE_FILE_NOT_FOUND:
      return Failure("File not found", url);
    case CURLE_TOO_MANY_REDIRECTS:
      return Failure("Too many redirects", url);
    default:
      return Failure(std::string("Download failed (") +
                         (detail[0] != '\0' ? detail : curl_easy_strerror(rc)) + ")",
                     url);
  }
}

}  // namespace kal
