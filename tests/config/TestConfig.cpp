#include "config/Config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "common/TestSupport.h"
#include "config/AliasList.h"
#include "support/TraceLogger.h"

namespace kal {
namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

Values ReadWithConfigparser(const std::string& text) {
  return test::ReadIniWithConfigparser(text);
}

// One setting of the file layout: its default, a sample value and how to
// reach it, all as text.
struct Setting {
  const char* section;
  const char* key;
  std::optional<std::string> defaultText;  // nullopt: checked by its own test
  std::string sample;
  std::function<std::string(const TCFGConfig&)> get;
  std::function<void(TCFGConfig&, const std::string&)> set;  // empty: no setter
};

#define STR(sec, key, def, sample, Get, Set)                                         \
  Setting {                                                                          \
    sec, key, def, sample, [](const TCFGConfig& c) { return std::string(c.Get()); }, \
        [](TCFGConfig& c, const std::string& v) { c.Set(v); }                        \
  }
#define INT(sec, key, def, sample, Get, Set)                                             \
  Setting {                                                                              \
    sec, key, def, sample, [](const TCFGConfig& c) { return std::to_string(+c.Get()); }, \
        [](TCFGConfig& c, const std::string& v) { c.Set(std::stoi(v)); }                 \
  }
#define BYTE(sec, key, def, sample, Get, Set)                                                  \
  Setting {                                                                                    \
    sec, key, def, sample, [](const TCFGConfig& c) { return std::to_string(+c.Get()); },       \
        [](TCFGConfig& c, const std::string& v) { c.Set(static_cast<uint8_t>(std::stoi(v))); } \
  }

std::vector<Setting> Settings(const std::string& dir) {
  return {
      STR("Keys", "SessionKey", "5A C3 19 E4 7B 02 D8 6F 31 9E A4 0C 57 B2 E8 4D", "01 02",
          CFGGetSessionKey, CFGSetSessionKey),
      INT("Keys", "SessionKeyGeneration", "0", "1", CFGGetSessionKeyFromInMessage,
          CFGSetSessionKeyFromInMessage),
      STR("Keys", "PubModulus", std::nullopt, "ABCD", CFGGetPublicKeyModulus,
          CFGSetPublicKeyModulus),
      STR("Keys", "PubExponent", "010001", "03", CFGGetPublicKeyExponent, CFGSetPublicKeyExponent),
      STR("Keys", "PrivModulus", std::nullopt, "BCDE", CFGGetPrivateKeyModulus,
          CFGSetPrivateKeyModulus),
      STR("Keys", "PrivExponent", std::nullopt, "0F", CFGGetPrivateKeyExponent,
          CFGSetPrivateKeyExponent),
      STR("Keys", "ATC", "", "0001", CFGGetATC, CFGSetATC),
      STR("Component", "ComponentID", "12345678901", "99999999999", CFGGetComponentID,
          CFGSetComponentID),
      STR("Component", "ComponentSecret", "E2 07 9B 4C 61 F8 3A D5 0E 72 C4 19 B6 5F 8D 23",
          "11 22", CFGGetComponentSecret, CFGSetComponentSecret),
      STR("Component", "VersionNumber", "20", "21", CFGGetVersionNumber, CFGSetVersionNumber),
      STR("Component", "SpecVersionNumber", "0201", "0700", CFGGetSpecVersionNumber,
          CFGSetSpecVersionNumber),
      BYTE("Component", "EncodingInformation", "0", "2", CFGGetEncodingInformation,
           CFGSetEncodingInformation),
      BYTE("Component", "MacOnly", "1", "0", CFGGetMacOnly, CFGSetMacOnly),
      BYTE("Component", "SenderIDType", "1", "4", CFGGetSenderIDType, CFGSetSenderIDType),
      BYTE("Component", "PublicKeyOwnerIDType", "1", "2", CFGGetPublicKeyOwnerIDType,
           CFGSetPublicKeyOwnerIDType),
      STR("Component", "PublicKeyOwnerID", "12345678", "87654321", CFGGetPublicKeyOwnerID,
          CFGSetPublicKeyOwnerID),
      BYTE("Component", "PublicKeyIndex", "1", "7", CFGGetPublicKeyIndex, CFGSetPublicKeyIndex),
      BYTE("Component", "UserSenderIDType", "1", "9", CFGGetUserSenderIDType,
           CFGSetUserSenderIDType),
      BYTE("Component", "UserSenderIDLength", "11", "15", CFGGetUserSenderIDLength,
           CFGSetUserSenderIDLength),
      BYTE("Component", "UserPublicKeyOwnerIDType", "1", "8", CFGGetUserPublicKeyOwnerIDType,
           CFGSetUserPublicKeyOwnerIDType),
      BYTE("Component", "UserPublicKeyOwnerIDLength", "11", "12", CFGGetUserPublicKeyOwnerIDLength,
           CFGSetUserPublicKeyOwnerIDLength),
      INT("Component", "Upgrade1020", "0", "1", CFGGetUpgrade1020, CFGSetUpgrade1020),
      STR("Component", "XMLMessageHeader", "ep2:message", "ep2:msg", CFGGetMessageHeader,
          CFGSetMessageHeader),
      STR("Component", "XMLMessageAttrib", "xmlns:ep2", "xmlns:ep2; specversion",
          CFGGetMessageHeaderAttribute, CFGSetMessageHeaderAttribute),
      STR("Component", "XMLMessageVal", "http://www.eftpos2000.ch", "urn:x; 0700",
          CFGGetMessageHeaderAttributeValue, CFGSetMessageHeaderAttributeValue),
      INT("Timeout", "InterCharTimeout", "30000", "1234", CFGGetInterCharTimeout,
          CFGSetInterCharTimeout),
      INT("Timeout", "ServerResponseTimeout", "60000", "2345", CFGGetServerResponseTimeout,
          CFGSetServerResponseTimeout),
      INT("Timeout", "HangUpTimeout", "300000", "3456", CFGGetHangUpTimeout, CFGSetHangUpTimeout),
      INT("Timeout", "ConnectionDelay", "2000", "4567", CFGGetConnectionDelay,
          CFGSetConnectionDelay),
      INT("Timeout", "CloseOnResponse", "1", "0", CFGGetCloseOnResponse, CFGSetCloseOnResponse),
      STR("PlugIn", "OutIPAddress", "127.0.0.1", "10.0.0.1", CFGGetPluginOutIPAddress,
          CFGSetPluginOutIPAddress),
      INT("PlugIn", "OutIPPort", "0", "4000", CFGGetPluginOutIPPort, CFGSetPluginOutIPPort),
      INT("PlugIn", "ActivatePluginOut", "0", "1", CFGGetActivatePluginOut,
          CFGSetActivatePluginOut),
      STR("PlugIn", "InIPAddress", "127.0.0.1", "10.0.0.2", CFGGetPluginInIPAddress,
          CFGSetPluginInIPAddress),
      INT("PlugIn", "InIPPort", "0", "4001", CFGGetPluginInIPPort, CFGSetPluginInIPPort),
      INT("PlugIn", "ActivatePluginIn", "0", "1", CFGGetActivatePluginIn, CFGSetActivatePluginIn),
      INT("Sequence", "SequenceRecord", "0", "1", CFGGetSequenceRecord, CFGSetSequenceRecord),
      INT("Sequence", "SequenceLogErrors", "0", "1", CFGGetSequenceLogErrors,
          CFGSetSequenceLogErrors),
      INT("Sequence", "SequenceLogType", "0", "2", CFGGetSequenceLogType, CFGSetSequenceLogType),
      INT("Sequence", "SequenceLogDelimitor", "0", "3", CFGGetSequenceLogDelimitor,
          CFGSetSequenceLogDelimitor),
      STR("Sequence", "SequenceLogFileName", "log.txt", "run.log", CFGGetSequenceLogFileName,
          CFGSetSequenceLogFileName),
      INT("Sequence", "SequenceRestart", "0", "1", CFGGetSequenceRestart, CFGSetSequenceRestart),
      INT("Sequence", "SequenceErrorCount", "1", "5", CFGGetSequenceErrorCount,
          CFGSetSequenceErrorCount),
      INT("Sequence", "PermanentRun", "0", "1", CFGGetPermanentRun, CFGSetPermanentRun),
      INT("Sequence", "IssuerScriptResultFailureRate", "0", "10",
          CFGGetIssuerScriptResultFailureRate, CFGSetIssuerScriptResultFailureRate),
      INT("Sequence", "ThreadDelay", "0", "250", CFGGetThreadDelay, CFGSetThreadDelay),
      STR("Alarm", "AlarmLogFileName", "alarmlog.txt", "alarms/al.txt", CFGGetAlarmLogFileName,
          CFGSetAlarmLogFileName),
      INT("Admin", "UseLogin", "0", "1", CFGGetUseLogin, CFGSetUseLogin),
      STR("Directories", "Message", dir, "/m/", CFGGetDirMessage, CFGSetDirMessage),
      STR("Directories", "Record", dir, "/r/", CFGGetDirRecord, CFGSetDirRecord),
      STR("Directories", "ReadStructure", dir, "/rs/", CFGGetDirReadStructure,
          CFGSetDirReadStructure),
      STR("Directories", "XMLDocStructure", dir, "/x/", CFGGetDirXMLDocStructure,
          CFGSetDirXMLDocStructure),
      STR("Directories", "Sequence", dir, "/s/", CFGGetDirSequence, CFGSetDirSequence),
      STR("Directories", "Config", dir, "/c/", CFGGetDirConfig, CFGSetDirConfig),
      STR("Directories", "PrintToFile", dir, "/p/", CFGGetDirPrintToFile, CFGSetDirPrintToFile),
      STR("Directories", "ValuePoolFile", dir, "/v/", CFGGetDirValuePoolFile,
          CFGSetDirValuePoolFile),
      STR("Directories", "ConfigFileName", "", "named.ini", CFGGetConfigFileName,
          CFGSetConfigFileName),
      INT("Window", "WindowState", "2", "0", CFGGetWindowState, CFGSetWindowState),
      INT("Window", "WindowTop", "0", "10", CFGGetWindowTop, CFGSetWindowTop),
      INT("Window", "WindowHeight", "0", "20", CFGGetWindowHeight, CFGSetWindowHeight),
      INT("Window", "WindowLeft", "0", "30", CFGGetWindowLeft, CFGSetWindowLeft),
      INT("Window", "WindowWidth", "0", "40", CFGGetWindowWidth, CFGSetWindowWidth),
  };
}

std::string TodayText() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%d.%m.%Y", &tm);
  return buf;
}

