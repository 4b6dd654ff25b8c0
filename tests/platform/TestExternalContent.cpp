#include "platform/ExternalContent.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "common/TestSupport.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

// tests/platform/external_content_server.py started with the given
// arguments; killed when the object goes.
class TLoopbackServer {
 public:
  explicit TLoopbackServer(std::vector<std::string> args) : child_(Argv(std::move(args))) {
    const std::string line = child_.Line(10s);
    port_ = std::atoi(line.c_str());
  }
  int port() const { return port_; }

 private:
  static std::vector<std::string> Argv(std::vector<std::string> args) {
    args.insert(args.begin(),
                {KAL_PYTHON, test::SourceDir() + "/tests/platform/external_content_server.py"});
    return args;
  }

  test::ChildProcess child_;
  int port_ = 0;
};

TPLTRetrievalLimits Limits(std::size_t maxBytes, long connectMs = 10'000, long totalMs = 10'000) {
  return TPLTRetrievalLimits{maxBytes, connectMs, totalMs};
}

// ---- local files ---------------------------------------------------------

TEST(ExternalContentLocal, ReadsRegularFileByteForByteKeepingThePathsCase) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("DTDs").c_str(), 0700), 0);
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  const std::string path = dir.file("DTDs/Catalog.DTD");
  test::WriteFile(path, bytes);
  const TPLTRetrievalResult r = PLTGetLocalFile(path);
  EXPECT_TRUE(r.bOk) << r.sError;
  EXPECT_EQ(r.sContent, bytes);
  EXPECT_TRUE(r.sError.empty());

  const std::string lower = dir.file("dtds/catalog.dtd");
  const TPLTRetrievalResult missing = PLTGetLocalFile(lower);
  EXPECT_FALSE(missing.bOk);
  EXPECT_TRUE(missing.sContent.empty());
  EXPECT_EQ(missing.sError, "File not found: " + lower);
  EXPECT_EQ(PLTGetLocalFile(path + "/x").sError, "File not found: " + path + "/x");
}

TEST(ExternalContentLocal, RefusesEverythingButRegularFilesWithoutBlocking) {
  test::TempDir dir;
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", dir.file("zero-link").c_str()), 0);
  for (const std::string& path : {dir.path(), std::string("/dev/zero"), std::string("/dev/null"),
                                  fifo, dir.file("zero-link")}) {
    auto pending = std::async(std::launch::async, [path] { return PLTGetLocalFile(path); });
    if (pending.wait_for(10s) != std::future_status::ready) {
      // Release a reader stuck on the FIFO before failing.
      const int fd = ::open(fifo.c_str(), O_RDWR);
      ::close(fd);
      FAIL() << "blocked on " << path;
    }
    const TPLTRetrievalResult r = pending.get();
    EXPECT_FALSE(r.bOk) << path;
    EXPECT_EQ(r.sError, "Not a regular file: " + path);
  }
}

TEST(ExternalContentLocal, CapIsInclusiveAndHoldsForFilesOfUnknownSize) {
  test::TempDir dir;
  const std::string exact = dir.file("ten");
  const std::string over = dir.file("eleven");
  const std::string empty = dir.file("empty");
  test::WriteFile(exact, "0123456789");
  test::WriteFile(over, "0123456789A");
  test::WriteFile(empty, "");
  EXPECT_EQ(PLTGetLocalFile(exact, Limits(10)).sContent, "0123456789");
  const TPLTRetrievalResult r = PLTGetLocalFile(over, Limits(10));
  EXPECT_FALSE(r.bOk);
  EXPECT_TRUE(r.sContent.empty());
  EXPECT_EQ(r.sError, "Content exceeds 10 bytes: " + over);
  EXPECT_TRUE(PLTGetLocalFile(empty, Limits(0)).bOk);
  EXPECT_EQ(PLTGetLocalFile(exact, Limits(0)).sError, "Content exceeds 0 bytes: " + exact);

  // Files under /proc report size 0 yet have content: the bound must come
  // from reading, not from the size the file system reports.
  const TPLTRetrievalResult proc = PLTGetLocalFile("/proc/self/status");
  EXPECT_TRUE(proc.bOk) << proc.sError;
  EXPECT_EQ(proc.sContent.rfind("Name:", 0), 0u);
  EXPECT_EQ(PLTGetLocalFile("/proc/self/status", Limits(10)).sError,
            "Content exceeds 10 bytes: /proc/self/status");
}

