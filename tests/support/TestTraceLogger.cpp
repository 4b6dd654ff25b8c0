#include "support/TraceLogger.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <thread>

#include "common/TestSupport.h"

namespace kal {
namespace {

namespace fs = std::filesystem;

// The lines of a trace file; every line must end with CR LF.
std::vector<std::string> FileLines(const std::string& path) {
  const std::string text = test::ReadFile(path);
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t eol = text.find("\r\n", pos);
    if (eol == std::string::npos) {
      ADD_FAILURE() << path << ": last line without CR LF";
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, eol - pos));
    pos = eol + 2;
  }
  return lines;
}

// "dd.MM.yyyy HH:mm:ss"
bool IsTimeText(std::string_view t) {
  const std::string_view shape = "00.00.0000 00:00:00";
  if (t.size() != shape.size()) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    if (shape[i] == '0' ? (t[i] < '0' || t[i] > '9') : t[i] != shape[i]) return false;
  }
  return true;
}

// A formatted line: " <time>    <label padded to 40><value>". Gives the
// label (padding removed) and the value; false when the shape is wrong.
bool SplitFormatted(const std::string& line, std::string& label, std::string& value) {
  if (line.size() < 64 || line[0] != ' ' || !IsTimeText(std::string_view(line).substr(1, 19)) ||
      line.compare(20, 4, "    ") != 0)
    return false;
  label = line.substr(24, 40);
  while (!label.empty() && label.back() == ' ') label.pop_back();
  value = line.substr(64);
  return true;
}

// A simple line: "<time>\t\t\t<text>".
bool SplitSimple(const std::string& line, std::string& text) {
  if (line.size() < 22 || !IsTimeText(std::string_view(line).substr(0, 19)) ||
      line.compare(19, 3, "\t\t\t") != 0)
    return false;
  text = line.substr(22);
  return true;
}

// ---- Line formats -------------------------------------------------------------

TEST(TraceLogger, FormattedLinePadsTimeAndLabel) {
  const std::string line = TTDBDebug::TDBFormatLine("01.02.2026 03:04:05", "label", "value");
  EXPECT_EQ(line, " 01.02.2026 03:04:05    label" + std::string(35, ' ') + "value");
  EXPECT_EQ(line.substr(0, 24).size(), 24u);
  EXPECT_EQ(line.find("value"), 64u);
}

TEST(TraceLogger, LongLabelIsNotCut) {
  const std::string label(45, 'L');
  const std::string line = TTDBDebug::TDBFormatLine("01.02.2026 03:04:05", label, "v");
  EXPECT_EQ(line, " 01.02.2026 03:04:05    " + label + "v");
}

TEST(TraceLogger, SimpleLineHasThreeTabs) {
  EXPECT_EQ(TTDBDebug::TDBFormatSimpleLine("01.02.2026 03:04:05", "TForm1"),
            "01.02.2026 03:04:05\t\t\tTForm1");
}

// ---- Ids ------------------------------------------------------------------------

TEST(TraceLogger, EnableAllIdMarksEveryId) {
  TTDBDebug log;
  EXPECT_EQ(log.TDBValidID(0), 0);
  log.TDBEnableAllID();
  for (int i = 0; i < 81; ++i) EXPECT_EQ(log.TDBValidID(i), i + 1);
  EXPECT_EQ(log.TDBValidID(81), 0);
  EXPECT_EQ(log.TDBValidID(-1), 0);
}

// ---- Files ------------------------------------------------------------------------

TEST(TraceLogger, FileNamesGetTheNumberBeforeTheExtension) {
  test::TempDir dir;
  TTDBDebug log;
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  EXPECT_EQ(log.TDBCurrentFileName(), dir.file("DEBUG1.TXT"));
  EXPECT_TRUE(fs::exists(dir.file("DEBUG1.TXT")));
  EXPECT_EQ(fs::file_size(dir.file("DEBUG1.TXT")), 0u);
  EXPECT_FALSE(fs::exists(dir.file("DEBUG.TXT")));

  fs::create_directory(dir.file("a.b"));
  log.TDBLogToFile(dir.file("a.b/trace"));
  EXPECT_EQ(log.TDBCurrentFileName(), dir.file("a.b/trace1"));
  EXPECT_TRUE(fs::exists(dir.file("a.b/trace1")));
}

TEST(TraceLogger, LogToFileEmptiesAnExistingFile) {
  test::TempDir dir;
  test::WriteFile(dir.file("DEBUG1.TXT"), "old line\r\n");
  TTDBDebug log;
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  EXPECT_EQ(fs::file_size(dir.file("DEBUG1.TXT")), 0u);
}

