#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <utility>
#include <vector>

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

// A replaced file keeps its bits, owner and group; a new one gets what the
// umask leaves; either is limited by the caller. Links stay links and the
// file at the end of the chain is replaced, its temporary file beside it.
TEST(AtomicFile, WriteKeepsModeOwnerAndLinks) {
  const mode_t umaskBefore = umask(027);
  // Root can hand the file to another owner first; others keep their own.
  const uid_t owner = geteuid() == 0 ? 65534 : geteuid();
  const gid_t group = geteuid() == 0 ? 65534 : getegid();
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;
    const char* file;  // where the content lands, or none when the write fails
    mode_t before;     // 0: the file does not exist yet
    unsigned allowed;
    mode_t after;
  } cases[] = {
      {"limited", {}, "a.ini", 0664, 0600, 0600},
      {"new file", {}, "a.ini", 0, PLTcAnyMode, 0640},
      {"chain", {{"a.ini", "shared/b"}, {"shared/b", "c"}}, "shared/c", 0604, PLTcAnyMode, 0604},
      {"dangling link", {{"a.ini", "shared/new.ini"}}, "shared/new.ini", 0, PLTcAnyMode, 0640},
      {"loop", {{"a.ini", "b.ini"}, {"b.ini", "a.ini"}}, nullptr, 0, PLTcAnyMode, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("shared")));
    for (const auto& [from, to] : c.links) std::filesystem::create_symlink(to, dir.file(from));
    if (c.before != 0) {
      test::WriteFile(dir.file(c.file), "old");
      ASSERT_EQ(chown(dir.file(c.file).c_str(), owner, group), 0);
      ASSERT_EQ(chmod(dir.file(c.file).c_str(), c.before), 0);
    }
    ASSERT_EQ(PLTWriteFileAtomically(dir.file("a.ini"), "new", c.allowed), c.file != nullptr);
    for (const auto& [from, to] : c.links)
      EXPECT_EQ(std::filesystem::read_symlink(dir.file(from)).string(), to);
    EXPECT_EQ(PLTRemoveTemporaryFiles(dir.path()) + PLTRemoveTemporaryFiles(dir.file("shared")), 0);
    if (c.file == nullptr) continue;
    struct stat st {};
    ASSERT_EQ(lstat(dir.file(c.file).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode, S_IFREG | c.after);
    EXPECT_EQ(st.st_uid, c.before != 0 ? owner : geteuid());
    EXPECT_EQ(st.st_gid, c.before != 0 ? group : getegid());
    EXPECT_EQ(test::ReadFile(dir.file(c.file)), "new");
  }
  umask(umaskBefore);
}

TEST(AtomicFile, WriteIntoMissingFolderFailsAndReadOfMissingFileFails) {
  test::TempDir dir;
  EXPECT_FALSE(PLTWriteFileAtomically(dir.file("no/such/folder/x.ini"), "x"));
  std::string back = "stale";
  EXPECT_FALSE(PLTReadFile(dir.file("missing"), back));
  EXPECT_TRUE(back.empty());
}

// What is not a regular file is refused at once: a FIFO nobody writes to
// would otherwise hold the reader in open() for ever.
TEST(AtomicFile, ReadRefusesWhatIsNotARegularFile) {
  test::TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    int error;
  } cases[] = {{dir.file("fifo"), EINVAL}, {dir.path(), EISDIR}};
  for (const auto& c : cases) {
    std::string back = "stale";
    errno = 0;
    EXPECT_FALSE(PLTReadFile(c.path, back)) << c.path;
    EXPECT_EQ(errno, c.error) << c.path;
    EXPECT_TRUE(back.empty());
  }
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