// ---- addresses -------------------------------------------------------------

TEST(ExternalContentURL, NormalizeTrimsAndJoinsInnerBlanksKeepingCase) {
  EXPECT_EQ(PLTNormalizeURL("  http://Host/A  B C.dtd \t\r\n"), "http://Host/A_B_C.dtd");
  EXPECT_EQ(PLTNormalizeURL("FTP://h/x"), "FTP://h/x");
  EXPECT_EQ(PLTNormalizeURL("a\tb"), "a\tb");
  EXPECT_EQ(PLTNormalizeURL(" \t "), "");
  EXPECT_EQ(PLTNormalizeURL(""), "");
}

TEST(ExternalContentURL, RefusesOtherSchemesAndControlCharacters) {
  for (const std::string url : {"file:///etc/hostname", "/etc/hostname", "gopher://127.0.0.1/", "",
                                "httpx://127.0.0.1/", "http:/127.0.0.1/"}) {
    const TPLTRetrievalResult r = PLTDownloadFile(url);
    EXPECT_FALSE(r.bOk) << url;
    EXPECT_TRUE(r.sContent.empty());
    EXPECT_EQ(r.sError.rfind("Unsupported address (", 0), 0u) << r.sError;
  }
  EXPECT_EQ(PLTDownloadFile("http://127.0.0.1/a\nb").sError,
            "Invalid characters in address: http://127.0.0.1/a?b");
}

TEST(ExternalContentURL, ClosedPortsFailWithATextNamingTheAddress) {
  for (const char* scheme : {"http", "ftp"}) {
    const std::string url =
        std::string(scheme) + "://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/x.dtd";
    const TPLTRetrievalResult r = PLTDownloadFile(url, Limits(1000, 2000, 5000));
    EXPECT_FALSE(r.bOk);
    EXPECT_EQ(r.sError.rfind("Download failed (", 0), 0u) << r.sError;
    EXPECT_EQ(r.sError.substr(r.sError.size() - url.size() - 3), "): " + url);
  }
}

// ---- HTTP ------------------------------------------------------------------

class ExternalContentHttp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<TLoopbackServer>(std::vector<std::string>{"http"});
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { ASSERT_GT(server_->port(), 0) << "HTTP server did not start"; }
  static std::string Url(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(server_->port()) + path;
  }
  static inline std::unique_ptr<TLoopbackServer> server_;
};

const std::string kDoc = "<!ENTITY Greeting \"Hello\">\n";

TEST_F(ExternalContentHttp, DownloadsBodyAfterNormalisingAndFollowingRedirects) {
  EXPECT_EQ(PLTDownloadFile(Url("/Entities/Doc.ent")).sContent, kDoc);
  EXPECT_EQ(PLTDownloadFile("HTTP" + Url("/Entities/Doc.ent").substr(4)).sContent, kDoc);
  EXPECT_EQ(PLTDownloadFile(Url("/entities/doc.ent")).sError,
            "HTTP error 404: " + Url("/entities/doc.ent"));
  const TPLTRetrievalResult spaced = PLTDownloadFile("  " + Url("/a  b c.ent") + " ");
  EXPECT_TRUE(spaced.bOk) << spaced.sError;
  EXPECT_EQ(spaced.sContent, "normalised");
  const TPLTRetrievalResult moved = PLTDownloadFile(Url("/moved"));
  EXPECT_TRUE(moved.bOk) << moved.sError;
  EXPECT_EQ(moved.sContent, kDoc);
}

TEST_F(ExternalContentHttp, ErrorStatusesRedirectLoopsAndForeignRedirectsFail) {
  const TPLTRetrievalResult forbidden = PLTDownloadFile(Url("/forbidden"));
  EXPECT_FALSE(forbidden.bOk);
  EXPECT_TRUE(forbidden.sContent.empty());
  EXPECT_EQ(forbidden.sError, "HTTP error 403: " + Url("/forbidden"));
  EXPECT_EQ(PLTDownloadFile(Url("/loop")).sError, "Too many redirects: " + Url("/loop"));
  const TPLTRetrievalResult toFile = PLTDownloadFile(Url("/to-file"));
  EXPECT_FALSE(toFile.bOk);
  EXPECT_TRUE(toFile.sContent.empty());
  EXPECT_NE(toFile.sError.find(Url("/to-file")), std::string::npos) << toFile.sError;
}

