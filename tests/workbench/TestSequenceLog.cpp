#include "workbench/SequenceLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/TestSupport.h"
#include "ep2/TreePrintReader.h"
#include "support/PrintLayout.h"
#include "workbench/MessageTestHelpers.h"

namespace kal {
namespace {

constexpr std::time_t kNow = 1700000000;  // 14.11.2023 22:13:20 UTC

class SequenceLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    test::WriteFile(dir_.file("logfile.ini"), "Exec;$EXECTIME;4\r\nRoot;$SENDMESSAGE;0\r\n");
    list_ =
        std::make_unique<TLUXLogItemsList>(dir_.path(), TLSICounter::Steady(), [] { return kNow; });
  }
  test::TempDir dir_;
  std::unique_ptr<TLUXLogItemsList> list_;
  std::vector<std::string> notices_;
  TSEQLogWriter writer_{dir_.path(), [] { return kNow; },
                        [this](const std::string& text) { notices_.push_back(text); }};
};

TEST(SequenceLogName, TheCountGoesBeforeTheExtensionOfTheFileName) {
  const std::tuple<std::string, int, std::string> cases[] = {
      {"run.txt", 1, "run.0.txt"},       {"run.txt", 99, "run.0.txt"},
      {"run.txt", 100, "run.1.txt"},     {"run.txt", 250, "run.2.txt"},
      {"logs.d/run", 5, "logs.d/run.0"}, {"a.b/c.log.txt", 1, "a.b/c.log.0.txt"},
      {"/abs/run", 100, "/abs/run.1"},
  };
  for (const auto& [field, count, name] : cases)
    EXPECT_EQ(TSEQLogWriter::SEQLogFileName(field, count), name) << field << " " << count;
  EXPECT_EQ(TSEQLogWriter::SEQDelimiter(";"), ';');
  EXPECT_EQ(TSEQLogWriter::SEQDelimiter("  Tab"), '\t');
}

