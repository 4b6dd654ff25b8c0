#pragma once

// Recorded data files in outgoing messages: a container with attribute D
// takes the recorded transactions of its terminal (or, without a terminal
// id, of every file in the record folder) as XML elements; each file read
// is then moved into the archive.

#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TARCArchive;
class TVxXMLElement;
class TXMLMessageTree;

// Recorded files are read whole; larger ones are refused.
inline constexpr size_t CEXcMaxRecordedFileBytes = 64u * 1024u * 1024u;

// The record folder as a path: backslashes become "/" and a trailing "/"
// is ensured (an empty folder stays empty: the current folder).
std::string CEXRecordFolder(std::string folder);

// The file name a terminal id gives (without ".xml"): true with `name` set
// to the id trimmed when the id holds no "/", a backslash, NUL or other control
// character and, trimmed, is neither empty, "." nor "..". Only such an id
// names a recorded file, so no file outside the record folder is written,
// read or archived.
bool CEXTerminalFileName(std::string_view terminalId, std::string& name);

// The id as a message shows it: each control character as a backslash, "x" and two
// hex digits.
std::string CEXShownTerminalId(std::string_view terminalId);

// Reads one recorded file (one element per line) into the document of
// `container`, under it: a line with ">" and without "</" opens an element
// that becomes the parent of the lines below it; a line whose "</" stands
// behind its fourth character is an element with its text; another line
// with "</" closes the open element (ignored when none is open); other
// lines are ignored. Texts are unescaped (UXMUnescapeText). 0, or 6001 with `errorText` when the
// document model refuses a name. A file that cannot be read adds nothing and gives 0.
[[nodiscard]] int CEXIncludeSingleRecordedFile(const std::string& path, TVxXMLElement& container,
                                               std::string& errorText);

// The files for a container of the source tree: with an "ep2:TrmID"
// element, the record folder + its file name (CEXTerminalFileName; none
// when the id names no file) + ".xml"; else, with an
// "ep2:PMSID" element, every "*.xml" file of the folder in name order;
// else none. `folder` has passed through CEXRecordFolder.
std::vector<std::string> CEXRecordedFiles(const std::string& folder, const TXMLMessageTree& tree);

// Includes every existing file of CEXRecordedFiles and moves it to the
// archive. 0 or the first error of CEXIncludeSingleRecordedFile.
[[nodiscard]] int CEXIncludeRecordedFile(const std::string& folder, const TXMLMessageTree& tree,
                                         TVxXMLElement& container, TARCArchive& archive,
                                         std::string& errorText);

}  // namespace kal
