#include "support/CommandLine.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TUPParams Parse(std::vector<std::string> args) {
  return UPParseParamsString(args);
}

TEST(CommandLine, NoArgumentsGiveNothing) {
  const TUPParams p = Parse({});
  EXPECT_EQ(p.messageFile, "");
  EXPECT_EQ(p.configFile, "");
  EXPECT_EQ(p.sequenceFile, "");
  EXPECT_FALSE(p.run);
}

// The documented invocation "-cC:\x.ini -sA.seq". The old reader gave the
// configuration file a trailing blank (its value ended at the "-" of the next
// switch); values are now trimmed.
TEST(CommandLine, AttachedValues) {
  const TUPParams p = Parse({"-cC:\\x.ini", "-sA.seq"});
  EXPECT_EQ(p.configFile, "C:\\x.ini");
  EXPECT_EQ(p.sequenceFile, "A.seq");
  EXPECT_EQ(p.messageFile, "");
  EXPECT_FALSE(p.run);
}

TEST(CommandLine, ValuesInTheNextArgument) {
  const TUPParams p = Parse({"-c", "/etc/kal.ini", "-s", " run.seq "});
  EXPECT_EQ(p.configFile, "/etc/kal.ini");
  EXPECT_EQ(p.sequenceFile, "run.seq");
  EXPECT_EQ(p.messageFile, "");
}

TEST(CommandLine, SingleBareArgumentIsTheMessageFile) {
  EXPECT_EQ(Parse({"test.epm"}).messageFile, "test.epm");
  EXPECT_EQ(Parse({"  test.epm\t"}).messageFile, "test.epm");
}

// Changed on purpose: a "-" inside a path no longer cuts it or disables the
// message file, and a message file can be combined with "-c".
TEST(CommandLine, DashesInsidePathsAreKept) {
  const TUPParams p = Parse({"my-message.epm", "-c/home/me/kal-config.ini", "-s", "a-b.seq"});
  EXPECT_EQ(p.messageFile, "my-message.epm");
  EXPECT_EQ(p.configFile, "/home/me/kal-config.ini");
  EXPECT_EQ(p.sequenceFile, "a-b.seq");
}

// The old reader found "-s" inside "-c/tmp/my-setup.ini" and took "etup.ini"
// as the sequence file.
TEST(CommandLine, SwitchTextInsideAValueIsNotASwitch) {
  const TUPParams p = Parse({"-c/tmp/my-setup.ini"});
  EXPECT_EQ(p.configFile, "/tmp/my-setup.ini");
  EXPECT_EQ(p.sequenceFile, "");
}

TEST(CommandLine, RunIsAWholeArgumentInAnyCase) {
  for (const char* run : {"-run", "-RUN", "-Run", " -rUn "}) {
    const TUPParams p = Parse({"-sA.seq", run});
    EXPECT_TRUE(p.run) << run;
    EXPECT_EQ(p.sequenceFile, "A.seq") << run;
    EXPECT_EQ(p.messageFile, "") << run;
  }
  const TUPParams first = Parse({"-run", "test.epm"});
  EXPECT_TRUE(first.run);
  EXPECT_EQ(first.messageFile, "test.epm");
  EXPECT_FALSE(Parse({"-running"}).run);
  EXPECT_FALSE(Parse({"x-RUN.epm"}).run);  // no longer found inside another argument
  EXPECT_EQ(Parse({"x-RUN.epm"}).messageFile, "x-RUN.epm");
  EXPECT_TRUE(UPPIsRunSwitch("-run"));
  EXPECT_FALSE(UPPIsRunSwitch("run"));
}

TEST(CommandLine, RunDoesNotBecomeASwitchValue) {
  const TUPParams p = Parse({"-c", "-run", "-s", "b.seq"});
  EXPECT_EQ(p.configFile, "");
  EXPECT_TRUE(p.run);
  EXPECT_EQ(p.sequenceFile, "b.seq");
}

TEST(CommandLine, QuotesAroundValuesAreRemoved) {
  EXPECT_EQ(Parse({"-c\"C:\\My Files\\x.ini\""}).configFile, "C:\\My Files\\x.ini");
  EXPECT_EQ(Parse({"-c'x.ini'"}).configFile, "x.ini");
  EXPECT_EQ(Parse({"-c\"x.ini"}).configFile, "x.ini");
  EXPECT_EQ(Parse({"-c", "\" spaced.ini \""}).configFile, "spaced.ini");
  EXPECT_EQ(Parse({"'a b.epm'"}).messageFile, "a b.epm");
}

TEST(CommandLine, SwitchWithoutValue) {
  EXPECT_EQ(Parse({"-c"}).configFile, "");
  EXPECT_EQ(Parse({"-s", "-c", "x.ini"}).sequenceFile, "");
  EXPECT_EQ(Parse({"-s", "-c", "x.ini"}).configFile, "x.ini");
  EXPECT_EQ(Parse({"-c   "}).configFile, "");
}

TEST(CommandLine, FirstValueOfARepeatedSwitchCounts) {
  EXPECT_EQ(Parse({"-ca.ini", "-cb.ini"}).configFile, "a.ini");
}

// An unquoted path with blanks, split by the shell, joins back as before.
TEST(CommandLine, SeveralBareArgumentsJoinWithOneBlank) {
  EXPECT_EQ(Parse({"My", "Message.epm"}).messageFile, "My Message.epm");
  EXPECT_EQ(Parse({"My", "-cx.ini", "Message.epm"}).messageFile, "My Message.epm");
}

TEST(CommandLine, OtherSwitchesAndEmptyArgumentsAreIgnored) {
  const TUPParams p = Parse({"-x", "", "  ", "-C", "upper.ini", "m.epm"});
  EXPECT_EQ(p.configFile, "");  // "-c" is case-sensitive, as it always was
  EXPECT_EQ(p.messageFile, "upper.ini m.epm");
}

TEST(CommandLine, GetFileNameBySwitch) {
  const std::vector<std::string> args = {"m.epm", "-c", "c.ini", "-ss.seq"};
  EXPECT_EQ(UPPGetFileName("-c", args), "c.ini");
  EXPECT_EQ(UPPGetFileName("-s", args), "s.seq");
  EXPECT_EQ(UPPGetFileName("", args), "m.epm");
  EXPECT_EQ(UPPGetFileName("-q", args), "");
}

}  // namespace
}  // namespace kal
