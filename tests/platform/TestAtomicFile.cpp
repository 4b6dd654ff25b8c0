#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/TestSupport.h"

namespace kal {
namespace {

TEST(AtomicFile, WriteReplacesWholeContentAndLeavesNoTemporary) {
  test::TempDir dir;
  const std::string path = dir.file("config.ini");
  ASSERT_TRUE(PLTWriteFileAtomically(path, "first version, long text\r\n"));
  ASSERT_TRUE(PLTWriteFileAtomically(path, std::string("a\0b", 3)));
  std::string back;
  ASSERT_TRUE(PLTReadFile(path, back));
  EXPECT_EQ(back, std::string("a\0b", 3));
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

// A write killed midway leaves its temporary file; the start removes such
// leftovers, and nothing else, by their name.
TEST(AtomicFile, LeftoverTemporaryFilesAreRemovedAndNothingElse) {
  test::TempDir dir;
  const std::string pattern = PLTTemporaryFileName(dir.file("config.ini"));
  EXPECT_EQ(pattern, dir.file(".config.ini.XXXXXX.kaltmp"));
  const char* const leftovers[] = {".config.ini.u5UhAh.kaltmp", ".TrxSeqCnt.ini.000000.kaltmp"};
  const char* const kept[] = {"config.ini.u5UhAh",
                              ".config.ini.u5UhA.kaltmp",
                              ".config.ini.u5Uh-h.kaltmp",
                              "config.ini.u5UhAh.kaltmp",
                              ".kaltmp",
                              "notes.txt"};
  for (const char* name : leftovers) test::WriteFile(dir.file(name), "partial");
  for (const char* name : kept) test::WriteFile(dir.file(name), "mine");
  // A folder and a link of the pattern are not the program's files.
  std::filesystem::create_directory(dir.file(".a.b.cdefgh.kaltmp"));
  std::filesystem::create_symlink(dir.file("notes.txt"), dir.file(".n.ini.ABCDEF.kaltmp"));

  EXPECT_EQ(PLTRemoveTemporaryFiles(dir.path()), 2);
  for (const char* name : leftovers) EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
  for (const char* name : kept) EXPECT_EQ(test::ReadFile(dir.file(name)), "mine") << name;
  EXPECT_TRUE(std::filesystem::is_directory(dir.file(".a.b.cdefgh.kaltmp")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file(".n.ini.ABCDEF.kaltmp")));
}

TEST(AtomicFile, WriteIntoMissingFolderFailsAndReadOfMissingFileFails) {
  test::TempDir dir;
  EXPECT_FALSE(PLTWriteFileAtomically(dir.file("no/such/folder/x.ini"), "x"));
  std::string back = "stale";
  EXPECT_FALSE(PLTReadFile(dir.file("missing"), back));
  EXPECT_TRUE(back.empty());
}

TEST(AtomicFile, ReadRefusesFilesAboveTheLimit) {
  test::TempDir dir;
  const std::string path = dir.file("big");
  test::WriteFile(path, std::string(1000, 'x'));
  std::string back;
  EXPECT_FALSE(PLTReadFile(path, back, 999));
  EXPECT_TRUE(PLTReadFile(path, back, 1000));
  EXPECT_EQ(back.size(), 1000u);
}

}  // namespace
}  // namespace kal