TEST(Config, EverySettingHasItsDefault) {
  test::TempDir dir;
  const TCFGConfig c(dir.path(), "config.ini", nullptr);
  for (const Setting& s : Settings(dir.path()))
    if (s.defaultText) {
      EXPECT_EQ(s.get(c), *s.defaultText) << s.section << "/" << s.key;
    }
  EXPECT_EQ(c.CFGGetFileName(), dir.path() + "config.ini");
  EXPECT_EQ(c.CFGGetLogToFile(), 0);
  EXPECT_EQ(c.CFGGetCloseOnResponseTemp(), 0);
  EXPECT_TRUE(c.CFGGetCloseRequest());
  EXPECT_EQ(c.CFGGetPublicKeyModulus(), c.CFGGetPrivateKeyModulus());
  EXPECT_EQ(c.CFGGetPublicKeyModulus().size(), 496u);
  EXPECT_EQ(c.CFGGetPrivateKeyExponent().size(), 496u);
  EXPECT_TRUE(c.CFGGetErrorAlarmLines().empty());
  EXPECT_TRUE(c.CFGGetExecutionTimeAlarmLines().empty());
}

TEST(Config, EverySettingRoundTripsThroughAFileThatConfigparserReads) {
  test::TempDir dir;
  const auto settings = Settings(dir.path());
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  for (const Setting& s : settings) s.set(c, s.sample);
  c.CFGSetSequenceEndTime(std::chrono::hours{13} + std::chrono::minutes{5} +
                          std::chrono::seconds{7});
  c.CFGSetSequenceEndDate(std::chrono::year{2031} / 12 / 4);
  for (const char* name : {"a.epm", "b.epm", "c.epm", "d.epm", "e.epm"}) c.CFGAddPickFile(name);
  c.CFGAddPickFileSeq("s.seq");
  c.CFGAddPickFileIni("n.ini");
  c.CFGSetErrorAlarmLines({"3;60;Alarm at $TIME", "1; 1 ;x"});
  c.CFGSetExecutionTimeAlarmLines({"2000;2;60;slow"});
  ASSERT_EQ(c.CFGWriteIniFile("config.ini"), 0);

  const std::string text = test::ReadFile(dir.file("config.ini"));
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines end with CR LF";
  const Values v = ReadWithConfigparser(text);
  for (const Setting& s : settings) {
    const auto it = v.find({s.section, s.key});
    ASSERT_NE(it, v.end()) << s.section << "/" << s.key;
    EXPECT_EQ(it->second, s.sample) << s.section << "/" << s.key;
  }
  const std::map<std::pair<std::string, std::string>, std::string> more = {
      {{"Component", "SenderIDLength"}, "11"},
      {{"Component", "PublicKeyOwnerIDLength"}, "11"},
      {{"Component", "LogToFile"}, "0"},
      {{"Sequence", "SequenceEndTime"}, "13:05:07"},
      {{"Sequence", "SequenceEndDate"}, "04.12.2031"},
      {{"Files", "File0"}, "e.epm"},
      {{"Files", "File3"}, "b.epm"},
      {{"Files", "Sequence0"}, "s.seq"},
      {{"Files", "Sequence1"}, ""},
      {{"Files", "Config0"}, "n.ini"},
      {{"ErrorAlarms", "ErrorAlarm1"}, "3;60;Alarm at $TIME"},
      {{"ErrorAlarms", "ErrorAlarm2"}, "1; 1 ;x"},
      {{"ExecutionTimeAlarms", "ExecutionTimeAlarm1"}, "2000;2;60;slow"},
  };
  for (const auto& [where, value] : more) EXPECT_EQ(v.at(where), value) << where.second;

  TCFGConfig back(dir.path(), "config.ini", nullptr);
  ASSERT_EQ(back.CFGReadIniFile(true), 0);
  for (const Setting& s : settings) EXPECT_EQ(s.get(back), s.sample) << s.section << "/" << s.key;
  EXPECT_EQ(back.CFGGetSequenceEndTime(), std::chrono::seconds{13 * 3600 + 5 * 60 + 7});
  EXPECT_EQ(back.CFGGetPickFile(0), "e.epm");
  EXPECT_EQ(back.CFGGetPickFileSeq(0), "s.seq");
  EXPECT_EQ(back.CFGGetPickFileIni(0), "n.ini");
  // The start-up read leaves the alarm rules to the later partial read.
  EXPECT_TRUE(back.CFGGetErrorAlarmLines().empty());
  ASSERT_EQ(back.CFGReadIniFile(false), 0);
  EXPECT_EQ(back.CFGGetErrorAlarmLines(), c.CFGGetErrorAlarmLines());
  EXPECT_EQ(back.CFGGetExecutionTimeAlarmLines(), c.CFGGetExecutionTimeAlarmLines());
}

