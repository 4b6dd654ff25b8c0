#pragma once

#include <string>
#include <string_view>

namespace kal {

// Writes the whole content to a temporary file beside `path`, flushes it and
// renames it over `path`, so that a crash never leaves a truncated file.
// The file gets the permission bits `mode`. Returns false (and leaves `path`
// as it was) on any failure. The temporary file is named
// PLTTemporaryFileName(path) with the X's made unique.
[[nodiscard]] bool PLTWriteFileAtomically(const std::string& path, std::string_view content,
                                          unsigned mode = 0644);

// The temporary name pattern of `path`: "." + its name + ".XXXXXX.kaltmp"
// in the same folder, so that a leftover (a kill during a write) is hidden
// and recognisably the program's own.
std::string PLTTemporaryFileName(const std::string& path);
// True for a file name (without folder) of that pattern.
bool PLTIsTemporaryFileName(std::string_view name);
// Removes the regular files of that pattern from `directory` (leftovers of
// writes that never finished) and nothing else; the number removed.
int PLTRemoveTemporaryFiles(const std::string& directory);

// Reads a whole file into `content`; false when it cannot be opened or read,
// or when it is larger than `maxBytes`.
[[nodiscard]] bool PLTReadFile(const std::string& path, std::string& content,
                               size_t maxBytes = 64u * 1024u * 1024u);

}  // namespace kal