TEST(TraceLogger, LinesGoToTheFileOnlyWhileEnabled) {
  test::TempDir dir;
  TTDBDebug log;
  log.TDBEnableAllID();
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBAddString(1, 1, "before", "enabling");
  log.TDBEnableLogToFile(true);
  log.TDBAddString(3, 99, "Send", "data");
  log.TDBSimpleAddString("TForm1");
  log.TDBEnableLogToFile(false);
  log.TDBAddString(1, 1, "after", "disabling");
  const auto lines = FileLines(dir.file("DEBUG1.TXT"));
  ASSERT_EQ(lines.size(), 2u);
  std::string label, value, text;
  ASSERT_TRUE(SplitFormatted(lines[0], label, value)) << lines[0];
  EXPECT_EQ(label, "Send");
  EXPECT_EQ(value, "data");
  EXPECT_EQ(lines[0].substr(24, 40), "Send" + std::string(36, ' '));
  ASSERT_TRUE(SplitSimple(lines[1], text)) << lines[1];
  EXPECT_EQ(text, "TForm1");
  EXPECT_EQ(log.TDBEntryNumber(), 2);
}

TEST(TraceLogger, LineBreaksInALineBecomeBlanks) {
  test::TempDir dir;
  TTDBDebug log;
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBEnableLogToFile(true);
  log.TDBAddString(0, 0, "lbl", "a\r\nb\rc\nd");
  log.TDBSimpleAddString("x\r\ny");
  const auto lines = FileLines(dir.file("DEBUG1.TXT"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(64), "a  b c d");
  EXPECT_EQ(lines[1].substr(19), "\t\t\tx  y");
}

TEST(TraceLogger, FilesAlternateEvery20000Lines) {
  test::TempDir dir;
  TTDBDebug log;
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBEnableLogToFile(true);
  int n = 0;
  auto write = [&](int count) {
    for (int i = 0; i < count; ++i) log.TDBSimpleAddString("line " + std::to_string(++n));
  };
  write(19999);
  EXPECT_EQ(log.TDBCurrentFileName(), dir.file("DEBUG1.TXT"));
  EXPECT_FALSE(fs::exists(dir.file("DEBUG2.TXT")));
  write(1);  // the 20000th line is written into DEBUG1.TXT, then the files swap
  auto one = FileLines(dir.file("DEBUG1.TXT"));
  ASSERT_EQ(one.size(), 20000u);
  EXPECT_TRUE(one.back().ends_with("\t\t\tline 20000"));
  EXPECT_EQ(log.TDBCurrentFileName(), dir.file("DEBUG2.TXT"));
  EXPECT_EQ(fs::file_size(dir.file("DEBUG2.TXT")), 0u);
  write(1);
  auto two = FileLines(dir.file("DEBUG2.TXT"));
  ASSERT_EQ(two.size(), 1u);
  EXPECT_TRUE(two[0].ends_with("\t\t\tline 20001"));
  write(19999);
  EXPECT_EQ(log.TDBCurrentFileName(), dir.file("DEBUG1.TXT"));
  EXPECT_EQ(fs::file_size(dir.file("DEBUG1.TXT")), 0u);  // emptied when it became current
  EXPECT_EQ(FileLines(dir.file("DEBUG2.TXT")).size(), 20000u);
  write(1);
  one = FileLines(dir.file("DEBUG1.TXT"));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_TRUE(one[0].ends_with("\t\t\tline 40001"));
}

// ---- Failures ----------------------------------------------------------------------

TEST(TraceLogger, MissingFolderSwitchesLoggingOffSilently) {
  test::TempDir dir;
  TTDBDebug log;
  log.TDBLogToFile(dir.file("missing/DEBUG.TXT"));
  EXPECT_FALSE(log.TDBIsLoggingToFile());
  log.TDBEnableLogToFile(true);  // as the main window does after TDBLogToFile
  log.TDBAddString(0, 0, "x", "y");
  EXPECT_FALSE(log.TDBIsLoggingToFile());
  log.TDBAddString(0, 0, "x", "y");
  EXPECT_FALSE(fs::exists(dir.file("missing")));
}

TEST(TraceLogger, FileInPlaceOfTheFolderSwitchesLoggingOff) {
  test::TempDir dir;
  test::WriteFile(dir.file("plain"), "");
  TTDBDebug log;
  log.TDBEnableLogToFile(true);
  log.TDBLogToFile(dir.file("plain/DEBUG.TXT"));
  EXPECT_FALSE(log.TDBIsLoggingToFile());
}

TEST(TraceLogger, ReadOnlyFolderSwitchesLoggingOff) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  test::TempDir dir;
  fs::create_directory(dir.file("ro"));
  ASSERT_EQ(chmod(dir.file("ro").c_str(), 0555), 0);
  TTDBDebug log;
  log.TDBEnableLogToFile(true);
  log.TDBLogToFile(dir.file("ro/DEBUG.TXT"));
  EXPECT_FALSE(log.TDBIsLoggingToFile());
  chmod(dir.file("ro").c_str(), 0755);
}

