#pragma once

// Paths of the help engine. "/" is the separator; backslashes in map-file
// values are read as "/". There are no drives or server shares, and ":" is
// an ordinary character.

#include <string>
#include <string_view>

namespace kal {

// Every backslash turned into a slash.
std::string HLPSlashes(std::string_view path);

// The text before the last "/" ("/" itself for a file in the root); empty
// when the path has no directory.
std::string HLPDirectoryOf(std::string_view path);

// The text after the last "/".
std::string HLPFileName(std::string_view path);

// Directory and name with one "/" between them (none when the directory is
// empty or ends in "/").
std::string HLPJoinPath(std::string_view dir, std::string_view name);

// `path` (backslashes read as "/") made absolute against `base`: a path
// beginning with "/" stays, any other is joined to the base; then "." and
// ".." segments are resolved and repeated slashes folded (".." never climbs
// above the root). A relative base is taken against the current directory.
std::string HLPMakeAbsolute(std::string_view base, std::string_view path);

// The current working directory ("/" when it cannot be read).
std::string HLPCurrentDirectory();

}  // namespace kal