// Numbers outside their range never wrap: the setting keeps its value and
// the trace names the key. A file with CR-only line ends reads as its lines.
TEST(Config, ReadingKeepsValuesForUnreadableAndOutOfRangeEntries) {
  test::TempDir dir;
  test::WriteFile(dir.file("config.ini"),
                  "[Component]\rEncodingInformation=300\rLogToFile=1\rMacOnly=yes\r"
                  "UserSenderIDLength=-1\rPublicKeyIndex=255\r"
                  "[Timeout]\rInterCharTimeout=12abc\rHangUpTimeout=99999999999\r"
                  "[Sequence]\rSequenceEndTime=7:05\rSequenceEndDate=01.01.1999\r");
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  TTDBTraceList lines;
  TTDBDebug trace(&lines);
  c.CFGSetTrace(&trace);
  const int32_t hangUp = c.CFGGetHangUpTimeout();
  c.CFGSetSessionKeyFromInMessage(1);
  c.CFGSetSequenceEndDate(std::chrono::year{2000} / 1 / 1);
  ASSERT_EQ(c.CFGReadIniFile(true), 0);
  EXPECT_EQ(c.CFGGetEncodingInformation(), 0);
  EXPECT_EQ(c.CFGGetLogToFile(), 1);
  EXPECT_EQ(c.CFGGetMacOnly(), 1);
  EXPECT_EQ(c.CFGGetUserSenderIDLength(), 11);
  EXPECT_EQ(c.CFGGetPublicKeyIndex(), 255);
  EXPECT_EQ(c.CFGGetInterCharTimeout(), 30000);
  EXPECT_EQ(c.CFGGetHangUpTimeout(), hangUp);
  std::string traced;
  for (const std::string& line : lines.Lines()) traced += line + "\n";
  for (const char* key : {"[Component] EncodingInformation=300 ", "[Component] MacOnly=yes ",
                          "[Component] UserSenderIDLength=-1 ", "[Timeout] InterCharTimeout=12abc ",
                          "[Timeout] HangUpTimeout=99999999999 "})
    EXPECT_NE(traced.find(key), std::string::npos) << key << " in\n" << traced;
  EXPECT_EQ(traced.find("LogToFile"), std::string::npos);
  EXPECT_EQ(c.CFGGetSequenceEndTime(), std::chrono::seconds{7 * 3600 + 5 * 60});
  EXPECT_EQ(c.CFGGetSessionKeyFromInMessage(), 0);  // read with 0 as its default
  ASSERT_EQ(c.CFGWriteIniFile("out.ini"), 0);
  EXPECT_EQ(
      ReadWithConfigparser(test::ReadFile(dir.file("out.ini"))).at({"Sequence", "SequenceEndDate"}),
      TodayText());

  for (const char* bad : {"25:00", "7", "7:5:", "x:10", "12:60:00", "12:00:61", ""}) {
    test::WriteFile(dir.file("config.ini"), std::string("[Sequence]\nSequenceEndTime=") + bad);
    ASSERT_EQ(c.CFGReadIniFile(true), 0);
    EXPECT_EQ(c.CFGGetSequenceEndTime(), std::chrono::seconds{7 * 3600 + 5 * 60}) << bad;
  }
}

