#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "common/TestSupport.h"

namespace kal {
namespace {

TEST(IniFile, LookupIgnoresCaseTrimsAndTakesTheFirstMatch) {
  TPLTIniFile ini;
  ini.PLTParse(
      "[Keys]\n"
      "  SessionKey   =   5A C3  \n"
      "sessionkey=second\n"
      "Empty=\n"
      "; Hidden=comment\n"
      "# Also=comment\n"
      "NoEquals\n"
      "[ keys ]\n"
      "ATC=from the duplicate section\n"
      "[Other]\r\n"
      "ATC=other\r\n");
  EXPECT_EQ(ini.PLTReadString("KEYS", "SESSIONKEY", "d"), "5A C3");
  EXPECT_EQ(ini.PLTReadString("keys", "Empty", "d"), "");
  EXPECT_EQ(ini.PLTReadString("Keys", "Hidden", "d"), "d");
  EXPECT_EQ(ini.PLTReadString("Keys", "Also", "d"), "d");
  EXPECT_EQ(ini.PLTReadString("Keys", "NoEquals", "d"), "d");
  // The second [keys] section is never consulted.
  EXPECT_EQ(ini.PLTReadString("Keys", "ATC", "d"), "d");
  EXPECT_EQ(ini.PLTReadString("other", "atc", "d"), "other");
  EXPECT_EQ(ini.PLTReadString("Missing", "ATC", "d"), "d");
  EXPECT_TRUE(ini.PLTValueExists("keys", "empty"));
  EXPECT_FALSE(ini.PLTValueExists("keys", "NoEquals"));
  EXPECT_TRUE(ini.PLTSectionExists("OTHER"));
}

TEST(IniFile, IntegersReadLenientlyWithTheDefaultForAnythingUnreadable) {
  TPLTIniFile ini;
  ini.PLTParse(
      "[N]\nplain=12\nblanks=  -5  \nplus=+7\nmin=-2147483648\nmax=2147483647\n"
      "over=2147483648\nunder=-2147483649\ntrailing=12abc\nhex=0x10\nempty=\nsign=-\n"
      "inner=1 2\n");
  EXPECT_EQ(ini.PLTReadInteger("N", "plain", 99), 12);
  EXPECT_EQ(ini.PLTReadInteger("N", "blanks", 99), -5);
  EXPECT_EQ(ini.PLTReadInteger("N", "plus", 99), 7);
  EXPECT_EQ(ini.PLTReadInteger("N", "min", 99), INT32_MIN);
  EXPECT_EQ(ini.PLTReadInteger("N", "max", 99), INT32_MAX);
  for (const char* key : {"over", "under", "trailing", "hex", "empty", "sign", "inner", "missing"})
    EXPECT_EQ(ini.PLTReadInteger("N", key, 99), 99) << key;
}

TEST(IniFile, WritingChangesKeysInPlaceAndKeepsEverythingElse) {
  TPLTIniFile ini;
  ini.PLTParse(
      "; written by hand\n"
      "[Unknown Section]\n"
      "weird line without equals\n"
      "  Key = keep  me  \n"
      "\n"
      "[Timeout]\n"
      "InterCharTimeout = 30000\n"
      "HangUpTimeout=300000\n"
      "; closing comment\n"
      "\n"
      "[Tail]\n"
      "x=1");
  ini.PLTWriteInteger("timeout", "INTERCHARTIMEOUT", 500);   // key keeps its spelling
  ini.PLTWriteInteger("Timeout", "HangUpTimeout", 300000);   // same value: line untouched
  ini.PLTWriteString("Timeout", "ConnectionDelay", "2000");  // new key behind the last one
  ini.PLTWriteString("Empty", "A", "1");                     // new section at the end
  EXPECT_EQ(ini.PLTText(),
            "; written by hand\r\n"
            "[Unknown Section]\r\n"
            "weird line without equals\r\n"
            "  Key = keep  me  \r\n"
            "\r\n"
            "[Timeout]\r\n"
            "InterCharTimeout=500\r\n"
            "HangUpTimeout=300000\r\n"
            "ConnectionDelay=2000\r\n"
            "; closing comment\r\n"
            "\r\n"
            "[Tail]\r\n"
            "x=1\r\n"
            "\r\n"
            "[Empty]\r\n"
            "A=1\r\n");
}

TEST(IniFile, NewKeysGoRightBehindTheHeaderOfASectionWithoutKeys) {
  TPLTIniFile ini;
  ini.PLTParse("[A]\r\n; only a comment\r\n\r\n[B]\r\nk=v\r\n");
  ini.PLTWriteString("A", "first", "1");
  ini.PLTWriteString("A", "second", "2");
  ini.PLTWriteString("A", "FIRST", "3");
  EXPECT_EQ(ini.PLTText(), "[A]\r\nfirst=3\r\nsecond=2\r\n; only a comment\r\n\r\n[B]\r\nk=v\r\n");
  TPLTIniFile empty;
  empty.PLTWriteString("S", "k", "v");
  EXPECT_EQ(empty.PLTText(), "[S]\r\nk=v\r\n");
}

TEST(IniFile, LineBreaksInAValueCannotStartANewLine) {
  TPLTIniFile ini;
  ini.PLTWriteString("S", "k", "a\r\n[Evil]\ninjected=1");
  TPLTIniFile back;
  back.PLTParse(ini.PLTText());
  EXPECT_FALSE(back.PLTSectionExists("Evil"));
  EXPECT_EQ(back.PLTReadString("S", "k", ""), "a  [Evil] injected=1");
}

TEST(IniFile, EraseSectionRemovesEveryCopyAndKeepsTheRest) {
  TPLTIniFile ini;
  ini.PLTParse(
      "[A]\r\na=1\r\n[ErrorAlarms]\r\nErrorAlarm1=x\r\n[B]\r\nb=2\r\n[errorALARMS]\r\n"
      "ErrorAlarm1=y\r\n");
  ini.PLTEraseSection("ErrorAlarms");
  EXPECT_EQ(ini.PLTText(), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");
  ini.PLTEraseSection("ErrorAlarms");
  EXPECT_EQ(ini.PLTText(), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");
  EXPECT_EQ(ini.PLTReadString("B", "b", ""), "2");
  ini.PLTWriteString("ErrorAlarms", "ErrorAlarm1", "z");
  EXPECT_EQ(ini.PLTReadString("errorAlarms", "errorAlarm1", ""), "z");
}

TEST(IniFile, LoadAndSaveRoundTripAndReportFailures) {
  test::TempDir dir;
  TPLTIniFile ini;
  EXPECT_EQ(ini.PLTLoad(dir.file("missing.ini")), 0);
  EXPECT_EQ(ini.PLTText(), "");
  ini.PLTWriteString("S", "k", "v");
  EXPECT_EQ(ini.PLTSave(dir.file("a.ini")), 0);
  EXPECT_EQ(test::ReadFile(dir.file("a.ini")), "[S]\r\nk=v\r\n");

  TPLTIniFile back;
  ASSERT_EQ(back.PLTLoad(dir.file("a.ini")), 0);
  EXPECT_EQ(back.PLTReadString("s", "K", ""), "v");

  EXPECT_NE(ini.PLTSave(dir.file("no/such/folder/a.ini")), 0);
  EXPECT_EQ(back.PLTLoad(dir.path()), EISDIR);
  test::WriteFile(dir.file("big.ini"), std::string(101, 'x'));
  back.PLTParse("[S]\nk=v\n");
  EXPECT_EQ(back.PLTLoad(dir.file("big.ini"), 100), EFBIG);
  EXPECT_FALSE(back.PLTSectionExists("S"));  // a failed load leaves nothing behind
}

TEST(IniFile, UnknownSectionsSurviveARewriteByteForByte) {
  // Every line of a file that uses CR LF comes back unchanged when only a
  // known key is rewritten.
  const std::string unknown =
      "[Plug-In Extras]\r\n"
      "  Spaced Key   =  spaced value\t\r\n"
      "=no key\r\n"
      "[\xC3\xA4 Umlaut]\r\n"
      "k\xC3\xA4y=\xFF\xFE bytes\r\n"
      "\r\n";
  TPLTIniFile ini;
  ini.PLTParse(unknown + "[Known]\r\nk=1\r\n");
  ini.PLTWriteInteger("Known", "k", 2);
  EXPECT_EQ(ini.PLTText(), unknown + "[Known]\r\nk=2\r\n");
  EXPECT_EQ(ini.PLTReadString("\xC3\xA4 umlaut", "K\xC3\xA4Y", ""), "\xFF\xFE bytes");
}

}  // namespace
}  // namespace kal
