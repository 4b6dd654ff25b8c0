// Reads arbitrary bytes as "alias.ini", applies the aliases and saves the
// list again. Checks: the file is read; each row gives one alias, its name
// in upper case; a path holding an alias's name is changed by an alias; the
// saved file reads back as the rows that are not empty, each field on one
// line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "config/AliasList.h"
#include "support/StringUnit.h"

namespace {

using kal::TALUAliasRow;
using kal::fuzz::Check;

std::string OneLine(std::string field) {
  for (char& c : field)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kal::TALUAliasList::ALUcMaxFileBytes) return 0;
  kal::fuzz::Scratch& scratch = kal::fuzz::Scratch::Get();
  scratch.File(kal::TALUAliasList::ALUcAliasFileName,
               std::string_view(reinterpret_cast<const char*>(data), size));
  kal::TALUAliasList list(scratch.Dir());
  std::vector<TALUAliasRow> rows;
  Check(list.ALULoadConfigData(rows) == 0);
  Check(list.ALUGetCount() == rows.size());
  std::vector<TALUAliasRow> kept;
  for (size_t i = 0; i < rows.size(); ++i) {
    Check(list.ALUGetItem(i).ALUGetAlias() == kal::STRUpperCase(rows[i].alias));
    if (i < 64 && !rows[i].alias.empty()) {
      std::string path = "/x" + rows[i].alias + "/f";
      Check(list.ALUFindAlias(false, path) != nullptr);
    }
    if (!rows[i].ALUIsEmpty())
      kept.push_back({OneLine(rows[i].alias), OneLine(rows[i].directory), OneLine(rows[i].attrib)});
  }

  Check(list.ALUSaveConfigData(rows) == 0);
  std::vector<TALUAliasRow> again;
  Check(list.ALULoadConfigData(again) == 0);
  Check(again == kept);
  return 0;
}
