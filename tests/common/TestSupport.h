#pragma once

// Helpers shared by the tests: temporary folders, data paths and running
// outside oracles (python3, openssl) as child processes.

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kal::test {

// A fresh folder under $TMPDIR (or /tmp), removed with its content when the
// object goes out of scope. path() ends with "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + std::string(name); }

 private:
  std::string path_;
};

// Folder of the shared test data (the W3C suite ...), test data of this
// repository, and the source tree.
std::string SharedDir();
std::string TestDataDir();
std::string SourceDir();

// Runs a command line through /bin/sh with `input` on its standard input and
// returns its standard output; `status` gets the exit status (-1 when it did
// not exit normally).
std::string RunCommand(const std::string& command, std::string_view input, int* status = nullptr);

// Runs Debian's /usr/bin/python3 on a script given as text (on its -c
// argument) with `input` on standard input; returns standard output.
std::string RunPython(const std::string& script, std::string_view input, int* status = nullptr);

// Writes and reads a whole file; throw on failure.
void WriteFile(const std::string& path, std::string_view content);
std::string ReadFile(const std::string& path);

// Hex text (any case, blanks allowed) to bytes and bytes to upper-case
// compact hex, written independently of the code under test.
std::string FromHex(std::string_view hex);
std::string ToHex(std::string_view bytes);

// The lines of a text (LF-separated, without the LF).
std::vector<std::string> SplitLines(const std::string& text);

// n random bytes from the generator.
std::string RandomBytes(std::mt19937& rng, size_t n);

// A loopback port that nothing listens on at the moment, chosen by the
// system (free again when this returns).
int FreeLoopbackPort();

}  // namespace kal::test
