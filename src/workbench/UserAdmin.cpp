#include "workbench/UserAdmin.h"

#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "support/StringGridUtilities.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"
#include "support/TraceLogger.h"

namespace kal {

namespace {

bool HasLineBreakOrTab(std::string_view text) {
  return text.find_first_of("\t\r\n") != std::string_view::npos;
}

}  // namespace

TAUSUserAdmin::TAUSUserAdmin(IStringGrid& grid, std::string fileName, TTDBDebug* trace)
    : grid_(grid), AUSsFileName(std::move(fileName)), trace_(trace) {}

void TAUSUserAdmin::Trace(const char* text) const {
  if (trace_ != nullptr) trace_->TDBSimpleAddString(text);
}

void TAUSUserAdmin::AUSSetupGrid() {
  grid_.SetColCount(4);
  if (grid_.RowCount() < AUScMinRows) grid_.SetRowCount(AUScMinRows);
  grid_.SetFixedRows(1);
  grid_.SetFixedCols(1);
  grid_.SetCell(AUScColUser, 0, "Username");
  grid_.SetCell(AUScColPassword, 0, "Password");
  grid_.SetCell(AUScColAttrib, 0, "Attrib");
}

void TAUSUserAdmin::AUSLoadConfigData() {
  Trace(" AUSLoadConfigData 1");
  AUSaAUUUserList.AUUEmptyList();
  USGClearStringGrid(grid_);
  std::string content;
  if (!PLTReadFile(AUSsFileName, content, AUScMaxFileBytes)) return;
  Trace(" AUSLoadConfigData 2");
  int row = grid_.FixedRows();
  int lastFilled = row - 1;
  TTextLineReader reader(content);
  std::string text;
  while (reader.ReadLine(text)) {
    std::string_view line(text);
    std::string fields[3];
    for (int i = 0; i < 3; ++i) {
      const size_t tab = i < 2 ? line.find('\t') : std::string_view::npos;
      fields[i] = std::string(line.substr(0, tab));
      line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    }
    const std::string password = AUUDecodePassword(fields[1], trace_);
    if (row >= grid_.RowCount()) grid_.SetRowCount(row + 1);
    grid_.SetCell(AUScColUser, row, fields[0]);
    grid_.SetCell(AUScColPassword, row, password);
    grid_.SetCell(AUScColAttrib, row, fields[2]);
    AUSaAUUUserList.AUUAddUser(fields[0], password, AUSIsAdminAttrib(fields[2]));
    if (!AUSIsRowEmpty(row)) lastFilled = row;
    ++row;
  }
  Trace(" AUSLoadConfigData 3");
  grid_.SetRowCount(lastFilled + 1);
  Trace(" AUSLoadConfigData 4");
  AUSTidyEmptyRows();
  Trace(" AUSLoadConfigData 5");
  AUSbHasChanged = false;
  Trace(" AUSLoadConfigData 6");
}

bool TAUSUserAdmin::AUSIsRowEmpty(int row) const {
  for (int col = 0; col < AUScColAttrib; ++col)
    if (!STRTrim(grid_.Cell(col, row)).empty()) return false;
  return true;
}

void TAUSUserAdmin::AUSTidyEmptyRows() {
  const int last = grid_.RowCount() - 1;
  if (last < grid_.FixedRows() || !AUSIsRowEmpty(last)) {
    grid_.SetRowCount(last + 2);
    return;
  }
  grid_.SetCell(AUScColAttrib, last, "");
  int rows = grid_.RowCount();
  while (rows - 1 > AUScMinRows - 1 && rows - 2 >= grid_.FixedRows() && AUSIsRowEmpty(rows - 2))
    --rows;
  grid_.SetRowCount(rows);
}

int TAUSUserAdmin::AUSSaveConfigData(bool activateLogin, std::string& message) {
  message.clear();
  AUSTidyEmptyRows();
  std::string content;
  TAUUUserList users;
  bool adminWithPassword = false;
  for (int row = grid_.FixedRows(); row < grid_.RowCount(); ++row) {
    if (AUSIsRowEmpty(row)) continue;
    const std::string name = grid_.Cell(AUScColUser, row);
    const std::string password = grid_.Cell(AUScColPassword, row);
    const std::string attributes = grid_.Cell(AUScColAttrib, row);
    if (HasLineBreakOrTab(name) || HasLineBreakOrTab(attributes)) {
      message = "User names and attributes must not contain tabs or line breaks (user \"" +
                STRTrim(name) + "\")";
      return AUScBadCharacter;
    }
    const std::string encoded = AUUEncodePassword(password);
    if (password.size() > AUUcMaxPassword || encoded.empty()) {
      message = "The password of user \"" + STRTrim(name) + "\" is too long (at most " +
                std::to_string(AUUcMaxPassword) + " characters)";
      return AUScPasswordTooLong;
    }
    const bool admin = AUSIsAdminAttrib(attributes);
    if (admin && !STRTrim(name).empty() && !STRTrim(password).empty()) adminWithPassword = true;
    content += name + '\t' + encoded + '\t' + attributes + "\r\n";
    users.AUUAddUser(name, password, admin);
  }
  if (activateLogin && !adminWithPassword) {
    message =
        "With login activated at least one administrator needs a name and a password; "
        "the users were not saved";
    return AUScNoAdministrator;
  }
  if (!PLTWriteFileAtomically(AUSsFileName, content, S_IRUSR | S_IWUSR)) {
    message = "Can not write the user file " + AUSsFileName;
    return AUScWriteFailed;
  }
  AUSaAUUUserList = std::move(users);
  AUSbHasChanged = false;
  return AUScOk;
}

std::string TAUSUserAdmin::AUSRowSelected(int row) {
  if (row > grid_.FixedRows() && row < grid_.RowCount() && AUSIsRowEmpty(row))
    grid_.SetCell(AUScColAttrib, row, grid_.Cell(AUScColAttrib, row - 1));
  return grid_.Cell(AUScColAttrib, row);
}

void TAUSUserAdmin::AUSSetAttributes(int row, std::string_view letters) {
  if (row < grid_.FixedRows() || row >= grid_.RowCount()) return;
  grid_.SetCell(AUScColAttrib, row, letters);
  AUSbHasChanged = true;
}

}  // namespace kal
