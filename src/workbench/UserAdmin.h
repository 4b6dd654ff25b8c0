#pragma once

// The user administration behind the "User Administrator" dialog: the user
// grid, loading and saving "users.ini", and the user list the login checks.

#include <string>
#include <string_view>

#include "support/StringGrid.h"
#include "workbench/UserList.h"

namespace kal {

class TTDBDebug;

class TAUSUserAdmin {
 public:
  // Grid columns: a fixed column, then user name, password and attributes.
  static constexpr int AUScColUser = 1;
  static constexpr int AUScColPassword = 2;
  static constexpr int AUScColAttrib = 3;
  static constexpr int AUScMinRows = 10;
  static constexpr size_t AUScMaxFileBytes = 1024 * 1024;

  // Results of AUSSaveConfigData.
  static constexpr int AUScOk = 0;
  static constexpr int AUScBadCharacter = 1;
  static constexpr int AUScPasswordTooLong = 2;
  static constexpr int AUScNoAdministrator = 3;
  static constexpr int AUScWriteFailed = 4;

  // `grid` and `trace` (may be null) are not owned and must outlive this.
  TAUSUserAdmin(IStringGrid& grid, std::string fileName, TTDBDebug* trace);

  // Columns, fixed column and row, the column titles and the first rows.
  void AUSSetupGrid();

  // Empties the user list and the data rows, then reads "users.ini" (a
  // missing or unreadable file leaves both empty). The grid shows the plain
  // passwords.
  void AUSLoadConfigData();

  // Writes every non-empty row to "users.ini" and rebuilds the user list
  // from them. Refused, with `message` set and nothing written, when a name
  // or attribute holds a TAB or line break, when a password is too long to
  // encode, or when `activateLogin` is set and no administrator has a
  // password. AUScWriteFailed when the file cannot be written.
  [[nodiscard]] int AUSSaveConfigData(bool activateLogin, std::string& message);

  // A row is empty when its fixed cell, name and password are blank; the
  // attributes do not count.
  bool AUSIsRowEmpty(int row) const;
  // Ends the grid with exactly one empty row, removing trailing empty rows
  // no further than down to AUScMinRows rows.
  void AUSTidyEmptyRows();

  // A row was selected: its attributes, which decide the checks. An empty
  // row below the first data row first takes the attributes of the row
  // above.
  std::string AUSRowSelected(int row);
  // The checked attribute letters go to the row; marks a change.
  void AUSSetAttributes(int row, std::string_view letters);
  static bool AUSIsAdminAttrib(std::string_view attributes) {
    return attributes.find('A') != std::string_view::npos;
  }

  TAUUUserList& AUSGetUserList() { return AUSaAUUUserList; }
  const std::string& AUSFileName() const { return AUSsFileName; }
  IStringGrid& AUSGrid() { return grid_; }

  bool AUSbHasChanged = false;

 private:
  void Trace(const char* text) const;

  IStringGrid& grid_;
  std::string AUSsFileName;
  TTDBDebug* trace_;
  TAUUUserList AUSaAUUUserList;
};

}  // namespace kal
