// The counter lists against an independent python3 model: random file
// contents and random key/value sequences give the same values; after every
// single change the files on disk (what a crash would leave) hold what the
// model holds, each counter's value past the block it has reserved, and the
// close writes the exact values.
#include "workbench/CounterLists.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "common/TestSupport.h"

namespace kal {
namespace {

using test::ReadFile;
using test::ToHex;
using test::WriteFile;

// The dialogs: keeps the messages shown, answers "No", opens and saves no
// file.
struct TRecorder final : ICEXDialogs {
  void CEXShowMessage(const std::string& text) override { shown.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string&) override { return false; }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  std::vector<std::string> shown;
};

// Input: the two starting files as hex (or "-" for a missing file), then
// one "T|A keyhex initialhex" line per request. Output per request: the
// value text and both files as hex ("=" for a file not rewritten yet); then
// both files as the close writes them.
const char* const kPython = R"(
import re, sys
def unhex(h): return '' if h == '-' else bytes.fromhex(h).decode('latin-1')
def clean(k): return ''.join(c for c in k if c not in ' ;\r\n')
def dec(t):
    if not re.fullmatch(r'[+-]?[0-9]+', t): return 1
    v = int(t)
    return v if -2**31 <= v < 2**31 else 1
def hexv(t):
    t = t.replace(' ', '') or '0000'
    if not re.fullmatch(r'[0-9A-Fa-f]+', t): return 0
    v = int(t, 16)
    if v > 0xFFFFFFFF: return 0
    return v - 2**32 if v >= 2**31 else v
kinds = {'T': (dec, lambda v: str(v), 99999999), 'A': (hexv, lambda v: '%04X' % (v & 0xFFFF), 65535)}
def load(kind, data):
    items = []
    if data == '-': return items
    for line in unhex(data).split('\n'):
        if line.endswith('\r'): line = line[:-1]
        line = line.replace(' ', '')
        if not line: continue
        parts = line.split(';')
        items.append([parts[0], kinds[kind][0](parts[1] if len(parts) > 1 else '')])
    return items
def advance(kind, v, n):
    for _ in range(n): v = 1 if v + 1 > kinds[kind][2] else v + 1
    return v
# An item: key, value, values reserved ahead, size of its last block.
def dump(kind, items, reserved):
    return ''.join(i[0] + ';' + kinds[kind][1](advance(kind, i[1], i[2] if reserved else 0)) + '\r\n'
                   for i in items).encode('latin-1').hex().upper() or '-'
lines = sys.stdin.read().split('\n')
files = {'T': '=', 'A': '='}
lists = {'T': [[k, v, 0, 0] for k, v in load('T', lines[0].split()[0])],
         'A': [[k, v, 0, 0] for k, v in load('A', lines[0].split()[1])]}
for line in lines[1:]:
    if not line: continue
    kind, key, init = line.split(' ')
    key, init = clean(unhex(key)), clean(unhex(init))
    items = lists[kind]
    item = next((i for i in items if i[0] == key), None)
    if item is None:
        item = [key, kinds[kind][0](init), 0, 0]
        items.append(item)
    if item[2] == 0:
        item[3] = 16 if item[3] == 0 else min(item[3] * 2, 1024)
        item[2] = item[3]
        files[kind] = dump(kind, items, True)
    item[2] -= 1
    out = kinds[kind][1](item[1])
    item[1] = advance(kind, item[1], 1)
    print(out, files['T'], files['A'])
print('close', dump('T', lists['T'], False), dump('A', lists['A'], False))
)";

std::string Pick(std::mt19937& rng, const std::vector<std::string>& from) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

std::string HexOrDash(const std::string& bytes) {
  return bytes.empty() ? "-" : ToHex(bytes);
}

TEST(CounterLists, MatchTheModelAndTheFilesHoldEveryChange) {
  const std::vector<std::string> keys = {"a",  "b",   " a", "a ",     "a;",
                                         ";b", "a b", "ab", "x\r\ny", ""};
  const std::vector<std::string> values = {"5",   "0",    "99999999", "99999998",  "2147483647",
                                           "-3",  "abc",  "",         "FFFF",      "fffe",
                                           "1 2", "12;3", "+7",       "123456789", "FFFFFFFFF"};
  std::mt19937 rng(20261208);
  for (int round = 0; round < 12; ++round) {
    test::TempDir dir;
    // Starting files: random lines, blank lines and lines without a value.
    std::string files[2];
    for (std::string& file : files) {
      if (rng() % 4 == 0) continue;
      const int n = static_cast<int>(rng() % 5);
      for (int i = 0; i < n; ++i) {
        if (rng() % 5 == 0)
          file += "  ";
        else if (rng() % 7 == 0)
          file += Pick(rng, keys);
        else
          file += CLSCleanKey(Pick(rng, keys)) + " ; " + Pick(rng, values);
        file += rng() % 2 ? "\r\n" : "\n";
      }
      WriteFile(dir.file(&file == &files[0] ? "TrxSeqCnt.ini" : "ATC.ini"), file);
    }
    std::string input = HexOrDash(files[0]) + " " + HexOrDash(files[1]) + "\n";

    TRecorder dialogs;
    TCEXCounterLists lists(dir.path(), dialogs);
    lists.CEXReadCounters();

    std::vector<std::string> ours;
    bool touched[2] = {false, false};
    const auto onDisk = [&](int f) {
      const std::string path = dir.file(f == 0 ? "TrxSeqCnt.ini" : "ATC.ini");
      struct stat st {};
      return stat(path.c_str(), &st) == 0 ? ReadFile(path) : std::string();
    };
    // Long enough for counters to use up their first blocks.
    for (int i = 0; i < 160; ++i) {
      const bool trx = rng() % 2 != 0;
      const std::string key = Pick(rng, keys);
      const std::string init = Pick(rng, values);
      input += std::string(trx ? "T " : "A ") + HexOrDash(key) + " " + HexOrDash(init) + "\n";
      std::string value;
      ASSERT_TRUE(lists.CEXCounterMessageValue(
          trx ? TCLACounterListTrxSeqCnt::kTag : TCLTCounterListATC::kTag, key, init, value));
      // Read the files now, as a crash right after this change would leave them.
      touched[trx ? 0 : 1] = true;
      std::string line = value;
      for (int f = 0; f < 2; ++f) {
        if (touched[f]) {
          line += " " + HexOrDash(onDisk(f));
        } else {
          EXPECT_EQ(onDisk(f), files[f]);
          line += " =";
        }
      }
      ours.push_back(line);
    }
    lists.CEXWriteCounters();
    ours.push_back("close " + HexOrDash(onDisk(0)) + " " + HexOrDash(onDisk(1)));
    EXPECT_TRUE(dialogs.shown.empty());

    int status = 0;
    const auto model = test::SplitLines(test::RunPython(kPython, input, &status));
    ASSERT_EQ(status, 0);
    ASSERT_EQ(model.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i)
      EXPECT_EQ(ours[i], model[i]) << "round " << round << " request " << i;
  }
}

// Failures are reported, never silent, and a value is still handed out.
TEST(CounterLists, ReportFilesThatCannotBeReadOrWritten) {
  TRecorder dialogs;
  test::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("TrxSeqCnt.ini").c_str(), 0755), 0);
  TCEXCounterLists lists(dir.path(), dialogs);
  lists.CEXReadCounters();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].rfind("Can not read counter file " + dir.file("TrxSeqCnt.ini"), 0),
            0u);

  EXPECT_NE(dialogs.shown[0].find("its counters are not kept"), std::string::npos);

  // A list whose file could not be read hands values out but writes nothing.
  std::string value;
  ASSERT_TRUE(lists.CEXCounterMessageValue("ep2:TrxSeqCnt", "T1", "41", value));
  EXPECT_EQ(value, "41");
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_FALSE(lists.CEXCounterMessageValue("ep2:Other", "T1", "1", value));

  TCEXCounterLists unwritable(dir.file("none/"), dialogs);
  unwritable.CEXReadCounters();
  ASSERT_TRUE(unwritable.CEXCounterMessageValue("ep2:ATC", "T1", "0007", value));
  EXPECT_EQ(value, "0007");
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[1].rfind("Can not write counter file", 0), 0u);

  TCLTCounterListATC missingDir(dir.file("none/"));
  EXPECT_EQ(missingDir.CLSReadItemsFile(), 0);
  EXPECT_NE(missingDir.CLSFindItemMessageValue("card", "FFFF", value), 0);
  EXPECT_EQ(value, "FFFF");
  EXPECT_EQ(missingDir.CLSGetItem(0).CLSGetValue(), "0001");
}

