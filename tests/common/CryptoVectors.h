#pragma once

// Reading the NIST CAVP and PKCS #1 test vectors of Debian's
// python3-cryptography-vectors at test time (the package is installed by
// scripts/install-deps; the files are not copied into this repository).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/TestSupport.h"

namespace kal::test {

// The package's data folder: $KAL_CRYPTO_VECTORS, else Debian's install
// path, else wherever python3 finds the module. Empty when none exists.
inline std::string CryptoVectorsDir() {
  if (const char* env = std::getenv("KAL_CRYPTO_VECTORS"); env && *env) return env;
  const std::string debian = "/usr/lib/python3/dist-packages/cryptography_vectors";
  if (std::filesystem::is_directory(debian)) return debian;
  int status = -1;
  std::string out = RunPython(
      "import os, cryptography_vectors as v; print(os.path.dirname(v.__file__))", "", &status);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (status == 0 && std::filesystem::is_directory(out)) return out;
  return {};
}

// The path of a vector file below the package folder, e.g.
// "hashes/SHA1/SHA1ShortMsg.rsp". Fails the test (fatally) when missing.
inline std::string CryptoVectorFile(const std::string& relative) {
  const std::string dir = CryptoVectorsDir();
  if (dir.empty()) throw std::runtime_error("python3-cryptography-vectors is not installed");
  const std::string path = dir + "/" + relative;
  if (!std::filesystem::is_regular_file(path))
    throw std::runtime_error("missing vector file " + path);
  return path;
}

// One record of a CAVP .rsp file: the "name = value" lines between blank
// lines, with the bracketed section ("ENCRYPT", "DECRYPT", "L = 20") that
// holds it.
struct CavpRecord {
  std::string section;
  std::map<std::string, std::string> fields;
  bool Has(const std::string& k) const { return fields.count(k) != 0; }
  const std::string& operator[](const std::string& k) const {
    auto it = fields.find(k);
    if (it == fields.end()) throw std::runtime_error("record has no field " + k);
    return it->second;
  }
};

inline std::string TrimText(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

inline std::vector<CavpRecord> ReadCavpFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<CavpRecord> records;
  CavpRecord cur;
  std::string section, line;
  auto flush = [&] {
    if (!cur.fields.empty()) records.push_back(cur);
    cur = CavpRecord();
    cur.section = section;
  };
  while (std::getline(in, line)) {
    line = TrimText(line);
    if (line.empty()) {
      flush();
      continue;
    }
    if (line[0] == '#') continue;
    if (line[0] == '[') {
      flush();
      section = line.substr(1, line.find(']') - 1);
      cur.section = section;
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    cur.fields[TrimText(line.substr(0, eq))] = TrimText(line.substr(eq + 1));
  }
  flush();
  return records;
}

// The hex blocks of the PKCS #1 intermediate-value files: a comment line
// "# <title>:" followed by lines of hex octets up to a blank line. Returns
// the blocks in file order as (title, bytes).
inline std::vector<std::pair<std::string, std::string>> ReadPkcs1HexBlocks(
    const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::pair<std::string, std::string>> blocks;
  std::string line, title, hex;
  bool inBlock = false;
  auto flush = [&] {
    // Some files write integers without a leading zero digit ("10001").
    size_t digits = 0;
    for (char c : hex) digits += std::isxdigit(static_cast<unsigned char>(c)) ? 1 : 0;
    if (digits % 2 != 0) hex.insert(0, "0");
    if (inBlock && !hex.empty()) blocks.emplace_back(title, FromHex(hex));
    inBlock = false;
    hex.clear();
  };
  while (std::getline(in, line)) {
    const std::string t = TrimText(line);
    if (t.empty()) {
      flush();
      continue;
    }
    if (t[0] == '#') {
      flush();
      if (t.back() == ':') {
        title = TrimText(t.substr(1, t.size() - 2));
        inBlock = true;
      }
      continue;
    }
    if (inBlock) {
      bool isHex = true;
      for (char c : t)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ' ' && c != '\t') isHex = false;
      if (isHex)
        hex += t;
      else
        flush();
    }
  }
  flush();
  return blocks;
}

// A digest of a byte string, as raw bytes.
using DigestFunction = std::function<std::string(std::string_view)>;

// Runs every whole-byte record of a SHAVS message file (ShortMsg, LongMsg)
// through the digest.
inline void RunCavpMsgFile(const std::string& file, const DigestFunction& digest) {
  const auto records = ReadCavpFile(CryptoVectorFile(file));
  size_t n = 0;
  for (const auto& r : records) {
    if (!r.Has("Len")) continue;
    const size_t bits = std::stoul(r["Len"]);
    ASSERT_EQ(bits % 8, 0u);
    const std::string msg = FromHex(r["Msg"]).substr(0, bits / 8);
    EXPECT_EQ(ToHex(digest(msg)), ToHex(FromHex(r["MD"]))) << file << " Len=" << bits;
    ++n;
  }
  EXPECT_GE(n, 64u) << file;
}

// SHAVS Monte Carlo: MD_i = SHA(MD_{i-3} || MD_{i-2} || MD_{i-1}) 1000 times
// per checkpoint, the last one seeding the next.
inline void RunCavpMonteFile(const std::string& file, const DigestFunction& digest) {
  const auto records = ReadCavpFile(CryptoVectorFile(file));
  std::string seed;
  size_t checked = 0;
  for (const auto& r : records) {
    if (r.Has("Seed")) {
      seed = FromHex(r["Seed"]);
      continue;
    }
    if (!r.Has("MD")) continue;
    ASSERT_FALSE(seed.empty());
    std::string md0 = seed, md1 = seed, md2 = seed;
    for (int i = 3; i < 1003; ++i) {
      std::string next = digest(md0 + md1 + md2);
      md0 = std::move(md1);
      md1 = std::move(md2);
      md2 = std::move(next);
    }
    seed = md2;
    EXPECT_EQ(ToHex(md2), ToHex(FromHex(r["MD"]))) << "COUNT=" << r["COUNT"];
    ++checked;
  }
  EXPECT_EQ(checked, 100u);
}

// Feeds a message to a digest object in random pieces of 0 to 149 bytes
// (exercising the partial-block buffering) and completes it.
template <typename Digest>
void FeedInRandomPieces(Digest& h, std::string_view msg, std::mt19937_64& rng) {
  size_t pos = 0;
  while (pos < msg.size()) {
    const size_t take = std::min<size_t>(msg.size() - pos, rng() % 150);
    h.TransformString(msg.substr(pos, take));
    pos += take;
  }
  h.Complete();
}

}  // namespace kal::test
