#pragma once

// A help folder, the "compiled file" of the help-viewer module: XHTML pages
// and four text files, one entry per line ("|" between the fields, lines
// starting with "#" and empty lines skipped, UTF-8, at most 1 MiB each):
//   contents.txt  depth|title|page   the contents tree in order, depth from 0
//   index.txt     keyword|page       the index
//   map.txt       number|page        context numbers to pages
//   <popup file>  number|text        text popups ("\n" in a text breaks the line)
// Pages are named relative to the folder. Nothing here holds Qt.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kal {

struct THLVContentsEntry {
  int depth = 0;
  std::string title;
  std::string page;
};

struct THLVIndexEntry {
  std::string keyword;
  std::string page;
};

// A help address: "folder", "folder::/page", either followed by ">" and a
// window type (ignored).
struct THLVAddress {
  std::string folder;
  std::string page;  // "" when the address names none
};
THLVAddress HLVParseAddress(const std::string& address);

class THLVHelpFolder final {
 public:
  // Reads the folder's files; false when the folder does not exist. Missing
  // files read as empty.
  bool HLVLoad(const std::string& folder);
  const std::string& HLVFolder() const { return folder_; }
  const std::vector<THLVContentsEntry>& HLVContents() const { return contents_; }
  const std::vector<THLVIndexEntry>& HLVIndex() const { return index_; }
  // The page of a context number; none when the map lacks it.
  std::optional<std::string> HLVPageOf(int32_t context) const;
  // The first index entry whose keyword equals one of the ";"-separated
  // keywords (trimmed) without regard to case.
  std::optional<THLVIndexEntry> HLVLookup(const std::string& keywords) const;
  // The first page of the contents ("" when there is none).
  std::string HLVFirstPage() const;
  // The path of a page inside the folder.
  std::string HLVPath(const std::string& page) const;

 private:
  std::string folder_;
  std::vector<THLVContentsEntry> contents_;
  std::vector<THLVIndexEntry> index_;
  std::map<int32_t, std::string> map_;
};

// The text of a popup number in a popup file; none when the file or the
// number is missing.
std::optional<std::string> HLVPopupText(const std::string& path, int32_t number);

// Lower case of ASCII letters; other bytes stay.
std::string HLVFold(std::string text);

}  // namespace kal
