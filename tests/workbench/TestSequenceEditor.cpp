#include "workbench/SequenceEditor.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/AttributeLetters.h"
#include "support/StringGrid.h"
#include "workbench/CoreHost.h"

namespace kal {
namespace {

using Lines = std::vector<std::string>;

// The attribute list as the window shows it.
class Checks final : public IUCBCheckList {
 public:
  Checks() {
    for (const TUCBAttributeLetter& a : kUCBSequenceAttributes)
      items.push_back({std::string(1, a.letter) + " " + a.text, false});
    items.push_back({"F Off line authorisation (not sent, record only)", false});
  }
  int Count() const override { return static_cast<int>(items.size()); }
  std::string ItemText(int i) const override { return items[static_cast<size_t>(i)].first; }
  bool Checked(int i) const override { return items[static_cast<size_t>(i)].second; }
  void SetChecked(int i, bool c) override { items[static_cast<size_t>(i)].second = c; }
  std::vector<std::pair<std::string, bool>> items;
};

class SequenceEditorTest : public test::CoreOnQueueFixture<test::CoreHost> {
 protected:
  void SetUp() override {
    StartCore("");
    editor_ = std::make_unique<TSEQSequenceEditor>(*core_, host_, grid_, checks_);
  }
  void TearDown() override {
    editor_.reset();
    CoreOnQueueFixture::TearDown();
  }
  // Rows 1.. of the grid, columns 1 to 7 joined by "|".
  Lines Rows() const {
    Lines rows;
    for (int r = 1; r < grid_.RowCount(); ++r) {
      std::string row;
      for (int c = 1; c <= SEQcColAttrib; ++c) row += (c > 1 ? "|" : "") + grid_.Cell(c, r);
      rows.push_back(row);
    }
    return rows;
  }
  void SetRow(int row, const Lines& cells) {
    if (grid_.RowCount() <= row) grid_.SetRowCount(row + 1);
    for (size_t c = 0; c < cells.size(); ++c) grid_.SetCell(static_cast<int>(c) + 1, row, cells[c]);
  }
  TALUAliasList& Aliases() { return core_->CEXAliasList(); }

  TStringGrid grid_;
  Checks checks_;
  std::unique_ptr<TSEQSequenceEditor> editor_;
};

TEST_F(SequenceEditorTest, SavedFilesReadByPythonCsvGiveTheCellsWithAliasesCollapsed) {
  const std::string msg = dir_.file("msgs/");
  Aliases().ALUAddAlias("%MSG%", msg, true);
  SetRow(1, {msg + "a.epm", msg + "b.epm", "2", "12:30", msg + "x", "5000", "CG"});
  SetRow(2, {"c.epm", "", "", "", "", "", ""});
  ASSERT_TRUE(editor_->SEQSaveSequence(dir_.file("two.seq")));
  const std::string text = test::ReadFile(dir_.file("two.seq"));
  EXPECT_EQ(text.substr(text.size() - 8), "\t\t\t\t\t\t\r\n") << "the last line: six TABs";
  const std::string out = test::RunPython(R"PY(
import csv, io, sys
text = sys.stdin.buffer.read().decode('utf-8')
assert text.count('\r\n') == text.count('\n'), 'every line ends with CR LF'
for row in csv.reader(io.StringIO(text, newline=''), delimiter='\t', quoting=csv.QUOTE_NONE):
    print(len(row), '|'.join(row))
)PY",
                                          text);
  EXPECT_EQ(test::SplitLines(out), (Lines{"7 %MSG%a.epm|%MSG%b.epm|2|12:30|" + msg + "x|5000|CG",
                                          "7 c.epm||||||", "7 ||||||"}));
  EXPECT_EQ(core_->CEXConfiguration().CFGGetDirSequence(), dir_.path());
  EXPECT_EQ(core_->CEXConfiguration().CFGGetPickFileSeq(0), dir_.file("two.seq"));
}

TEST_F(SequenceEditorTest, FilesPythonWritesLoadFieldKIntoColumnKWithAliasesExpanded) {
  Aliases().ALUAddAlias("%MSG%", "/data/msgs/", false);
  const std::string text = test::RunPython(R"PY(
import csv, sys
w = csv.writer(sys.stdout, delimiter='\t', quoting=csv.QUOTE_NONE, lineterminator='\r\n')
w.writerow(['%MSG%a.epm', '%msg%b.epm', '3', '10', '127.0.0.1', '9000', 'GA', 'ignored'])
w.writerow(['lone.epm'])
w.writerow(['c.epm', 's.epm', '1'])
sys.stdout.write('last\tline-with-LF\n')
)PY",
                                           "");
  test::WriteFile(dir_.file("py.seq"), text);
  ASSERT_TRUE(editor_->SEQOpenSequence(dir_.file("py.seq")));
  const Lines rows = Rows();
  ASSERT_EQ(rows.size(), 9u) << "at least 10 grid rows";
  EXPECT_EQ(Lines(rows.begin(), rows.begin() + 5),
            (Lines{"/data/msgs/a.epm|/data/msgs/b.epm|3|10|127.0.0.1|9000|GA", "lone.epm||||||",
                   "c.epm|s.epm|1||||", "last|line-with-LF|||||", "||||||"}));
  EXPECT_TRUE(checks_.items[1].second && checks_.items[2].second) << "G and A of row 1";
  EXPECT_FALSE(checks_.items[0].second);
}

