#include "config/AliasList.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/AtomicFile.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"

namespace kal {

namespace {

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return STRUpperCase(text).find(STRUpperCase(part)) != std::string::npos;
}

// A field as it can be written into one TAB-separated line.
std::string FieldText(std::string_view field) {
  std::string out(field);
  for (char& c : out)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return out;
}

}  // namespace

TALUAlias::TALUAlias(std::string_view alias, bool twoWays, std::string_view directory)
    : alias_(STRUpperCase(alias)), directory_(directory), twoWays_(twoWays) {}

TALUAliasList::TALUAliasList(std::string programDir) : programDir_(std::move(programDir)) {}

void TALUAliasList::ALUAddAlias(std::string_view alias, std::string_view directory, bool twoWays) {
  aliases_.emplace_back(alias, twoWays, directory);
}

const TALUAlias* TALUAliasList::ALUFindAlias(bool bSaving, std::string& sValue) const {
  for (const TALUAlias& a : aliases_) {
    const std::string& searched = bSaving ? a.ALUGetDirectory() : a.ALUGetAlias();
    const std::string& replacement = bSaving ? a.ALUGetAlias() : a.ALUGetDirectory();
    if (bSaving && !a.ALUIsTwoWays()) continue;
    if (searched.empty() || !ContainsNoCase(sValue, searched)) continue;
    sValue = STRReplaceSubstring(searched, replacement, sValue, false, kSTRReplaceAll);
    return &a;
  }
  return nullptr;
}

void TALUAliasList::AddRow(const TALUAliasRow& row) {
  ALUAddAlias(row.alias, row.directory, row.attrib.find('2') != std::string::npos);
}

int TALUAliasList::ALULoadConfigData(std::vector<TALUAliasRow>& rows) {
  ALUEmptyList();
  rows.clear();
  const std::string path = FilePath();
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  std::string content;
  errno = 0;
  if (!PLTReadFile(path, content, ALUcMaxFileBytes)) return errno != 0 ? errno : EFBIG;
  TTextLineReader reader(content);
  std::string text;
  while (reader.ReadLine(text)) {
    const std::string_view line(text);
    if (line.empty()) continue;
    // Up to three fields; the last one takes the rest of the line.
    TALUAliasRow row;
    const size_t tab1 = line.find('\t');
    row.alias = std::string(line.substr(0, tab1));
    if (tab1 != std::string_view::npos) {
      const std::string_view rest = line.substr(tab1 + 1);
      const size_t tab2 = rest.find('\t');
      row.directory = std::string(rest.substr(0, tab2));
      if (tab2 != std::string_view::npos) row.attrib = std::string(rest.substr(tab2 + 1));
    }
    AddRow(row);
    rows.push_back(std::move(row));
  }
  return 0;
}

int TALUAliasList::ALUSaveConfigData(const std::vector<TALUAliasRow>& rows) {
  ALUEmptyList();
  std::string content;
  for (const TALUAliasRow& row : rows) {
    if (row.ALUIsEmpty()) continue;
    const TALUAliasRow written{FieldText(row.alias), FieldText(row.directory),
                               FieldText(row.attrib)};
    content += written.alias + '\t' + written.directory + '\t' + written.attrib + "\r\n";
    AddRow(written);
  }
  errno = 0;
  if (PLTWriteFileAtomically(FilePath(), content)) return 0;
  return errno != 0 ? errno : EIO;
}

}  // namespace kal