TEST(Config, AMissingFileChangesOnlyTheKeyGenerationTheDateAndOnAPartialReadTheAlarms) {
  test::TempDir dir;
  TCFGConfig c(dir.path(), "none.ini", nullptr);
  c.CFGSetComponentID("kept");
  c.CFGSetSessionKeyFromInMessage(1);
  c.CFGSetErrorAlarmLines({"1;1;x"});
  ASSERT_EQ(c.CFGReadIniFile(true), 0);
  EXPECT_EQ(c.CFGGetComponentID(), "kept");
  EXPECT_EQ(c.CFGGetSessionKeyFromInMessage(), 0);
  EXPECT_EQ(c.CFGGetErrorAlarmLines().size(), 1u);
  ASSERT_EQ(c.CFGReadIniFile(false), 0);
  EXPECT_TRUE(c.CFGGetErrorAlarmLines().empty());
  EXPECT_FALSE(std::ifstream(dir.file("none.ini")).good()) << "reading never creates the file";
}

TEST(Config, WithoutANamedFileTheBaseFileIsReadAndWritten) {
  test::TempDir dir;
  test::WriteFile(dir.file("config.ini"),
                  "[Keys]\r\nSessionKeyGeneration=1\r\n[ErrorAlarms]\r\nErrorAlarm1=1;1;x\r\n");
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  c.CFGSetFileName("");
  ASSERT_EQ(c.CFGReadIniFile(false), 0);
  EXPECT_EQ(c.CFGGetSessionKeyFromInMessage(), 1);
  EXPECT_EQ(c.CFGGetErrorAlarmLines(), std::vector<std::string>{"1;1;x"});
  c.CFGSetComponentID("written");
  ASSERT_EQ(c.CFGWriteIniFile(" "), 0);
  EXPECT_NE(test::ReadFile(dir.file("config.ini")).find("ComponentID=written\r\n"),
            std::string::npos);
  // The file holds the private key: only its owner reads it.
  struct stat st {};
  ASSERT_EQ(stat(dir.file("config.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Config, FailuresAreReportedAndNeverDestroyAFile) {
  test::TempDir dir;
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  EXPECT_EQ(c.CFGWriteIniFile("no/such/folder/x.ini"), ENOENT);

  // A file too large to load is neither read over the settings nor replaced.
  const std::string big = "[Component]\r\nComponentID=big\r\n" +
                          std::string(TPLTIniFile::PLTcMaxIniBytes, ';') + "\r\n";
  test::WriteFile(dir.file("big.ini"), big);
  c.CFGSetFileName(dir.file("big.ini"));
  c.CFGSetErrorAlarmLines({"1;1;x"});
  EXPECT_EQ(c.CFGReadIniFile(false), EFBIG);
  EXPECT_EQ(c.CFGGetComponentID(), "12345678901");
  EXPECT_EQ(c.CFGGetErrorAlarmLines().size(), 1u);
  EXPECT_EQ(c.CFGWriteIniFile(dir.file("big.ini")), EFBIG);
  EXPECT_EQ(test::ReadFile(dir.file("big.ini")).size(), big.size());
}

TEST(Config, WritingReplacesTheAlarmSectionsAndKeepsForeignContent) {
  test::TempDir dir;
  const std::string foreign = "[Notes]\r\n; my own remarks\r\nWho = me \r\n";
  test::WriteFile(dir.file("config.ini"),
                  foreign +
                      "[ErrorAlarms]\r\nErrorAlarm1=1;1;a\r\nErrorAlarm2=1;1;b\r\n"
                      "ErrorAlarm3=1;1;c\r\n[Keys]\r\nATC = 5\r\n");
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  ASSERT_EQ(c.CFGReadIniFile(false), 0);
  EXPECT_EQ(c.CFGGetErrorAlarmLines(), (std::vector<std::string>{"1;1;a", "1;1;b", "1;1;c"}));
  c.CFGSetErrorAlarmLines({"2;5;only"});
  ASSERT_EQ(c.CFGWriteIniFile("config.ini"), 0);
  const std::string text = test::ReadFile(dir.file("config.ini"));
  EXPECT_EQ(text.rfind(foreign, 0), 0u) << "the foreign section stays byte for byte";
  const Values v = ReadWithConfigparser(text);
  EXPECT_EQ(v.at({"ErrorAlarms", "ErrorAlarm1"}), "2;5;only");
  EXPECT_FALSE(v.count({"ErrorAlarms", "ErrorAlarm2"}));
  EXPECT_EQ(v.at({"Keys", "ATC"}), "5");

  // Only a missing key ends the list: a rule whose text holds the old end
  // marker stays, a line that is no rule is dropped, the rule behind the gap
  // at key 5 is not read.
  test::WriteFile(dir.file("config.ini"),
                  "[ExecutionTimeAlarms]\nExecutionTimeAlarm1=1;1;1;x\n"
                  "ExecutionTimeAlarm2=End of section\nExecutionTimeAlarm3=1;1;1;y End of section\n"
                  "ExecutionTimeAlarm4=;;;\nExecutionTimeAlarm6=1;1;1;z\n");
  ASSERT_EQ(c.CFGReadIniFile(false), 0);
  EXPECT_EQ(c.CFGGetExecutionTimeAlarmLines(),
            (std::vector<std::string>{"1;1;1;x", "1;1;1;y End of section", ";;;"}));
}

TEST(Config, TheCommunicationSectionIsKeptThroughTheInterface) {
  test::TempDir dir;
  test::WriteFile(dir.file("config.ini"),
                  "[Communication]\r\nCommType=1\r\nEthernetIPAddr=host.example\r\n"
                  "ModemPassword=cGFzcw==\r\n");
  TCFGKeptCommSection comm;
  TCFGConfig c(dir.path(), "config.ini", &comm);
  ASSERT_EQ(c.CFGReadIniFile(true), 0);
  EXPECT_EQ(comm.CFGGetValue("EthernetIPAddr"), "host.example");
  ASSERT_EQ(c.CFGWriteIniFile("other.ini"), 0);
  const Values v = ReadWithConfigparser(test::ReadFile(dir.file("other.ini")));
  EXPECT_EQ(v.at({"Communication", "CommType"}), "1");
  EXPECT_EQ(v.at({"Communication", "ModemPassword"}), "cGFzcw==");
  EXPECT_FALSE(v.count({"Communication", "ModemIPAddr"})) << "keys never read are not invented";
}

std::string OldFile(const std::string& upgrade, const std::string& val) {
  return "[Component]\r\nVersionNumber=10\r\nUpgrade1020=" + upgrade +
         "\r\nXMLMessageAttrib=xmlns:ep2\r\nXMLMessageVal=" + val +
         "\r\n[Directories]\r\nMessage=/old/messages/\r\n[Window]\r\nWindowTop=77\r\n"
         "[Files]\r\nFile0=/old/a.epm\r\n[ErrorAlarms]\r\nErrorAlarm1=1;1;old rule\r\n"
         "[Private]\r\nmine=1\r\n";
}

TEST(Config, AnOldFileIsUpgradedAndRewrittenWithoutLosingAnySection) {
  for (const bool startup : {true, false}) {
    test::TempDir dir;
    test::WriteFile(dir.file("config.ini"), OldFile("1", "http://old.example"));
    TCFGConfig c(dir.path(), "config.ini", nullptr);
    ASSERT_EQ(c.CFGReadIniFile(startup), 0);
    EXPECT_EQ(c.CFGGetVersionNumber(), "20");
    EXPECT_EQ(c.CFGGetMessageHeaderAttribute(), "xmlns:ep2; specversion");
    EXPECT_EQ(c.CFGGetMessageHeaderAttributeValue(), "http://old.example; 0201");
    EXPECT_EQ(c.CFGGetSpecVersionNumber(), "0201");
    const Values v = ReadWithConfigparser(test::ReadFile(dir.file("config.ini")));
    EXPECT_EQ(v.at({"Component", "VersionNumber"}), "20") << startup;
    EXPECT_EQ(v.at({"Component", "XMLMessageVal"}), "http://old.example; 0201");
    EXPECT_EQ(v.at({"Directories", "Message"}), "/old/messages/") << startup;
    EXPECT_EQ(v.at({"Window", "WindowTop"}), "77") << startup;
    EXPECT_EQ(v.at({"Files", "File0"}), "/old/a.epm") << startup;
    EXPECT_EQ(v.at({"ErrorAlarms", "ErrorAlarm1"}), "1;1;old rule") << startup;
    EXPECT_EQ(v.at({"Private", "mine"}), "1");
  }
}

TEST(Config, TheUpgradeAddsNoSecondSeparatorAndIsSkippedWhenNotAskedFor) {
  test::TempDir dir;
  test::WriteFile(dir.file("config.ini"), OldFile("1", " urn:x; "));
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  ASSERT_EQ(c.CFGReadIniFile(true), 0);
  EXPECT_EQ(c.CFGGetMessageHeaderAttributeValue(), "urn:x; 0201");

  const std::string old = OldFile("0", "urn:x");
  test::WriteFile(dir.file("config.ini"), old);
  TCFGConfig off(dir.path(), "config.ini", nullptr);
  ASSERT_EQ(off.CFGReadIniFile(true), 0);
  EXPECT_EQ(off.CFGGetVersionNumber(), "10");
  EXPECT_EQ(off.CFGGetMessageHeaderAttribute(), "xmlns:ep2");
  EXPECT_EQ(test::ReadFile(dir.file("config.ini")), old);

  // With specversion already there only the version changes, in memory.
  std::string present = old;
  present.replace(present.find("Upgrade1020=0"), 13, "Upgrade1020=1");
  present.replace(present.find("xmlns:ep2"), 9, "xmlns:ep2;specversion");
  test::WriteFile(dir.file("config.ini"), present);
  ASSERT_EQ(off.CFGReadIniFile(true), 0);
  EXPECT_EQ(off.CFGGetVersionNumber(), "20");
  EXPECT_EQ(off.CFGGetMessageHeaderAttribute(), "xmlns:ep2;specversion");
  EXPECT_EQ(test::ReadFile(dir.file("config.ini")), present);
}

TEST(Config, SpecificationVersionTestsCompareNumbers) {
  struct Case {
    const char* attrib;
    const char* val;
    bool above500, above520, above600, above700;
  };
  const Case cases[] = {
      {"xmlns:ep2;specversion", "http://x;0600", true, true, true, false},
      {"xmlns:ep2; specversion", "http://x; 0520", true, true, false, false},
      {"xmlns:ep2;specversion", "http://x;0201", false, false, false, false},
      {"specversion", "1000", true, true, true, true},  // above "5" as a number
      {"specversion", "0700", true, true, true, true},
      {"specversion", "0499", false, false, false, false},
      {"a;specversion", "0;0600", true, true, true, false},  // a zero value does not end the list
      {"specversion", "06x0", false, false, false, false},
      {"specversion", "99999999999999", true, true, true, true},
      {"xmlns:ep2", "0700", false, false, false, false},
      {"SpecVersion", "0700", false, false, false, false},
      {"a;;specversion", "1;2;0700", false, false, false, false},  // an empty name ends it
  };
  test::TempDir dir;
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  for (const Case& k : cases) {
    c.CFGSetMessageHeaderAttribute(k.attrib);
    c.CFGSetMessageHeaderAttributeValue(k.val);
    EXPECT_EQ(c.CFGVersionAbove500(), k.above500) << k.attrib << " / " << k.val;
    EXPECT_EQ(c.CFGVersionAbove520(), k.above520) << k.attrib << " / " << k.val;
    EXPECT_EQ(c.CFGVersionAbove600(), k.above600) << k.attrib << " / " << k.val;
    EXPECT_EQ(c.CFGVersionAbove700(), k.above700) << k.attrib << " / " << k.val;
  }
}

TEST(Config, RecentFileListsKeepFourAndIgnoreRepeats) {
  test::TempDir dir;
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  for (const char* n : {"a", "b", "c", "d"}) c.CFGAddPickFileSeq(n);
  c.CFGAddPickFileSeq("c");  // at entry 1: nothing moves
  c.CFGAddPickFileSeq("A");  // case counts
  EXPECT_EQ(c.CFGGetPickFileSeq(0), "A");
  EXPECT_EQ(c.CFGGetPickFileSeq(1), "d");
  EXPECT_EQ(c.CFGGetPickFileSeq(2), "c");
  EXPECT_EQ(c.CFGGetPickFileSeq(3), "b");
  EXPECT_EQ(c.CFGGetPickFileSeq(4), "");
  EXPECT_EQ(c.CFGGetPickFileSeq(-1), "");
  EXPECT_EQ(c.CFGGetPickFile(0), "") << "the three lists are separate";
}

TEST(Config, SenderAndOwnerTypesFollowTheStoredChoice) {
  test::TempDir dir;
  test::WriteFile(dir.file("config.ini"),
                  "[Component]\r\nSenderIDType=6\r\nUserSenderIDType=9\r\nUserSenderIDLength=5\r\n"
                  "PublicKeyOwnerIDType=2\r\nUserPublicKeyOwnerIDType=7\r\n"
                  "UserPublicKeyOwnerIDLength=4\r\n");
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  ASSERT_EQ(c.CFGReadIniFile(true), 0);
  EXPECT_TRUE(c.CFGGetSenderIDUserChoice());
  EXPECT_EQ(c.CFGGetSenderIDType(), 9);
  EXPECT_FALSE(c.CFGGetPublicKeyOwnerIDUserChoice());
  EXPECT_EQ(c.CFGGetPublicKeyOwnerIDType(), 2);
  EXPECT_EQ(c.CFGGetSenderIDLength(3), 8);
  EXPECT_EQ(c.CFGGetSenderIDLength(5), 11);
  EXPECT_EQ(c.CFGGetSenderIDLength(6), 5);
  EXPECT_EQ(c.CFGGetPublicKeyOwnerIDLength(3), 11);
  EXPECT_EQ(c.CFGGetPublicKeyOwnerIDLength(4), 4);

  // The dialog picks the owner's user value: the type goes to both fields.
  c.CFGSetPublicKeyOwnerIDUserChoice(true);
  c.CFGSetPublicKeyOwnerIDType(4);
  EXPECT_EQ(c.CFGGetUserPublicKeyOwnerIDType(), 4);
  c.CFGSetSenderIDUserChoice(false);
  c.CFGSetSenderIDType(2);
  EXPECT_EQ(c.CFGGetSenderIDType(), 2);
  EXPECT_EQ(c.CFGGetUserSenderIDType(), 9);
}

TEST(Config, DefaultKeySetsAreRsaKeyPairs) {
  test::TempDir dir;
  TCFGConfig c(dir.path(), "config.ini", nullptr);
  c.CFGSetSessionKeyFromInMessage(1);
  std::string input;
  const auto add = [&] {
    input += c.CFGGetPublicKeyModulus() + " " + c.CFGGetPublicKeyExponent() + " " +
             c.CFGGetPrivateKeyExponent() + "\n";
  };
  c.CFGSetDefaultKeyValues24();
  EXPECT_EQ(c.CFGGetSessionKey(),
            "3F 8A 61 D2 0B 9C 47 E5 A8 14 6D F3 22 C9 7E 05 B1 58 E6 0A 93 4C D7 6B");
  EXPECT_EQ(c.CFGGetPublicKeyModulus().size(), 512u);
  EXPECT_EQ(c.CFGGetPrivateKeyExponent().size(), 512u);
  EXPECT_EQ(c.CFGGetPrivateKeyModulus(), c.CFGGetPublicKeyModulus());
  EXPECT_EQ(c.CFGGetSessionKeyFromInMessage(), 0);
  add();
  c.CFGSetDefaultKeyValues();
  EXPECT_EQ(c.CFGGetSessionKey(), "5A C3 19 E4 7B 02 D8 6F 31 9E A4 0C 57 B2 E8 4D");
  add();
  const std::string out = test::RunPython(R"PY(
import sys
for line in sys.stdin:
    n, e, d = (int(x, 16) for x in line.split())
    ok = all(pow(pow(m, e, n), d, n) == m for m in (2, 3, 0x1234567890ABCDEF, n - 2))
    print(n.bit_length(), 'ok' if ok else 'bad')
)PY",
                                          input);
  EXPECT_EQ(out, "2048 ok\n1984 ok\n");
}

TEST(Config, CheckFileCreatesTheNamedFileInTheProgramFolder) {
  test::TempDir dir;
  const TCFGConfig c(dir.path(), "config.ini", nullptr);
  TALUAliasList aliases(dir.path());
  aliases.ALUAddAlias("LOGS", dir.path() + "logs", false);
  std::string message = "stale";
  ASSERT_EQ(mkdir(dir.file("logs").c_str(), 0755), 0);

  EXPECT_EQ(c.CFGCheckFile(aliases, "alarmlog.txt", "err:", message), 0);
  EXPECT_EQ(message, "");
  EXPECT_EQ(test::ReadFile(dir.file("alarmlog.txt")), "");
  EXPECT_EQ(c.CFGResolveFileName(aliases, "alarmlog.txt"), dir.file("alarmlog.txt"));

  test::WriteFile(dir.file("logs/al.txt"), "old entries\r\n");
  EXPECT_EQ(c.CFGCheckFile(aliases, "logs/al.txt", "err:", message), 0);
  EXPECT_EQ(test::ReadFile(dir.file("logs/al.txt")), "old entries\r\n");
  EXPECT_EQ(c.CFGResolveFileName(aliases, "logs/al.txt"), dir.file("logs/al.txt"));

  EXPECT_EQ(c.CFGCheckFile(aliases, "   ", "err:", message), 0);
  EXPECT_NE(c.CFGCheckFile(aliases, "missing/al.txt", "Can not create:", message), 0);
  EXPECT_EQ(message, "Can not create: Filename=missing/al.txt");
}

}  // namespace
}  // namespace kal
