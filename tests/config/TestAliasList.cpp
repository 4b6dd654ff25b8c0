#include "config/AliasList.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>

#include "common/TestSupport.h"

namespace kal {
namespace {

std::string Expand(const TALUAliasList& list, bool saving, std::string path,
                   const TALUAlias** used = nullptr) {
  const TALUAlias* a = list.ALUFindAlias(saving, path);
  if (used != nullptr) *used = a;
  return path;
}

TEST(AliasList, ExpansionIgnoresTheCaseOfTheNameAndKeepsEverythingElse) {
  TALUAliasList list("/prog/");
  list.ALUAddAlias("msg", "/Data/Messages/", true);
  EXPECT_EQ(list.ALUGetItem(0).ALUGetAlias(), "MSG");
  EXPECT_EQ(list.ALUGetItem(0).ALUGetDirectory(), "/Data/Messages/");
  EXPECT_EQ(Expand(list, false, "msg/order.epm"), "/Data/Messages//order.epm");
  EXPECT_EQ(Expand(list, false, "Msg/Order.EPM and MSG/x"),
            "/Data/Messages//Order.EPM and /Data/Messages//x");
  EXPECT_EQ(Expand(list, true, "/data/messages/Order.epm"), "MSGOrder.epm");
  const TALUAlias* used = &list.ALUGetItem(0);
  EXPECT_EQ(Expand(list, false, "/other/order.epm", &used), "/other/order.epm");
  EXPECT_EQ(used, nullptr);
}

TEST(AliasList, OnlyTheFirstApplicableAliasIsUsed) {
  TALUAliasList list("/prog/");
  list.ALUAddAlias("SEQ", "/seq", false);
  list.ALUAddAlias("MSG", "/msg", true);
  const TALUAlias* used = nullptr;
  EXPECT_EQ(Expand(list, false, "MSG/SEQ", &used), "MSG//seq");
  EXPECT_EQ(used, &list.ALUGetItem(0));
  // Reverse skips the one-way alias even though its directory occurs.
  EXPECT_EQ(Expand(list, true, "/seq/msg/", &used), "/seqMSG/");
  EXPECT_EQ(used, &list.ALUGetItem(1));
}

TEST(AliasList, ReplacingEveryOccurrenceEndsWhenTheDirectoryHoldsTheName) {
  TALUAliasList list("/prog/");
  list.ALUAddAlias("A", "/aa/A/", true);
  EXPECT_EQ(Expand(list, false, "a-a"), "/aa/A/-/aa/A/");
  EXPECT_EQ(Expand(list, true, "/AA/a//aa/A/"), "AA");
  // Empty names and directories never apply.
  TALUAliasList empty("/prog/");
  empty.ALUAddAlias("", "/x/", true);
  empty.ALUAddAlias("B", "", true);
  EXPECT_EQ(Expand(empty, false, "path"), "path");
  EXPECT_EQ(Expand(empty, true, "path"), "path");
  EXPECT_EQ(Expand(empty, false, "b/c"), "/c");
}

// Forward and reverse expansion of random paths against python's re.sub
// with re.I, which replaces every non-overlapping match from left to right.
TEST(AliasList, ExpansionMatchesPythonOnRandomPaths) {
  std::mt19937 rng(20240601);
  const std::string alphabet = "aAbBcC/._-+([$^\\";
  const auto word = [&](size_t min, size_t max) {
    std::string s(std::uniform_int_distribution<size_t>(min, max)(rng), ' ');
    for (char& ch : s) ch = alphabet[std::uniform_int_distribution<size_t>(0, 15)(rng)];
    return s;
  };
  std::string input;
  std::vector<std::string> ours;
  for (int i = 0; i < 400; ++i) {
    const std::string name = word(1, 3);
    std::string dir = word(0, 6);
    if (i % 4 == 0) dir += name;  // directories that contain the alias name
    const std::string path = word(0, 20);
    TALUAliasList list("/prog/");
    list.ALUAddAlias(name, dir, true);
    const bool saving = i % 2 == 1;
    const std::string searched = saving ? dir : list.ALUGetItem(0).ALUGetAlias();
    const std::string replacement = saving ? list.ALUGetItem(0).ALUGetAlias() : dir;
    input += searched + '\t' + replacement + '\t' + path + '\n';
    ours.push_back(Expand(list, saving, path));
  }
  const std::string out = test::RunPython(R"PY(
import re, sys
for line in sys.stdin.read().split('\n')[:-1]:
    searched, replacement, path = line.split('\t')
    if searched:
        path = re.sub(re.escape(searched), lambda m: replacement, path, flags=re.I)
    sys.stdout.write(path + '\n')
)PY",
                                          input);
  std::vector<std::string> theirs;
  for (size_t pos = 0; pos < out.size();) {
    const size_t end = out.find('\n', pos);
    theirs.push_back(out.substr(pos, end - pos));
    pos = end + 1;
  }
  ASSERT_EQ(theirs.size(), ours.size());
  for (size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(ours[i], theirs[i]) << "case " << i;
}

TEST(AliasList, TheFileHoldsOneTabSeparatedAliasPerLine) {
  test::TempDir dir;
  TALUAliasList list(dir.path());
  std::vector<TALUAliasRow> rows{{"x", "y", "z"}};
  ASSERT_EQ(list.ALULoadConfigData(rows), 0);  // no file yet
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(list.ALUGetCount(), 0u);

  test::WriteFile(dir.file("alias.ini"),
                  "MSG\t/data/msg/\t2\r\n\r\nonly\nSEQ\t/data/seq/\r\nCFG\t/c/\t\tmore\n");
  ASSERT_EQ(list.ALULoadConfigData(rows), 0);
  const std::vector<TALUAliasRow> expected{{"MSG", "/data/msg/", "2"},
                                           {"only", "", ""},
                                           {"SEQ", "/data/seq/", ""},
                                           {"CFG", "/c/", "\tmore"}};
  EXPECT_EQ(rows, expected);
  ASSERT_EQ(list.ALUGetCount(), 4u);
  EXPECT_TRUE(list.ALUGetItem(0).ALUIsTwoWays());
  EXPECT_FALSE(list.ALUGetItem(2).ALUIsTwoWays());
  EXPECT_EQ(list.ALUGetItem(1).ALUGetDirectory(), "");
  EXPECT_EQ(Expand(list, true, "/data/seq/a.seq"), "/data/seq/a.seq");

  rows = {{"A", "/a/", "2"}, {"", "", ""}, {"B\tx", "/b/\r\n", ""}, {"", "", ""}};
  ASSERT_EQ(list.ALUSaveConfigData(rows), 0);
  EXPECT_EQ(test::ReadFile(dir.file("alias.ini")), "A\t/a/\t2\r\nB x\t/b/  \t\r\n");
  ASSERT_EQ(list.ALUGetCount(), 2u);
  EXPECT_EQ(Expand(list, true, "/b/  f"), "/b/  f");  // saved without "2": one way
  EXPECT_EQ(Expand(list, true, "/a/f"), "Af");

  test::WriteFile(dir.file("alias.ini"), std::string(TALUAliasList::ALUcMaxFileBytes + 1, 'x'));
  EXPECT_EQ(list.ALULoadConfigData(rows), EFBIG);
  EXPECT_EQ(list.ALUGetCount(), 0u);
  EXPECT_NE(TALUAliasList(dir.file("missing/")).ALUSaveConfigData(rows), 0);
}

}  // namespace
}  // namespace kal
