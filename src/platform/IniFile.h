#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/AtomicFile.h"

namespace kal {

// An INI profile file with the semantics of the Windows profile functions:
// section and key names match regardless of (ASCII) case and the first match
// wins; values are trimmed; a missing file reads as empty; writing changes
// keys in place and keeps every other line (unknown keys and sections,
// comments, blank lines, order); a new key goes behind the last key of its
// section, a new section at the end of the file; lines are written with
// CR LF. The whole file is loaded once, changed in memory and saved whole.
//
// Lines whose first non-blank character is ';' or '#' are comments and never
// match a key. Keys in front of the first section header belong to no
// section and are kept but not visible.
class TPLTIniFile final {
 public:
  // Files larger than this are refused by Load.
  static constexpr size_t PLTcMaxIniBytes = 4u * 1024u * 1024u;

  TPLTIniFile() { PLTParse(""); }

  // Replaces the content with the file at `path`. A missing file gives an
  // empty content and 0. Otherwise 0, or a system error number (EFBIG for a
  // file above `maxBytes`, EISDIR for a folder, the error of open or read);
  // on failure the content is empty.
  [[nodiscard]] int PLTLoad(const std::string& path, size_t maxBytes = PLTcMaxIniBytes);

  // Replaces the content with the given text (lines ended by CR LF, LF or a
  // lone CR).
  void PLTParse(std::string_view text);

  // The content as it would be written: every line ended by CR LF.
  std::string PLTText() const;

  // Writes the content to `path` through PLTWriteFileAtomically, the bits
  // limited to `allowedMode`. 0, or a system error number (never 0 on
  // failure).
  [[nodiscard]] int PLTSave(const std::string& path, unsigned allowedMode = PLTcAnyMode) const;

  bool PLTSectionExists(std::string_view section) const;
  bool PLTValueExists(std::string_view section, std::string_view key) const;

  // The trimmed value of the first matching key, else `defaultValue`.
  std::string PLTReadString(std::string_view section, std::string_view key,
                            std::string_view defaultValue) const;

  // The value read as a decimal 32-bit integer with an optional sign; a
  // missing key, an empty value, other characters or a value out of range
  // give `defaultValue`.
  int32_t PLTReadInteger(std::string_view section, std::string_view key,
                         int32_t defaultValue) const;

  // Sets the value of the first matching key, adding the key (and the
  // section) when missing. A line that already holds this value is left
  // untouched. CR and LF in the value are written as blanks, so a value can
  // never start a new line.
  void PLTWriteString(std::string_view section, std::string_view key, std::string_view value);
  void PLTWriteInteger(std::string_view section, std::string_view key, int32_t value);

  // Removes every section of that name with all its lines.
  void PLTEraseSection(std::string_view section);

 private:
  struct TLine {
    std::string raw;  // the line without its line end
    bool isKey = false;
    std::string key;    // trimmed name, as written (keys only)
    std::string value;  // trimmed value (keys only)
  };
  struct TSection {
    bool hasHeader = false;    // false only for the lines in front of the first header
    std::string header;        // the header line as written
    std::string folded;        // the folded section name
    std::vector<TLine> lines;  // the lines behind the header up to the next one
    // First line of each folded key name; rebuilt when `indexValid` is false.
    mutable std::unordered_map<std::string, size_t> keyIndex;
    mutable bool indexValid = false;
  };

  void AddLine(std::string_view line);
  void RebuildSectionIndex();
  const TSection* FindSection(std::string_view section) const;
  const TLine* FindKey(std::string_view section, std::string_view key) const;
  static void IndexSection(const TSection& s);

  std::vector<TSection> sections_;  // [0]: the lines in front of the first header
  std::unordered_map<std::string, size_t> sectionIndex_;  // first section of each folded name
};

}  // namespace kal
