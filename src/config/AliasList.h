#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

// A directory alias: a short name that stands for a directory in stored file
// paths. The name is kept in upper case; the directory is kept as written,
// since file names are case-sensitive here.
class TALUAlias final {
 public:
  TALUAlias(std::string_view alias, bool twoWays, std::string_view directory);

  const std::string& ALUGetAlias() const { return alias_; }
  const std::string& ALUGetDirectory() const { return directory_; }
  bool ALUIsTwoWays() const { return twoWays_; }

 private:
  std::string alias_;
  std::string directory_;
  bool twoWays_;
};

// One line of "alias.ini" as the aliases dialog shows it: alias, directory
// and attribute text ("2" marks a two-way alias).
struct TALUAliasRow {
  std::string alias;
  std::string directory;
  std::string attrib;

  bool ALUIsEmpty() const { return alias.empty() && directory.empty() && attrib.empty(); }
  bool operator==(const TALUAliasRow&) const = default;
};

// The directory aliases of the program, in file order, and the file
// "alias.ini" in the program folder that stores them (one alias per line:
// alias, TAB, directory, TAB, attribute text).
class TALUAliasList final {
 public:
  static constexpr const char* ALUcAliasFileName = "alias.ini";
  // Larger alias files are refused.
  static constexpr size_t ALUcMaxFileBytes = 1024u * 1024u;

  // `programDir` is the folder that holds "alias.ini", ending with "/".
  explicit TALUAliasList(std::string programDir);

  void ALUEmptyList() { aliases_.clear(); }
  void ALUAddAlias(std::string_view alias, std::string_view directory, bool twoWays);
  size_t ALUGetCount() const { return aliases_.size(); }
  const TALUAlias& ALUGetItem(size_t index) const { return aliases_.at(index); }

  // Applies the first alias in list order that occurs in `sValue` and
  // returns it, or nullptr when none applies (the path is then unchanged).
  // Reading a path (bSaving false): every occurrence of the alias name,
  // matched regardless of case, is replaced by its directory. Storing a path
  // (bSaving true): a two-way alias whose directory occurs, regardless of
  // case, has every occurrence replaced by its name. The rest of the path
  // keeps its case. An alias with an empty name (or, in reverse, an empty
  // directory) never applies.
  const TALUAlias* ALUFindAlias(bool bSaving, std::string& sValue) const;

  // Empties the list and reads "alias.ini": one row per non-empty line, each
  // also added to the list. A missing file gives no rows and 0; otherwise 0
  // or a system error number (EFBIG above ALUcMaxFileBytes).
  [[nodiscard]] int ALULoadConfigData(std::vector<TALUAliasRow>& rows);

  // Empties the list, rewrites "alias.ini" with the rows that are not empty
  // (TAB, CR and LF inside a field are written as blanks) and adds each to
  // the list. 0 or a system error number; the list is refilled either way.
  [[nodiscard]] int ALUSaveConfigData(const std::vector<TALUAliasRow>& rows);

 private:
  std::string FilePath() const { return programDir_ + ALUcAliasFileName; }
  void AddRow(const TALUAliasRow& row);

  std::string programDir_;
  std::vector<TALUAlias> aliases_;
};

}  // namespace kal