TEST_F(SequenceEditorTest, AFailedLoadOrSaveNamesTheFileAndLeavesTheTable) {
  SetRow(1, {"kept.epm"});
  const Lines before = Rows();
  test::WriteFile(dir_.file("plain"), "");
  for (const std::string& path : {dir_.file("missing.seq"), dir_.path()}) {
    host_.messages.clear();
    EXPECT_FALSE(editor_->SEQLoadSequence(path));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_NE(host_.messages[0].find(path + ": "), std::string::npos) << host_.messages[0];
    EXPECT_EQ(Rows(), before);
  }
  host_.messages.clear();
  EXPECT_FALSE(editor_->SEQSaveSequence(dir_.file("plain/x.seq")));
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].find("plain/x.seq: Not a directory"), std::string::npos);
  EXPECT_EQ(editor_->SEQGetFileName(), "");
}

TEST_F(SequenceEditorTest, SearchAndReplaceWalkTheCellsCaseInsensitively) {
  SetRow(1, {"Alpha.epm", "beta.epm"});
  SetRow(2, {"ALPHA2.epm", "", "", "", "", "", "A"});
  editor_->SEQCellSelected(1, 1);
  editor_->SEQStartSearch();
  EXPECT_TRUE(editor_->SEQFind("alpha"));
  EXPECT_EQ(std::make_pair(editor_->SEQCurrentCol(), editor_->SEQCurrentRow()),
            std::make_pair(1, 1));
  EXPECT_TRUE(editor_->SEQFind("alpha"));
  EXPECT_EQ(editor_->SEQCurrentRow(), 2);
  EXPECT_FALSE(editor_->SEQFind("alpha"));
  EXPECT_EQ(host_.messages, Lines{"no (more) occurences of alpha found"});

  editor_->SEQCellSelected(1, 1);
  editor_->SEQStartSearch();
  EXPECT_TRUE(editor_->SEQReplace("ALPHA", "Gamma"));
  EXPECT_EQ(grid_.Cell(1, 1), "Gamma.epm");
  EXPECT_EQ(grid_.Cell(1, 2), "ALPHA2.epm") << "Replace stops after one cell";
  EXPECT_TRUE(editor_->SEQReplaceAll(".EPM", ".xml"));
  const Lines rows = Rows();
  EXPECT_EQ(Lines(rows.begin(), rows.begin() + 2),
            (Lines{"Gamma.xml|beta.xml|||||", "ALPHA2.xml||||||A"}));
  host_.messages.clear();
  EXPECT_FALSE(editor_->SEQReplaceAll("nowhere", "x"));
  EXPECT_EQ(host_.messages, Lines{"no (more) occurences of nowhere found"});
}