// A file that could not be read, or that holds no counter lines, keeps its
// bytes through start and close; every file keeps its mode, and a link to a
// file shared with another program folder stays that link; a file with
// CR-only line ends is read as its lines, so no counter is lost or handed
// out again.
TEST(CounterLists, FilesKeepBytesModeAndLinkThroughStartAndClose) {
  const std::string tooLarge = "T1;5\r\n" + std::string(4u * 1024u * 1024u, ' ');
  std::mt19937 rng(51);
  const std::string randomBytes = test::RandomBytes(rng, 65536);
  // Root reads a file of mode 000.
  const char* const unreadable = geteuid() == 0 ? "File too large" : "Permission denied";
  const struct {
    const char* name;
    std::string content;
    mode_t mode;
    bool linked;             // TrxSeqCnt.ini links to shared/TrxSeqCnt.ini
    const char* reason;      // the start message's reason, or none for a file that is read
    std::string afterClose;  // the file after a value of "T1" was handed out and the close
  } cases[] = {
      {"too large, mode 000", tooLarge, 0, false, unreadable, tooLarge},
      {"too large, mode 600", tooLarge, 0600, false, "File too large", tooLarge},
      {"random bytes", randomBytes, 0600, false, "it holds lines that are not counter entries",
       randomBytes},
      {"CR-only line ends", "T1;5\rT2;9\r", 0644, false, nullptr, "T1;6\r\nT2;9\r\n"},
      {"link to a shared file of mode 600", "T1;5\r\n", 0600, true, nullptr, "T1;6\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("shared").c_str(), 0755), 0);
    const std::string link = dir.file("TrxSeqCnt.ini");
    const std::string path = c.linked ? dir.file("shared/TrxSeqCnt.ini") : link;
    WriteFile(path, c.content);
    if (c.linked) {
      ASSERT_EQ(symlink("shared/TrxSeqCnt.ini", link.c_str()), 0);
    }
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    TRecorder dialogs;
    TCEXCounterLists lists(dir.path(), dialogs);
    lists.CEXReadCounters();
    const std::vector<std::string> shown = {"Can not read counter file " + link + ": " +
                                            (c.reason ? c.reason : "") +
                                            "; its counters are not kept"};
    EXPECT_EQ(dialogs.shown, c.reason != nullptr ? shown : std::vector<std::string>());
    std::string value;
    ASSERT_TRUE(lists.CEXCounterMessageValue(TCLACounterListTrxSeqCnt::kTag, "T1", "1", value));
    EXPECT_EQ(value, c.reason == nullptr ? "5" : "1");
    lists.CEXWriteCounters();
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_EQ(S_ISLNK(st.st_mode), c.linked);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_TRUE(ReadFile(path) == c.afterClose);
  }
}

}  // namespace
}  // namespace kal