TEST(TraceLogger, FailingWriteSwitchesLoggingOffUntilEnabledAgain) {
  test::TempDir dir;
  TTDBTraceList list;
  TTDBDebug log(&list);
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBEnableLogToFile(true);
  log.TDBSimpleAddString("one");
  // The current file becomes a folder: opening it for appending fails.
  fs::remove(dir.file("DEBUG1.TXT"));
  fs::create_directory(dir.file("DEBUG1.TXT"));
  log.TDBSimpleAddString("two");
  EXPECT_FALSE(log.TDBIsLoggingToFile());
  log.TDBSimpleAddString("three");
  EXPECT_EQ(list.Lines().size(), 3u);  // the list goes on
  fs::remove(dir.file("DEBUG1.TXT"));
  test::WriteFile(dir.file("DEBUG1.TXT"), "");
  log.TDBEnableLogToFile(true);
  log.TDBSimpleAddString("four");
  const auto lines = FileLines(dir.file("DEBUG1.TXT"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with("four"));
}

TEST(TraceLogger, SwapWithoutABaseNameSwitchesLoggingOff) {
  TTDBDebug log;
  log.TDBEnableLogToFile(true);
  log.TDBLogToFile("");
  EXPECT_FALSE(log.TDBIsLoggingToFile());
  EXPECT_EQ(log.TDBCurrentFileName(), "");
}

// ---- Memory dump -------------------------------------------------------------------

// The memory line of one dump: label and the two figures.
bool SplitDump(const std::string& line, std::string& label, long long& inUse, long long& diff) {
  std::string value;
  if (!SplitFormatted(line, label, value)) return false;
  const std::string head = " RAM Verbrauch: ", mid = " Speicherblocks, Diff= ";
  const size_t m = value.find(mid);
  if (value.compare(0, head.size(), head) != 0 || m == std::string::npos) return false;
  const std::string a = value.substr(head.size(), m - head.size());
  const std::string b = value.substr(m + mid.size());
  auto isNumber = [](const std::string& n, bool sign) {
    const size_t from = (sign && !n.empty() && n[0] == '-') ? 1 : 0;
    return n.size() > from && n.find_first_not_of("0123456789", from) == std::string::npos;
  };
  if (!isNumber(a, false) || !isNumber(b, true)) return false;
  inUse = std::stoll(a);
  diff = std::stoll(b);
  return true;
}

TEST(TraceLogger, MemoryDumpReportsBytesInUseAndTheChange) {
  test::TempDir dir;
  TTDBDebug log;
  uint64_t fake = 5000;
  log.TDBSetMemoryProbe([&fake] { return fake; });
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBEnableLogToFile(true);
  log.TDBDumpMemoryUsage("Send");
  fake = 4400;
  log.TDBDumpMemoryUsage("Sequence");
  fake = 123456789012;
  log.TDBDumpMemoryUsage("");
  const auto lines = FileLines(dir.file("DEBUG1.TXT"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(24),
            "Send" + std::string(36, ' ') + " RAM Verbrauch: 5000 Speicherblocks, Diff= 5000");
  EXPECT_EQ(lines[1].substr(24),
            "Sequence" + std::string(32, ' ') + " RAM Verbrauch: 4400 Speicherblocks, Diff= -600");
  EXPECT_EQ(lines[2].substr(24), std::string(40, ' ') +
                                     " RAM Verbrauch: 123456789012 Speicherblocks, Diff= "
                                     "123456784612");
  std::string label;
  long long inUse = 0, diff = 0;
  ASSERT_TRUE(SplitDump(lines[2], label, inUse, diff)) << lines[2];
  EXPECT_EQ(inUse, 123456789012);
  EXPECT_EQ(diff, 123456789012 - 4400);
}

// With the real allocator figure. Under AddressSanitizer glibc's mallinfo2
// does not see the sanitizer's heap and reports 0; the figures still agree.
TEST(TraceLogger, MemoryDumpWithTheRealFigure) {
  test::TempDir dir;
  TTDBDebug log;
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBEnableLogToFile(true);
  log.TDBDumpMemoryUsage("Send");
  std::vector<char> block(1 << 20, 'x');  // one more megabyte in use
  log.TDBDumpMemoryUsage("Send");
  const auto lines = FileLines(dir.file("DEBUG1.TXT"));
  ASSERT_EQ(lines.size(), 2u);
  std::string label;
  long long first = 0, d1 = 0, second = 0, d2 = 0;
  ASSERT_TRUE(SplitDump(lines[0], label, first, d1)) << lines[0];
  EXPECT_EQ(label, "Send");
  ASSERT_TRUE(SplitDump(lines[1], label, second, d2)) << lines[1];
  EXPECT_EQ(d1, first);  // the first dump compares with 0
  EXPECT_EQ(d2, second - first);
  if (first > 0) {
    EXPECT_GE(second - first, 1 << 20);
  }
  EXPECT_EQ(block[0], 'x');
}

// ---- Trace list --------------------------------------------------------------------

TEST(TraceLogger, TraceListIsClearedAtStartAndAfterMoreThan1000Lines) {
  TTDBTraceList list;
  list.TDBTraceLine("left over");
  TTDBDebug log(&list);
  EXPECT_TRUE(list.Lines().empty());
  for (int i = 1; i <= 1001; ++i) log.TDBSimpleAddString("n" + std::to_string(i));
  EXPECT_EQ(list.Lines().size(), 1001u);
  log.TDBSimpleAddString("n1002");
  ASSERT_EQ(list.Lines().size(), 1u);
  EXPECT_TRUE(list.Lines()[0].ends_with("\t\t\tn1002"));
}

TEST(TraceLogger, TraceListGetsTheLineWithItsLineBreaks) {
  TTDBTraceList list;
  TTDBDebug log(&list);
  log.TDBAddString(0, 0, "l", "a\r\nb");
  ASSERT_EQ(list.Lines().size(), 1u);
  EXPECT_TRUE(list.Lines()[0].ends_with("a\r\nb"));
}

// ---- Concurrency -------------------------------------------------------------------

// Records every line in order; called under the logger's lock.
class RecordingSink final : public ITDBTraceSink {
 public:
  void TDBTraceClear() override { lines.clear(); }
  void TDBTraceLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

struct Parsed {
  int thread = -1, seq = -1;
};

// "<t>:<seq>:<payload>" whose payload is seq % 50 + 1 letters.
bool SplitValue(const std::string& v, Parsed& p) {
  const size_t c1 = v.find(':'), c2 = c1 == std::string::npos ? c1 : v.find(':', c1 + 1);
  if (c2 == std::string::npos || c1 == 0 || c2 == c1 + 1) return false;
  const std::string t = v.substr(0, c1), n = v.substr(c1 + 1, c2 - c1 - 1), rest = v.substr(c2 + 1);
  if (t.find_first_not_of("0123456789") != std::string::npos ||
      n.find_first_not_of("0123456789") != std::string::npos)
    return false;
  p.thread = std::stoi(t);
  p.seq = std::stoi(n);
  const char letter = static_cast<char>('a' + p.thread);
  return rest.size() == static_cast<size_t>(p.seq % 50 + 1) &&
         rest.find_first_not_of(letter) == std::string::npos;
}

// Lines are formatted "T<t>" lines, simple lines or memory dumps (thread 99)
// as RunWriters makes them; anything else (a torn or merged line) fails.
Parsed ParseLine(const std::string& line) {
  Parsed p;
  std::string label, value, text;
  long long inUse = 0, diff = 0;
  if (SplitDump(line, label, inUse, diff) && label == "mem") {
    p.thread = 99;
  } else if (SplitFormatted(line, label, value)) {
    if (!SplitValue(value, p) || label != "T" + std::to_string(p.thread))
      ADD_FAILURE() << "torn formatted line: [" << line << "]";
  } else if (SplitSimple(line, text)) {
    if (!SplitValue(text, p)) ADD_FAILURE() << "torn simple line: [" << line << "]";
  } else {
    ADD_FAILURE() << "torn or unknown line: [" << line << "]";
  }
  return p;
}

// Each thread t writes `perThread` lines t:0 .. t:perThread-1, some through
// TDBAddString, some through TDBSimpleAddString, with a CR LF in some values;
// one more thread dumps the memory usage and switches file logging on again.
void RunWriters(TTDBDebug& log, int threads, int perThread, int dumps) {
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&log, t, perThread] {
      for (int i = 0; i < perThread; ++i) {
        const std::string payload(static_cast<size_t>(i % 50 + 1), static_cast<char>('a' + t));
        const std::string value = std::to_string(t) + ":" + std::to_string(i) + ":" + payload;
        if (i % 3 == 0)
          log.TDBSimpleAddString(value);
        else
          log.TDBAddString(t, 0, "T" + std::to_string(t), value);
      }
    });
  }
  pool.emplace_back([&log, dumps] {
    for (int i = 0; i < dumps; ++i) {
      log.TDBDumpMemoryUsage("mem");
      log.TDBEnableLogToFile(true);
      std::this_thread::yield();
    }
  });
  for (auto& th : pool) th.join();
}