TEST_F(SequenceLogTest, EntriesAppendUntilEveryHundredthStartsItsFileAnew) {
  const TSEQLogSettings watchdog{TSEQLogWriter::SEQcLogAll, TSEQLogWriter::SEQcTypeWatchdog, ",",
                                 "run.txt"};
  const std::string title = "Exec   Root   \r\n";
  auto& stats = list_->LUXGetLSILogStatistics();
  TSEQLogEntry entry;
  writer_.SEQStartRun();
  for (int i = 1; i <= 101; ++i) {
    stats.LSISetExecutionTime(i);
    ASSERT_TRUE(writer_.SEQLog(watchdog, *list_, stats, entry));
  }
  EXPECT_EQ(writer_.SEQiLogCount, 101);
  const std::string first = test::ReadFile(dir_.file("run.0.txt"));
  EXPECT_EQ(first.substr(0, title.size() + 12), title + "   1      \r\n");
  EXPECT_EQ(test::SplitLines(first).size(), 100u);  // title and entries 1 to 99
  EXPECT_EQ(test::ReadFile(dir_.file("run.1.txt")), title + " 100      \r\n 101      \r\n");

  // A new run creates its first file anew; after an error, entry 100 goes on
  // in the existing file.
  writer_.SEQStartRun();
  entry.errorCount = 1;
  for (int i = 1; i <= 100; ++i) ASSERT_TRUE(writer_.SEQLog(watchdog, *list_, stats, entry));
  EXPECT_EQ(test::SplitLines(test::ReadFile(dir_.file("run.0.txt"))).size(), 100u);
  EXPECT_EQ(test::SplitLines(test::ReadFile(dir_.file("run.1.txt"))).size(), 4u);

  // "errors" writes only messages with an error text; "none" nothing.
  TSEQLogSettings errorsOnly = watchdog;
  errorsOnly.logging = TSEQLogWriter::SEQcLogErrors;
  EXPECT_FALSE(writer_.SEQLog(errorsOnly, *list_, stats, entry));
  stats.LSISetErrorText("failed");
  EXPECT_TRUE(writer_.SEQLog(errorsOnly, *list_, stats, entry));
  errorsOnly.logging = TSEQLogWriter::SEQcLogNone;
  EXPECT_FALSE(writer_.SEQLog(errorsOnly, *list_, stats, entry));
  EXPECT_EQ(writer_.SEQiLogCount, 101);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(SequenceLogTest, DebugEntryAndSummaryGolden) {
  // The source tree: every node in tree order, collapsed or not.
  TXMLMessageTree source;
  TXMLTreeNode* root = test::AddElement(source, nullptr, "ep2Request", "");
  test::AddElement(source, test::AddElement(source, root, "Header", ""), "Version", "");
  test::AddElement(source, root, "Body", "");
  root->SetExpanded(false);
  const TXMLTreePrintReader tree(source);
  TSEQLogEntry entry;
  entry.row = 3;
  entry.errorCount = 2;
  entry.clientMessage = "req.epm";
  entry.serverMessage = "rsp.epm";
  entry.sourceTree = &tree;
  entry.sendXml = "<a>\r\n</a>";
  entry.sendStream = "00 01";
  entry.receivedXml = "<b/>";
  entry.messageContent = "content";
  const TSEQLogSettings debug{TSEQLogWriter::SEQcLogAll, TSEQLogWriter::SEQcTypeDebug, ",",
                              "debug.log"};
  writer_.SEQStartRun();
  ASSERT_TRUE(writer_.SEQLog(debug, *list_, list_->LUXGetLSILogStatistics(), entry));
  const std::string rule(52, '=');
  EXPECT_EQ(
      test::ReadFile(dir_.file("debug.0.log")),
      rule +
          "\r\n"
          "         Log entry nr 1\r\n" +
          rule +
          "\r\n"
          "Date and time:  14.11.2023 22:13:20\r\n"
          "Sequence line:  3\r\n"
          "Error count:    2\r\n"
          "Client message: req.epm\r\n"
          "Server message: rsp.epm\r\n"
          "\r\n\r\n"
          "Source Window\r\n=============\r\nep2Request\r\n   Header\r\n      Version\r\n"
          "   Body\r\n\r\n"
          "Send Message: XML Document\r\n==========================\r\n\r\n<a>\r\n</a>\r\n\r\n"
          "Send Message: Data Stream\r\n=========================\r\n00 01\r\n\r\n"
          "Received Message: Reference Structure\r\n"
          "=====================================\r\n\r\n"
          "Received Message: Data Stream\r\n=============================\r\n\r\n"
          "Received Message: XML Document\r\n==============================\r\n\r\n<b/>\r\n\r\n"
          "Received Message: Header and Security Items\r\n"
          "===========================================\r\n\r\n\r\n"
          "Received Message: Message Content\r\n"
          "=================================\r\ncontent\r\n\r\n");

  const TSEQLogFigures figures{"12", "11", "1", "10", "30", "20", 1};
  ASSERT_TRUE(writer_.SEQLogSummary(debug, *list_, figures));
  const std::string log = test::ReadFile(dir_.file("debug.0.log"));
  EXPECT_EQ(log.substr(log.find(std::string(52, '*'))),
            std::string(52, '*') +
                "\r\nSummary\r\n=======\r\n"
                "Number of send messages            12\r\n"
                "Number of received messages        11\r\n"
                "Number of errors                    1\r\n"
                "Minimum execution time             10 [ms]\r\n"
                "Maximum execution time             30 [ms]\r\n"
                "Average execution time             20 [ms]\r\n");
  TSEQLogSettings delimited = debug;
  delimited.logType = TSEQLogWriter::SEQcTypeDelimited;
  EXPECT_FALSE(writer_.SEQLogSummary(delimited, *list_, figures));
}

TEST_F(SequenceLogTest, ALogPathUnderAFileGivesOneNoticeAndLaterEntriesAreTried) {
  test::WriteFile(dir_.file("plain"), "x");
  const TSEQLogSettings settings{TSEQLogWriter::SEQcLogAll, TSEQLogWriter::SEQcTypeDelimited,
                                 "  Tab", "plain/run.txt"};
  const auto& stats = list_->LUXGetLSILogStatistics();
  writer_.SEQStartRun();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(writer_.SEQLog(settings, *list_, stats, {}));
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_NE(notices_[0].find(dir_.file("plain/run.0.txt")), std::string::npos) << notices_[0];
  std::filesystem::remove(dir_.file("plain"));
  std::filesystem::create_directory(dir_.file("plain"));
  EXPECT_TRUE(writer_.SEQLog(settings, *list_, stats, {}));
  EXPECT_EQ(test::ReadFile(dir_.file("plain/run.0.txt")), "Exec\tRoot\r\n0\t\r\n");
  EXPECT_EQ(notices_.size(), 1u);
}

}  // namespace
}  // namespace kal
