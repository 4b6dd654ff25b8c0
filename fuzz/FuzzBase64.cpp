// Base64 coder against a character-wise model of the
// decoder and against OpenSSL's EVP_EncodeBlock for encoding.
//
// Input: byte 0 selects the filter mode (bit 0); the rest is the text to
// decode and, as bytes, the data to encode.
#include <openssl/evp.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "support/Base64.h"

namespace {

using kal::fuzz::Check;

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Value(char c) {
  const size_t p = kAlphabet.find(c);
  return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

// The decoding rules, one character at a time.
uint8_t ModelDecode(std::string_view in, bool filter, std::string& out) {
  out.clear();
  if (in.empty()) return 0;
  std::string s;
  for (char c : in) {
    if (!filter || c == '=' || Value(c) >= 0) s.push_back(c);
  }
  if (s.size() % 4 != 0) return 3;
  for (size_t i = 0; i < s.size(); i += 4) {
    const int a = Value(s[i]), b = Value(s[i + 1]);
    if (a < 0 || b < 0) return 2;
    out.push_back(static_cast<char>(a * 4 + b / 16));
    int c = 0;
    if (s[i + 2] == '=') {
      if (i + 2 != s.size() - 2) return 4;
      if (s[i + 3] != '=') return 5;
    } else {
      c = Value(s[i + 2]);
      if (c < 0) return 2;
      out.push_back(static_cast<char>((b * 16 + c / 4) % 256));
    }
    if (s[i + 3] == '=') {
      if (i + 3 != s.size() - 1) return 4;
    } else {
      const int e = Value(s[i + 3]);
      if (e < 0) return 2;
      out.push_back(static_cast<char>((c * 64 + e) % 256));
    }
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 16)) return 0;
  const bool filter = data[0] & 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  kal::TUTBase64 coder;
  coder.filterdecodeinput = filter;
  std::string out = "stale", model;
  const uint8_t result = coder.DecodeData(text, out);
  Check(result == ModelDecode(text, filter, model));
  Check(out == model);

  // Encoding: same text as EVP_EncodeBlock, and it decodes back.
  std::string encoded = "stale";
  Check(!coder.EncodeData(text, encoded));
  std::string ref(4 * ((text.size() + 2) / 3) + 1, '\0');
  const int len = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(ref.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
  ref.resize(static_cast<size_t>(len));
  Check(encoded == ref);
  std::string back;
  Check(coder.DecodeData(encoded, back) == 0 && back == text);

  // A decoded text re-encodes to a text that decodes to the same bytes.
  if (result == 0) {
    std::string again, twice;
    Check(!coder.EncodeData(out, again));
    Check(coder.DecodeData(again, twice) == 0 && twice == out);
  }
  return 0;
}