TEST(TraceLogger, ConcurrentWritersLoseNoLineAndTearNone) {
  test::TempDir dir;
  RecordingSink sink;
  TTDBDebug log(&sink);
  log.TDBEnableAllID();
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBEnableLogToFile(true);
  constexpr int kThreads = 8, kPerThread = 3500, kDumps = 200;
  RunWriters(log, kThreads, kPerThread, kDumps);
  constexpr int kTotal = kThreads * kPerThread + kDumps;  // 28200: one swap

  const auto one = FileLines(dir.file("DEBUG1.TXT"));
  const auto two = FileLines(dir.file("DEBUG2.TXT"));
  EXPECT_EQ(one.size(), 20000u);
  EXPECT_EQ(two.size(), static_cast<size_t>(kTotal - 20000));
  EXPECT_EQ(log.TDBCurrentFileName(), dir.file("DEBUG2.TXT"));

  std::vector<std::string> all = one;
  all.insert(all.end(), two.begin(), two.end());
  std::vector<int> next(kThreads, 0);
  int dumps = 0;
  for (const std::string& line : all) {
    const Parsed p = ParseLine(line);
    if (p.thread == 99) {
      ++dumps;
      continue;
    }
    ASSERT_GE(p.thread, 0);
    ASSERT_LT(p.thread, kThreads);
    EXPECT_EQ(p.seq, next[p.thread]) << "thread " << p.thread << " out of order or lost";
    next[p.thread] = p.seq + 1;
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kPerThread) << "thread " << t;
  EXPECT_EQ(dumps, kDumps);

  // The sink saw the same lines in the same order.
  ASSERT_EQ(sink.lines.size(), all.size());
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(sink.lines[i], all[i]) << i;
}

