#pragma once

// The ep2 key variants, hashes, retail MAC and Triple-DES strings computed
// with OpenSSL, for checking frames and received-message security.

#include <openssl/evp.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kal::test {

// Triple DES (a 16-byte key is used as K1 K2 K1) without padding; ECB when
// iv is empty, else CBC.
inline std::string Ede(std::string key, std::string_view data, bool encrypt, std::string iv = {}) {
  if (key.size() == 16) key += key.substr(0, 8);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  const auto* cipher = iv.empty() ? EVP_des_ede3_ecb() : EVP_des_ede3_cbc();
  EVP_CipherInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                    reinterpret_cast<const unsigned char*>(iv.data()), encrypt ? 1 : 0);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  std::string out(data.size(), '\0');
  int len = 0;
  EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &len,
                   reinterpret_cast<const unsigned char*>(data.data()),
                   static_cast<int>(data.size()));
  EVP_CIPHER_CTX_free(ctx);
  return out;
}

// 0x80 and zero bytes up to a multiple of 8.
inline std::string Pad80(std::string s) {
  s += '\x80';
  while (s.size() % 8 != 0) s += '\0';
  return s;
}

// The session-key variant: the key XOR its mask word (16 bytes), or the
// three chained Triple-DES blocks of the mask's first 8 bytes (24 bytes).
inline std::string VariantRef(const std::string& key, int variant) {
  static const uint16_t words[] = {0x7184, 0xEB5A, 0x9309, 0x0C7E, 0xC5B1, 0x3FE7};
  std::string mask;
  for (size_t i = 0; i < key.size(); ++i)
    mask += static_cast<char>(i % 2 == 0 ? words[variant] >> 8 : words[variant] & 0xFF);
  if (key.size() == 16) {
    std::string v = key;
    for (size_t i = 0; i < 16; ++i) v[i] ^= mask[i];
    return v;
  }
  const std::string c = mask.substr(0, 8);
  std::string out, block = c;
  for (int round = 0; round < 3; ++round) {
    const std::string r = Ede(key, block, true);
    out += r;
    for (size_t i = 0; i < 8; ++i) block[i] = static_cast<char>(r[i] ^ c[i]);
  }
  return out;
}

inline std::string ShaRef(std::string_view text, bool sha256) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(text.data(), text.size(), md, &len, sha256 ? EVP_sha256() : EVP_sha1(), nullptr);
  return std::string(reinterpret_cast<char*>(md), len);
}

// ISO/IEC 9797-1 algorithm 3 with padding method 2: single DES CBC (K1
// three times) over all blocks but the last, Triple DES on the last one.
inline std::string RetailMacRef(const std::string& key, std::string_view text) {
  const std::string padded = Pad80(std::string(text));
  const std::string k1 = key.substr(0, 8);
  std::string iv(8, '\0');
  const size_t last = padded.size() - 8;
  if (last > 0) iv = Ede(k1 + k1 + k1, padded.substr(0, last), true, iv).substr(last - 8);
  return Ede(key, padded.substr(last), true, iv);
}

// The frame MAC of an XML text.
inline std::string FrameMacRef(const std::string& key, int variant, std::string_view xml,
                               bool sha256) {
  return RetailMacRef(VariantRef(key, variant), ShaRef(xml, sha256));
}

}  // namespace kal::test
