#pragma once

// The lookup table "EMVElements.ini" (in the program folder): one mapping per
// line, the XML element name, ";", the EMV tag in hex; blanks around either
// item are allowed and items after the second are ignored. The element edit
// window looks a tag up by element name; the conversion tools read the same
// table.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

struct TEEMEntry {
  std::string name;  // XML element name, trimmed
  std::string tag;   // EMV tag as hex text, trimmed; empty for a line without ";"
};

class TEEMEmvElementMap {
 public:
  // The table's file: "EMVElements.ini" in the program folder.
  static std::string DefaultPath();

  // Reads the table from a file. False when it is missing or cannot be read;
  // `error` then names the file and the table is unchanged.
  [[nodiscard]] bool Load(const std::string& path, std::string& error);
  // Reads the table from text (LF or CR LF lines).
  void Parse(std::string_view text);

  // The tag of the first line whose element name equals `name` exactly
  // (case-sensitive); nothing when no line does.
  std::optional<std::string> FindTag(std::string_view name) const;
  const std::vector<TEEMEntry>& Entries() const { return entries_; }

 private:
  std::vector<TEEMEntry> entries_;
};

}  // namespace kal
