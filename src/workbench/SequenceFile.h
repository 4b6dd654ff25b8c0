#pragma once

// The sequence table and its file ("*.seq"). The table is a grid of 8
// columns: row 0 the header, column 0 the marker of the current row
// (">>"), columns 1 to 7 the fields of a step. A file holds one line per
// grid row from the first data row to the last row that is not empty, and
// one empty line (six TABs) for the trailing empty row; the seven fields
// are separated by TAB without quoting, each line ended by CR LF.

#include <array>
#include <string>
#include <string_view>

namespace kal {

class IStringGrid;
class TALUAliasList;

enum TSEQColumn : int {
  SEQcColMarker = 0,
  SEQcColClient = 1,   // "Client message"
  SEQcColServer = 2,   // "Server message"
  SEQcColThreads = 3,  // "Client Threads"
  SEQcColDelay = 4,    // "Delay, Time"
  SEQcColAddress = 5,  // "IP Address"
  SEQcColPort = 6,     // "IP Port"
  SEQcColAttrib = 7,   // "Attrib"
  SEQcColCount = 8
};

// The grid never has fewer rows (header included).
inline constexpr int SEQcMinRows = 10;
// Sequence files larger than this are refused.
inline constexpr size_t SEQcMaxFileBytes = 16u * 1024u * 1024u;

extern const std::array<const char*, SEQcColCount> kSEQHeaders;

using TSEQFields = std::array<std::string, 7>;  // columns 1 to 7

// The fields of a file line: field k goes into column k, so a line of fewer
// than seven fields fills the columns from column 1; text after a seventh
// TAB is ignored.
TSEQFields SEQSplitLine(std::string_view line);

// A row counts as empty when columns 1 to 6 are blank after trimming.
bool SEQRowIsEmpty(const IStringGrid& grid, int row);

// Keeps at least SEQcMinRows rows and exactly one empty row at the end: an
// empty last row loses its attribute cell, further empty rows above it go
// while more than SEQcMinRows rows remain; a last row that is not empty
// gets an empty row below.
void SEQRemoveEmptyLines(IStringGrid& grid);

// The file line of a grid row; the paths of columns 1 and 2 have a
// directory a two-way alias names replaced by the alias.
std::string SEQLineToString(const IStringGrid& grid, int row, const TALUAliasList& aliases);

// The whole file text of the grid.
std::string SEQSequenceText(const IStringGrid& grid, const TALUAliasList& aliases);

// Lays the file text into the grid: all cells are cleared, every line
// becomes a row from row 1 (fields with aliases expanded), then the rows
// are trimmed. The header row is left alone.
void SEQLayOutText(IStringGrid& grid, std::string_view text, const TALUAliasList& aliases);

// Reads the file into the grid. On failure the grid is left as it was and
// `error` holds the file name and the system's text.
[[nodiscard]] bool SEQLoadSequence(IStringGrid& grid, const std::string& path,
                                   const TALUAliasList& aliases, std::string& error);
// Writes the grid to the file atomically; on failure `error` as above.
[[nodiscard]] bool SEQSaveSequence(const IStringGrid& grid, const std::string& path,
                                   const TALUAliasList& aliases, std::string& error);

// A cell's path as the file system takes it: "\" separators become "/".
std::string SEQFilePath(std::string_view cell);

}  // namespace kal