TEST_F(SequenceEditorTest, SelectNextFileFieldGoesAcrossThenDownKeepingARowBelow) {
  std::vector<std::pair<int, int>> moved;
  editor_->SEQSetCurrentCellSink([&](int c, int r) { moved.push_back({c, r}); });
  editor_->SEQCellSelected(1, 3);
  editor_->SEQSelectNextFileField();
  editor_->SEQSetFileField(2, "/m/s.epm");
  editor_->SEQSelectNextFileField();
  editor_->SEQCellSelected(2, grid_.RowCount() - 1);
  editor_->SEQSelectNextFileField();
  EXPECT_EQ(moved, (std::vector<std::pair<int, int>>{{2, 3}, {1, 4}, {1, 10}}));
  EXPECT_EQ(grid_.RowCount(), 12) << "one row stays below the new current row";
  EXPECT_EQ(grid_.Cell(2, 3), "/m/s.epm");
}

TEST_F(SequenceEditorTest, CheckOkShowsEachFailureInOrderWithGridRowNumbers) {
  test::WriteFile(dir_.file("x.ini"), "");
  test::WriteFile(dir_.file("x.INI"), "");
  test::WriteFile(dir_.file("m.epm"), "");
  TSEQRunSettings ok;
  ok.logErrors = 0;
  // Each row makes the check fail at the step named by its message; the
  // rows before it are sound.
  struct Case {
    Lines row;
    std::string message;
    TSEQRunSettings settings;
  };
  TSEQRunSettings noLog = ok, errors = ok, restarts = ok, delay = ok, rate = ok;
  noLog.logErrors = 1;
  errors.errorCount = "1x";
  restarts.restarts = "2.5";
  delay.threadDelay = "fast";
  rate.failureRate = "99999999999";
  const std::string m = dir_.file("m.epm");
  const std::vector<Case> cases = {
      {{dir_.file("none.epm")}, "Client file does not exist in line 2", ok},
      {{m, dir_.file("none.epm")}, "Server file does not exist in line 2", ok},
      {{m, m, "", "soon"}, "Delay must be numeric or a time expression in line 2", ok},
      {{m, m, "", "-5"}, "Delay must be numeric or a time expression in line 2", ok},
      {{m, m, "-1", "10"},
       "Number of client threads must be numeric or a time expression in line 2",
       ok},
      {{m, m, "2", "13:45:00", "", "70000"},
       "IP port must be a number from 1 to 65535 in line 2",
       ok},
      {{m, m, "", "", "", "0"}, "IP port must be a number from 1 to 65535 in line 2", ok},
      {{}, "Please enter file name for log file", noLog},
      {{}, "Stop on error count field must be numeric", errors},
      {{}, "Number of restarts field must be numeric", restarts},
      {{}, "Thread delay field must be numeric", delay},
      {{}, "Issuer script failure rate must be numeric", rate},
  };
  for (const Case& c : cases) {
    editor_->SEQNew();
    SetRow(1, {dir_.file("x.ini"), m, " 3 ", "+7", "10.0.0.1", "65535", "G"});
    SetRow(2, c.row);
    host_.messages.clear();
    EXPECT_FALSE(editor_->SEQCheckOk(c.settings)) << c.message;
    EXPECT_EQ(host_.messages, Lines{c.message});
    EXPECT_EQ(grid_.Cell(SEQcColAttrib, 1), "GC") << "x.ini without C gains C";
  }
  // "\" separators are taken as "/"; the cell keeps its text.
  std::string backslashed = dir_.file("x.INI");
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  editor_->SEQNew();
  SetRow(1, {backslashed, "", "", "", "", "", "C"});
  host_.messages.clear();
  EXPECT_TRUE(editor_->SEQCheckOk(ok));
  EXPECT_EQ(grid_.Cell(SEQcColClient, 1), backslashed);
  EXPECT_EQ(grid_.Cell(SEQcColAttrib, 1), "C");
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(SequenceEditorTest, RunSettingsGoToTheirKeysAndBack) {
  TCFGConfig& config = core_->CEXConfiguration();
  Aliases().ALUAddAlias("%LOG%", "/var/seqlogs/", true);
  editor_->SEQReadSettings();
  TSEQRunSettings& s = editor_->SEQSettings();
  s = {2,
       1,
       3,
       1,
       "/var/seqlogs/run.txt",
       "/var/seqlogs/rec/",
       "250",
       "4",
       "7",
       "15",
       std::chrono::year{2031} / 12 / 4,
       std::chrono::seconds(13 * 3600 + 5 * 60 + 7),
       true};
  const TSEQRunSettings wanted = s;
  editor_->SEQCancel();
  editor_->SEQStoreIfChanged();
  EXPECT_EQ(config.CFGGetThreadDelay(), 0) << "Cancel forgets the change";
  editor_->SEQSettingChanged();
  editor_->SEQStoreIfChanged();
  EXPECT_FALSE(editor_->SEQHasChanged());
  ASSERT_EQ(config.CFGWriteIniFile(dir_.file("out.ini")), 0);
  const auto v = test::ReadIniWithConfigparser(test::ReadFile(dir_.file("out.ini")));
  const std::map<std::string, std::string> keys = {{"SequenceLogErrors", "2"},
                                                   {"SequenceLogType", "1"},
                                                   {"SequenceLogDelimitor", "3"},
                                                   {"SequenceRecord", "1"},
                                                   {"SequenceLogFileName", "%LOG%run.txt"},
                                                   {"IssuerScriptResultFailureRate", "250"},
                                                   {"SequenceRestart", "4"},
                                                   {"SequenceErrorCount", "7"},
                                                   {"ThreadDelay", "15"},
                                                   {"SequenceEndDate", "04.12.2031"},
                                                   {"SequenceEndTime", "13:05:07"},
                                                   {"PermanentRun", "1"}};
  for (const auto& [key, value] : keys) EXPECT_EQ(v.at({"Sequence", key}), value) << key;
  EXPECT_EQ(v.at({"Directories", "Record"}), "%LOG%rec/");

  // Back: a fresh read of that file shows the same controls.
  config.CFGSetFileName(dir_.file("out.ini"));
  config.CFGSetThreadDelay(0);
  config.CFGSetDirRecord("");
  ASSERT_EQ(config.CFGReadIniFile(true), 0);
  editor_->SEQReadSettings();
  TSEQRunSettings back = editor_->SEQSettings();
  back.endDate = wanted.endDate;  // every read of the file sets today's date
  EXPECT_EQ(back, wanted);
}

TEST_F(SequenceEditorTest, APastStopMomentMovesToTodayAndTheDaysEnd) {
  using namespace std::chrono;
  const year_month_day today = year{2026} / 12 / 9;
  struct Case {
    year_month_day date;
    seconds time;
    year_month_day wantDate;
    seconds wantTime;
  };
  const Case cases[] = {
      {year{2026} / 12 / 1, seconds(3600), today, seconds(86399)},
      {today, seconds(12 * 3600), today, seconds(12 * 3600)},
      {today, seconds(3600), today, seconds(86399)},
      {year{2027} / 1 / 2, seconds(60), year{2027} / 1 / 2, seconds(60)},
  };
  for (const Case& c : cases) {
    TSEQRunSettings s;
    s.endDate = c.date;
    s.endTime = c.time;
    SEQAdjustStopTime(s, today, seconds(6 * 3600));
    EXPECT_EQ(s.endDate, c.wantDate);
    EXPECT_EQ(s.endTime, c.wantTime);
  }
}

}  // namespace
}  // namespace kal
