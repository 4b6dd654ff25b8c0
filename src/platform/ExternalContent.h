#pragma once

// Retrieval of external content (DTDs, external entities) from local files
// and from http://, https:// and ftp:// addresses. Every read is bounded in
// size and every download in time.

#include <cstddef>
#include <string>
#include <string_view>

namespace kal {

struct TPLTRetrievalLimits {
  std::size_t nMaxBytes = 10'000'000;  // larger content is an error
  long iConnectTimeoutMs = 10'000;     // network only; values below 1 count as 1
  long iTotalTimeoutMs = 30'000;       // network only; values below 1 count as 1
};

struct TPLTRetrievalResult {
  bool bOk = false;
  std::string sContent;  // the bytes read (empty on failure)
  std::string sError;    // one line of English text on failure, ending in the path or URL
};

// Reads a local file. Only regular files are read: a FIFO, a device, a
// directory or a socket is refused before anything could block on it. The
// path is used exactly as given. Content above nMaxBytes is refused; at most
// nMaxBytes + 1 bytes are ever read.
[[nodiscard]] TPLTRetrievalResult PLTGetLocalFile(const std::string& sPath,
                                                  const TPLTRetrievalLimits& = {});

// Downloads an http://, ftp:// or (when libcurl offers it) https:// address
// after PLTNormalizeURL. Redirects are followed (at most 5, to those schemes
// only); no proxy is used; an HTTP status of 400 or above is a failure; a body
// announced or arriving above nMaxBytes ends the transfer with a failure. Any
// other scheme is refused. Safe to call from several threads at once.
[[nodiscard]] TPLTRetrievalResult PLTDownloadFile(const std::string& sURL,
                                                  const TPLTRetrievalLimits& = {});

// The address as it is downloaded: blanks and control characters trimmed at
// both ends, then every run of blanks inside replaced by a single "_". Case
// is kept.
[[nodiscard]] std::string PLTNormalizeURL(std::string_view sURL);

}  // namespace kal
