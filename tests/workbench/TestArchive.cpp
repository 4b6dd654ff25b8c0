// Moving recorded files into the archive: never replacing a file that is
// already there, numbering the later ones after their extension.
#include "workbench/Archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/TestSupport.h"

namespace kal {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(Archive, MovesIntoNewFolderAndNumbersLaterFilesOfTheSameName) {
  TempDir dir;
  std::vector<std::string> messages;
  TARCArchive archive([&](const std::string& text) { messages.push_back(text); });
  for (const char* content : {"first", "second", "third"}) {
    WriteFile(dir.file("1234.xml"), content);
    ASSERT_EQ(archive.ARCCopyToArchive(dir.file("1234.xml")), TARCArchive::ARCcOk);
    EXPECT_FALSE(std::filesystem::exists(dir.file("1234.xml")));
  }
  EXPECT_EQ(ReadFile(dir.file("Archive/1234.xml")), "first");
  EXPECT_EQ(ReadFile(dir.file("Archive/1234.xml_1")), "second");
  EXPECT_EQ(ReadFile(dir.file("Archive/1234.xml_2")), "third");
  EXPECT_TRUE(messages.empty());
}

TEST(Archive, TakesTheSmallestFreeNumberAndKeepsEveryExistingFile) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("Archive").c_str(), 0755), 0);
  WriteFile(dir.file("Archive/a.xml"), "old");
  WriteFile(dir.file("Archive/a.xml_2"), "old 2");
  WriteFile(dir.file("a.xml"), "new");
  TARCArchive archive;
  ASSERT_EQ(archive.ARCCopyToArchive(dir.file("a.xml")), TARCArchive::ARCcOk);
  EXPECT_EQ(ReadFile(dir.file("Archive/a.xml")), "old");
  EXPECT_EQ(ReadFile(dir.file("Archive/a.xml_1")), "new");
  EXPECT_EQ(ReadFile(dir.file("Archive/a.xml_2")), "old 2");
}

TEST(Archive, ReportsMissingFileAndFolderThatCannotBeMade) {
  TempDir dir;
  std::vector<std::string> messages;
  TARCArchive archive([&](const std::string& text) { messages.push_back(text); });
  EXPECT_EQ(archive.ARCCopyToArchive(dir.file("none.xml")), TARCArchive::ARCcNoFile);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("Archive")));

  TempDir other;
  WriteFile(other.file("Archive"), "a file where the folder should be");
  WriteFile(other.file("b.xml"), "data");
  EXPECT_EQ(archive.ARCCopyToArchive(other.file("b.xml")), TARCArchive::ARCcNoFolder);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Can not create archive directory " + other.file("Archive"));
  EXPECT_EQ(ReadFile(other.file("b.xml")), "data");
}

}  // namespace
}  // namespace kal