// Each oversized body is followed by a 30 s stall on the server: a client
// that waited for the end instead of stopping at the cap would report a
// time-out instead.
TEST_F(ExternalContentHttp, BodyAboveTheCapIsRefusedAnnouncedOrNot) {
  const TPLTRetrievalResult exact = PLTDownloadFile(Url("/sized?n=100"), Limits(100));
  EXPECT_TRUE(exact.bOk) << exact.sError;
  EXPECT_EQ(exact.sContent, std::string(100, 'x'));
  EXPECT_EQ(PLTDownloadFile(Url("/sized?n=101"), Limits(100)).sError,
            "Content exceeds 100 bytes: " + Url("/sized?n=101"));
  EXPECT_EQ(PLTDownloadFile(Url("/sized?n=1"), Limits(0)).sError,
            "Content exceeds 0 bytes: " + Url("/sized?n=1"));
  for (const std::string path :
       {"/announced?n=100000000", "/unannounced?n=5000", "/chunked?n=5000"}) {
    const TPLTRetrievalResult r = PLTDownloadFile(Url(path), Limits(1000, 5000, 8000));
    EXPECT_FALSE(r.bOk);
    EXPECT_TRUE(r.sContent.empty());
    EXPECT_EQ(r.sError, "Content exceeds 1000 bytes: " + Url(path));
  }
}

TEST_F(ExternalContentHttp, SilentServerEndsInTimeOut) {
  const auto start = std::chrono::steady_clock::now();
  const TPLTRetrievalResult r = PLTDownloadFile(Url("/silent"), Limits(1000, 2000, 1500));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_FALSE(r.bOk);
  EXPECT_EQ(r.sError, "Time-out after 1500 ms: " + Url("/silent"));
}

TEST_F(ExternalContentHttp, IgnoresProxyFromTheEnvironment) {
  const std::string dead = "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort());
  ::setenv("http_proxy", dead.c_str(), 1);
  ::setenv("ALL_PROXY", dead.c_str(), 1);
  const TPLTRetrievalResult r = PLTDownloadFile(Url("/Entities/Doc.ent"));
  ::unsetenv("http_proxy");
  ::unsetenv("ALL_PROXY");
  EXPECT_TRUE(r.bOk) << r.sError;
}

TEST_F(ExternalContentHttp, ConcurrentDownloadsEachGetTheirOwnBody) {
  std::vector<std::future<bool>> runs;
  for (int t = 0; t < 4; ++t) {
    runs.push_back(std::async(std::launch::async, [t] {
      bool ok = true;
      for (int i = 0; i < 5; ++i) {
        const std::size_t n = 1000 * static_cast<std::size_t>(t) + static_cast<std::size_t>(i);
        const auto r = PLTDownloadFile(Url("/sized?n=" + std::to_string(n)));
        ok = ok && r.bOk && r.sContent == std::string(n, 'x');
      }
      return ok;
    }));
  }
  for (auto& run : runs) EXPECT_TRUE(run.get());
}

// ---- FTP -------------------------------------------------------------------

TEST(ExternalContentFtp, DownloadsFilesAndReportsMissingAndOversizedOnes) {
  test::TempDir dir;
  test::WriteFile(dir.file("Doc.ent"), kDoc);
  test::WriteFile(dir.file("big.bin"), std::string(200, 'b'));
  TLoopbackServer server({"ftp", dir.path()});
  ASSERT_GT(server.port(), 0) << "FTP server did not start";
  const std::string base = "ftp://127.0.0.1:" + std::to_string(server.port());
  const TPLTRetrievalResult r = PLTDownloadFile(base + "/Doc.ent");
  EXPECT_TRUE(r.bOk) << r.sError;
  EXPECT_EQ(r.sContent, kDoc);
  EXPECT_EQ(PLTDownloadFile(base + "/doc.ent").sError, "File not found: " + base + "/doc.ent");
  EXPECT_EQ(PLTDownloadFile(base + "/big.bin", Limits(100)).sError,
            "Content exceeds 100 bytes: " + base + "/big.bin");
  EXPECT_EQ(PLTDownloadFile(base + "/big.bin", Limits(200)).sContent, std::string(200, 'b'));
}

}  // namespace
}  // namespace kal
