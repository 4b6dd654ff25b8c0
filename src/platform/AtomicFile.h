#pragma once

#include <string>
#include <string_view>

namespace kal {

// Writes the whole content to a temporary file beside `path`, flushes it and
// renames it over `path`, so that a crash never leaves a truncated file.
// The file gets the permission bits `mode`. Returns false (and leaves `path`
// as it was) on any failure.
[[nodiscard]] bool PLTWriteFileAtomically(const std::string& path, std::string_view content,
                                          unsigned mode = 0644);

// Reads a whole file into `content`; false when it cannot be opened or read,
// or when it is larger than `maxBytes`.
[[nodiscard]] bool PLTReadFile(const std::string& path, std::string& content,
                               size_t maxBytes = 64u * 1024u * 1024u);

}  // namespace kal
