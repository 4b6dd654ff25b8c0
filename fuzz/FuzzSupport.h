#pragma once

// Small helpers shared by the fuzz targets' reference models.

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace kal::fuzz {

// Aborts (a finding for libFuzzer) when a property does not hold.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

// Value of a hex digit of either case, -1 for any other character.
inline int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A folder of this process for the files a target reads by name (ending
// with "/"), made on first use and removed with the files named through
// File() when the process ends.
class Scratch {
 public:
  static Scratch& Get() {
    static Scratch scratch;
    return scratch;
  }
  const std::string& Dir() const { return dir_; }
  // The path of name in the folder, holding bytes.
  std::string File(const std::string& name, std::string_view bytes) {
    const std::string path = dir_ + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr);
    Check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    Check(std::fclose(f) == 0);
    names_.insert(name);
    return path;
  }
  ~Scratch() {
    for (const std::string& name : names_) ::unlink((dir_ + name).c_str());
    ::rmdir(dir_.c_str());
  }

 private:
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kal-fuzz-XXXXXX";
    Check(::mkdtemp(pattern.data()) != nullptr);
    dir_ = pattern + "/";
  }
  std::string dir_;
  std::set<std::string> names_;  // the files made
};

}  // namespace kal::fuzz
