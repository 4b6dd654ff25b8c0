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
