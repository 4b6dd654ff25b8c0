#include "workbench/UserAdmin.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/TestSupport.h"

namespace kal {
namespace {

class UserAdmin : public ::testing::Test {
 protected:
  UserAdmin() : admin_(grid_, dir_.path() + "users.ini", nullptr) { admin_.AUSSetupGrid(); }

  void SetRow(int row, const std::string& name, const std::string& password,
              const std::string& attributes) {
    if (row >= grid_.RowCount()) grid_.SetRowCount(row + 1);
    grid_.SetCell(1, row, name);
    grid_.SetCell(2, row, password);
    grid_.SetCell(3, row, attributes);
  }
  std::string File() const { return test::ReadFile(admin_.AUSFileName()); }

  test::TempDir dir_;
  TStringGrid grid_;
  TAUSUserAdmin admin_;
};

TEST_F(UserAdmin, LoadShowsPlainPasswordsAndEndsWithOneEmptyRow) {
  std::string file;
  for (int i = 0; i < 20; ++i)
    file += "user" + std::to_string(i) + "\t" + AUUEncodePassword("pw" + std::to_string(i)) +
            (i == 3 ? "\tXA" : "\t") + "\r\n";
  test::WriteFile(admin_.AUSFileName(), file);
  admin_.AUSLoadConfigData();
  EXPECT_EQ(grid_.RowCount(), 22);
  EXPECT_EQ(grid_.Cell(1, 0), "Username");
  EXPECT_EQ(grid_.Cell(2, 20), "pw19");
  EXPECT_TRUE(admin_.AUSIsRowEmpty(21));
  bool isAdmin = false;
  EXPECT_TRUE(admin_.AUSGetUserList().AUUFindUser("USER3", "PW3", isAdmin));
  EXPECT_TRUE(isAdmin);
  EXPECT_TRUE(admin_.AUSGetUserList().AUUFindUser("user4", "pw4", isAdmin));
  EXPECT_FALSE(isAdmin);

  // Short lines leave the missing fields empty; a bad password is held
  // empty and never matches; LF-only line ends are read too.
  test::WriteFile(admin_.AUSFileName(), "solo\nbad\tnot-base64\tA\n");
  admin_.AUSLoadConfigData();
  EXPECT_EQ(grid_.RowCount(), 4);
  EXPECT_EQ(grid_.Cell(1, 1), "solo");
  EXPECT_EQ(grid_.Cell(2, 2), "");
  EXPECT_EQ(grid_.Cell(3, 2), "A");
  EXPECT_FALSE(admin_.AUSGetUserList().AUUFindUser("bad", "", isAdmin));
  EXPECT_EQ(admin_.AUSGetUserList().AUUUsers().size(), 2u);

  std::remove(admin_.AUSFileName().c_str());
  admin_.AUSLoadConfigData();
  EXPECT_TRUE(admin_.AUSGetUserList().AUUUsers().empty());
  EXPECT_EQ(grid_.Cell(1, 1), "");
}

TEST_F(UserAdmin, TidyingNeverShrinksBelowTenRows) {
  grid_.SetRowCount(14);
  SetRow(2, "a", "b", "");
  SetRow(13, "", "", "A");  // attributes alone leave a row empty
  admin_.AUSTidyEmptyRows();
  EXPECT_EQ(grid_.RowCount(), 10);
  EXPECT_EQ(grid_.Cell(3, 9), "");
  SetRow(9, "x", "", "");
  admin_.AUSTidyEmptyRows();
  EXPECT_EQ(grid_.RowCount(), 11);
}

TEST_F(UserAdmin, SaveWritesNonEmptyRowsPrivatelyAndReloads) {
  SetRow(1, "Root", "Toor", "A");
  SetRow(2, "", "", "A");
  SetRow(3, "guest", "guest pw", "");
  std::string message;
  ASSERT_EQ(admin_.AUSSaveConfigData(true, message), TAUSUserAdmin::AUScOk) << message;
  EXPECT_EQ(File(), "Root\t" + AUUEncodePassword("Toor") + "\tA\r\nguest\t" +
                        AUUEncodePassword("guest pw") + "\t\r\n");
  struct stat st {};
  ASSERT_EQ(stat(admin_.AUSFileName().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // The list built by the save holds the plain passwords.
  bool isAdmin = false;
  EXPECT_TRUE(admin_.AUSGetUserList().AUUFindUser("root", "toor", isAdmin));
  EXPECT_TRUE(isAdmin);

  admin_.AUSLoadConfigData();
  EXPECT_EQ(grid_.Cell(2, 2), "guest pw");
  EXPECT_EQ(grid_.RowCount(), 4);
}

TEST_F(UserAdmin, SaveRefusesUnsafeInputAndKeepsTheFile) {
  test::WriteFile(admin_.AUSFileName(), "keep\r\n");
  std::string message;
  SetRow(1, "ok", "pw", "A");
  SetRow(2, "two\tfields", "pw", "");
  EXPECT_EQ(admin_.AUSSaveConfigData(false, message), TAUSUserAdmin::AUScBadCharacter);
  EXPECT_FALSE(message.empty());
  SetRow(2, "user", "pw", "A\r\n");
  EXPECT_EQ(admin_.AUSSaveConfigData(false, message), TAUSUserAdmin::AUScBadCharacter);
  SetRow(2, "user", std::string(248, 'p'), "");
  EXPECT_EQ(admin_.AUSSaveConfigData(false, message), TAUSUserAdmin::AUScPasswordTooLong);
  SetRow(2, "user", "pw", "");
  SetRow(1, "ok", " ", "A");  // the only administrator has no password
  EXPECT_EQ(admin_.AUSSaveConfigData(true, message), TAUSUserAdmin::AUScNoAdministrator);
  EXPECT_EQ(File(), "keep\r\n");
  EXPECT_EQ(admin_.AUSSaveConfigData(false, message), TAUSUserAdmin::AUScOk);

  TAUSUserAdmin unwritable(grid_, dir_.path() + "missing/users.ini", nullptr);
  EXPECT_EQ(unwritable.AUSSaveConfigData(false, message), TAUSUserAdmin::AUScWriteFailed);
  EXPECT_NE(message.find("missing/users.ini"), std::string::npos);
}

TEST_F(UserAdmin, AttributesFollowTheSelectedRow) {
  SetRow(1, "a", "b", "A");
  EXPECT_EQ(admin_.AUSRowSelected(1), "A");
  EXPECT_EQ(admin_.AUSRowSelected(2), "A");  // an empty row takes the row above's
  SetRow(3, "c", "d", "");
  EXPECT_EQ(admin_.AUSRowSelected(3), "");
  admin_.AUSbHasChanged = false;
  admin_.AUSSetAttributes(3, "A");
  EXPECT_EQ(grid_.Cell(3, 3), "A");
  EXPECT_TRUE(admin_.AUSbHasChanged);
}

}  // namespace
}  // namespace kal