TEST(TraceLogger, ConcurrentWritersKeepTheLastLinesAcrossTwoSwaps) {
  test::TempDir dir;
  TTDBDebug log;
  log.TDBLogToFile(dir.file("DEBUG.TXT"));
  log.TDBEnableLogToFile(true);
  constexpr int kThreads = 6, kPerThread = 8000, kDumps = 100;
  RunWriters(log, kThreads, kPerThread, kDumps);
  constexpr int kTotal = kThreads * kPerThread + kDumps;  // 48100: DEBUG1 written twice

  const auto two = FileLines(dir.file("DEBUG2.TXT"));
  const auto one = FileLines(dir.file("DEBUG1.TXT"));
  EXPECT_EQ(two.size(), 20000u);
  EXPECT_EQ(one.size(), static_cast<size_t>(kTotal - 40000));
  EXPECT_EQ(log.TDBCurrentFileName(), dir.file("DEBUG1.TXT"));

  // The files hold the last lines written, so each thread's lines there are
  // an unbroken run that ends with its last line.
  std::vector<std::string> all = two;
  all.insert(all.end(), one.begin(), one.end());
  std::vector<int> next(kThreads, -1);
  for (const std::string& line : all) {
    const Parsed p = ParseLine(line);
    if (p.thread == 99) continue;
    ASSERT_GE(p.thread, 0);
    ASSERT_LT(p.thread, kThreads);
    if (next[p.thread] >= 0) {
      EXPECT_EQ(p.seq, next[p.thread]) << "thread " << p.thread;
    }
    next[p.thread] = p.seq + 1;
  }
  // A thread that finished early may have no line left; the others end whole.
  for (int t = 0; t < kThreads; ++t)
    if (next[t] >= 0) {
      EXPECT_EQ(next[t], kPerThread) << "thread " << t;
    }
}

}  // namespace
}  // namespace kal
