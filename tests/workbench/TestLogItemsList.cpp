#include "workbench/LogItemsList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "common/TestSupport.h"

namespace kal {
namespace {

// 14.11.2023 22:13:20 in UTC.
constexpr std::time_t kNow = 1700000000;

class LogItemsListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  TLUXLogItemsList Make() {
    return TLUXLogItemsList(dir_.path(), TLSICounter::Steady(), [] { return kNow; });
  }
  test::TempDir dir_;
};

TEST_F(LogItemsListTest, DelimitedLinesReadBackWithPythonCsvForEveryDelimiter) {
  const std::vector<std::string> titles = {"Empty1", "Empty2", "Seven", "Holds<d>",
                                           "Quote",  "Lines",  "Time"};
  for (char d : std::string(",.;:+*/\\\t")) {
    auto subst = [d](std::string s) {
      const size_t at = s.find("<d>");
      if (at != std::string::npos) s.replace(at, 3, std::string(1, d));
      return s;
    };
    TLUXLogItemsList list = Make();
    list.LUXEmptyList();
    const std::vector<std::string> tags = {"A", "B", "C", "D", "E", "F", "$TIME"};
    for (size_t i = 0; i < titles.size(); ++i)
      list.LUXAddItem({subst(titles[i]), tags[i], "", false, 0, TLUXLogItemsList::LUXcDelimited});
    const std::vector<std::string> values = {
        "", "", "7", subst("x<d>y"), "say \"hi\"", "two\r\nlines", "22:13:20"};
    for (size_t i = 0; i + 1 < values.size(); ++i) list.LUXAcceptItem(tags[i], values[i]);

    const std::string title = list.LUXGenerateDelimitorSeparatedTitleLine(d);
    const std::string line =
        list.LUXGenerateDelimitorSeparatedString(list.LUXGetLSILogStatistics(), d);
    EXPECT_EQ(line.substr(0, 3), (std::string{d, d, '7'}));
    const std::string rows = test::RunPython(
        "import csv, io, json, sys\n"
        "text = sys.stdin.buffer.read().decode()\n"
        "print(json.dumps(list(csv.reader(io.StringIO(text, newline=''), delimiter=" +
            (d == '\\'   ? std::string("'\\\\'")
             : d == '\t' ? "'\\t'"
                         : "'" + std::string(1, d) + "'") +
            "))))\n",
        title + "\r\n" + line + "\r\n");
    std::string expected = "[[";
    auto json = [](const std::string& s) {
      std::string out = "\"";
      for (char c : s) {
        if (c == '"' || c == '\\')
          out += '\\', out += c;
        else if (c == '\r')
          out += "\\r";
        else if (c == '\n')
          out += "\\n";
        else if (c == '\t')
          out += "\\t";
        else
          out += c;
      }
      return out + "\"";
    };
    for (size_t i = 0; i < titles.size(); ++i) expected += (i ? ", " : "") + json(subst(titles[i]));
    expected += "], [";
    for (size_t i = 0; i < values.size(); ++i) expected += (i ? ", " : "") + json(values[i]);
    expected += "]]\n";
    EXPECT_EQ(rows, expected) << "delimiter " << d;
  }
}

TEST_F(LogItemsListTest, FixedWidthAndWatchdogLinesFromTheColumnFile) {
  test::WriteFile(dir_.file("logfile.ini"),
                  "Time;$TIME;8\r\n   \r\n  No ; $EXECTIME ;5\r\nName;Root;abc;more\r\n"
                  "AB;$ERROR;5\r\nDate;$DATE; 12 \r\nLong;Long;2");
  TLUXLogItemsList list = Make();
  list.LUXGetLSILogStatistics().LSISetExecutionTime(42);
  list.LUXAcceptItem("Root", "  ep2Request ");
  list.LUXAcceptItem("Root", "second");  // the first value stays
  list.LUXAcceptItem("Long", "longer than two");
  const auto& stats = list.LUXGetLSILogStatistics();
  EXPECT_EQ(list.LUXGenerateFixWidthString(stats),
            "22:13:20   "
            "   42   "
            "ep2Request   "
            "        "
            "  14.11.2023   "
            "longer than two   ");
  EXPECT_EQ(list.LUXGenerateWatchdogTitleLine(),
            "  Time     "
            "  No    "
            "Name   "
            "  AB    "
            "    Date       "
            "Long   ");
  // Without "delimlogfile.ini" the same columns make the delimited log.
  EXPECT_EQ(list.LUXGenerateDelimitorSeparatedTitleLine(';'), "Time;No ;Name;AB;Date;Long");

  // The next message shows none of this one's values.
  list.LUXReset();
  EXPECT_EQ(list.LUXGenerateDelimitorSeparatedString(stats, ';'), "22:13:20;0;;;14.11.2023;");
  list.LUXAcceptItem("Root", "next");
  EXPECT_EQ(list.LUXGenerateDelimitorSeparatedString(stats, ';'), "22:13:20;0;next;;14.11.2023;");
}

TEST_F(LogItemsListTest, TheDelimitedFileHasColumnsOfItsOwn) {
  test::WriteFile(dir_.file("logfile.ini"), "Fixed;$EXECTIME;4\r\n");
  test::WriteFile(dir_.file("delimlogfile.ini"), "Root;$SENDMESSAGE;0\nAnswer;$RECEIVEDMESSAGE\n");
  TLUXLogItemsList list = Make();
  EXPECT_EQ(list.LUXGenerateDelimitorSeparatedTitleLine(','), "Root,Answer");
  EXPECT_EQ(list.LUXGenerateWatchdogTitleLine(), "Fixed   ");

  test::WriteFile(dir_.file("delimlogfile.ini"), "");
  EXPECT_EQ(Make().LUXGenerateDelimitorSeparatedTitleLine(','), "");
  std::filesystem::remove(dir_.file("logfile.ini"));
  std::filesystem::remove(dir_.file("delimlogfile.ini"));
  EXPECT_TRUE(Make().LUXItems().empty());
}

}  // namespace
}  // namespace kal
