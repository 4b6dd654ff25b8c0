#pragma once

#include <string>
#include <string_view>

namespace kal {

// Permission bits that limit nothing: see PLTWriteFileAtomically.
constexpr unsigned PLTcAnyMode = 07777;
// The length of a link chain a write follows (the kernel's own bound).
constexpr int PLTcMaxLinks = 40;

// Writes the whole content to a temporary file beside the file it replaces,
// flushes it and renames it over that file, so that a crash never leaves a
// truncated file. When `path` is a symbolic link (or a chain of them, at
// most PLTcMaxLinks), the file at its end is replaced and the links stay.
// A file that is replaced keeps its permission bits, and its owner and
// group where this process may set them; a new file gets the bits the
// umask leaves of 0666. Either is limited to `allowedMode` (0600 for files
// that hold secrets). Returns false, with errno set, and leaves the file as
// it was on any failure. The temporary file is named
// PLTTemporaryFileName(target) with the X's made unique.
[[nodiscard]] bool PLTWriteFileAtomically(const std::string& path, std::string_view content,
                                          unsigned allowedMode = PLTcAnyMode);

// The temporary name pattern of `path`: "." + its name + ".XXXXXX.kaltmp"
// in the same folder, so that a leftover (a kill during a write) is hidden
// and recognisably the program's own.
std::string PLTTemporaryFileName(const std::string& path);
// True for a file name (without folder) of that pattern.
bool PLTIsTemporaryFileName(std::string_view name);
// Removes the regular files of that pattern from `directory` (leftovers of
// writes that never finished) and nothing else; the number removed.
int PLTRemoveTemporaryFiles(const std::string& directory);

// Reads a whole regular file into `content`; false with errno set when it
// cannot be opened or read, is a folder (EISDIR) or not a regular file
// (EINVAL, a FIFO for instance), or is larger than `maxBytes` (EFBIG).
[[nodiscard]] bool PLTReadFile(const std::string& path, std::string& content,
                               size_t maxBytes = 64u * 1024u * 1024u);

}  // namespace kal
