// Reads arbitrary bytes as "users.ini" (name, encoded password and
// attributes per line), looks the users up and saves them again. Checks:
// one user per line; a user with a name and a password is found by them,
// whatever their case; a saved file reads back as the users of the rows that
// are not empty, passwords included.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "support/StringGrid.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"
#include "workbench/UserAdmin.h"

namespace {

using kal::TAUSUserAdmin;
using kal::TAUUUser;
using kal::fuzz::Check;

struct User {
  std::string name, password;
  bool admin;
  bool operator==(const User&) const = default;
};

std::vector<User> Users(TAUSUserAdmin& admin) {
  std::vector<User> out;
  for (const TAUUUser& u : admin.AUSGetUserList().AUUUsers())
    out.push_back({u.AUUGetUserID(), u.AUUGetPassword(), u.AUUIsAdmin()});
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Each line costs a decryption.
  if (size > 1u << 16) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string path = kal::fuzz::Scratch::Get().File("users.ini", text);
  kal::TStringGrid grid;
  TAUSUserAdmin admin(grid, path, nullptr);
  admin.AUSSetupGrid();
  admin.AUSLoadConfigData();
  const std::vector<User> read = Users(admin);
  kal::TTextLineReader reader(text);
  size_t lines = 0;
  for (std::string line; reader.ReadLine(line);) ++lines;
  Check(read.size() == lines);

  std::vector<User> kept;
  for (size_t i = 0; i < read.size(); ++i) {
    const User& u = read[i];
    const std::string name = kal::STRTrim(u.name), password = kal::STRTrim(u.password);
    if (i < 64 && !name.empty() && !password.empty()) {
      bool isAdmin = false;
      Check(admin.AUSGetUserList().AUUFindUser(kal::STRLowerCase(u.name), u.password, isAdmin));
    }
    if (!name.empty() || !password.empty()) kept.push_back(u);
  }

  // Attributes take the rest of their line, so they may hold a TAB, which
  // saving refuses.
  bool tabbed = false;
  for (int row = grid.FixedRows(); row < grid.RowCount(); ++row)
    tabbed =
        tabbed || (!admin.AUSIsRowEmpty(row) &&
                   grid.Cell(TAUSUserAdmin::AUScColAttrib, row).find('\t') != std::string::npos);
  std::string message;
  const int saved = admin.AUSSaveConfigData(false, message);
  if (saved == TAUSUserAdmin::AUScPasswordTooLong) return 0;
  Check(saved == (tabbed ? TAUSUserAdmin::AUScBadCharacter : TAUSUserAdmin::AUScOk));
  if (tabbed) return 0;
  kal::TStringGrid grid2;
  TAUSUserAdmin again(grid2, path, nullptr);
  again.AUSSetupGrid();
  again.AUSLoadConfigData();
  Check(Users(again) == kept);
  return 0;
}
