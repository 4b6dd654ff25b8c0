#pragma once

// The program registered for a file's type, found as xdg-utils find it:
// `xdg-mime query filetype` gives the MIME type, `xdg-mime query default`
// the desktop entry, and the entry's Exec line the command.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

// The Exec value of a desktop entry as an argument vector for `file`:
// string escapes (\s \n \t \r \\) undone, arguments split at blanks outside
// double quotes (inside them \" \` \$ \\ are escapes), the field codes
// %f %F %u %U replaced by the file, "%%" by "%", other field codes dropped
// (an argument left empty by that goes), and the file appended when the
// line has no file code.
std::vector<std::string> HLPExecArguments(std::string_view exec, const std::string& file);

// The desktop entry file for a desktop id: looked for in the applications
// folder of $XDG_DATA_HOME (default ~/.local/share), then of each folder of
// $XDG_DATA_DIRS (default /usr/local/share:/usr/share), as "id" or, for
// "vendor-app.desktop", as "vendor/app.desktop". Empty when none.
std::string HLPFindDesktopEntry(const std::string& desktopId);

// The command that opens `file` with its registered program; none when the
// type, the association, the entry or its Exec line is missing.
std::optional<std::vector<std::string>> HLPFindExecutable(const std::string& file);

}  // namespace kal
