#pragma once

#include <string>

namespace kal {

// The folder part of a path, with its trailing "/"; empty when there is none.
std::string CEXDirectoryOf(const std::string& path);

// The file name of a path without its folder.
std::string CEXNameOf(const std::string& path);

// True when the path names an existing regular file.
bool CEXFileExists(const std::string& path);

}  // namespace kal
