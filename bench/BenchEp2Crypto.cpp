// ep2 cryptography against OpenSSL (run by `make bench` with OpenSSL masked
// to its portable code). RATIO lines: ep2-mac-4k (the retail MAC over the
// SHA-256 hash of 4 KB, against OpenSSL's SHA-256 and Triple-DES CBC giving
// the same MAC) and ep2-cryptogram (a 24-byte session key's cryptogram built
// and parsed under a 2048-bit key, against OpenSSL's RSA-OAEP with SHA-256
// encrypting and decrypting; our private operation uses no CRT).
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstdlib>
#include <string>

#include "ep2/Ep2Security.h"

namespace {

using kal::TSECep2Security;

std::string Data(size_t n) {
  std::string v(n, '\0');
  uint32_t x = 2463534242u;
  for (char& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<char>(x);
  }
  return v;
}

const std::string kMacKey = "0123456789abcdefFEDCBA98";  // K1 || K2 || K3
constexpr size_t k4K = 4096;

void MacOurs(benchmark::State& state) {
  const std::string text = Data(k4K);
  TSECep2Security sec(4000);
  std::string mac;
  for (auto _ : state) {
    const std::string hash = TSECep2Security::SECGetHash(text, 2);
    if (sec.SECComputeMac(kMacKey, hash, nullptr, mac) != 0) std::abort();
    benchmark::DoNotOptimize(mac.data());
  }
  state.SetBytesProcessed(state.iterations() * k4K);
}

// The same MAC: single DES (Triple DES with K1 three times) in CBC mode over
// the first four blocks of the padded hash, then Triple DES K1, K2, K3
// chained to them on the last block.
void MacRef(benchmark::State& state) {
  const std::string text = Data(k4K);
  const std::string k1 = kMacKey.substr(0, 8), tripled = k1 + k1 + k1;
  EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD_CTX* mdCtx = EVP_MD_CTX_new();
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "DES-EDE3-CBC", nullptr);
  EVP_CIPHER_CTX* single = EVP_CIPHER_CTX_new();
  EVP_CIPHER_CTX* triple = EVP_CIPHER_CTX_new();
  const unsigned char zero[8] = {};
  EVP_EncryptInit_ex(single, cipher, nullptr,
                     reinterpret_cast<const unsigned char*>(tripled.data()), zero);
  EVP_EncryptInit_ex(triple, cipher, nullptr,
                     reinterpret_cast<const unsigned char*>(kMacKey.data()), zero);
  EVP_CIPHER_CTX_set_padding(single, 0);
  EVP_CIPHER_CTX_set_padding(triple, 0);
  unsigned char padded[40] = {}, chain[32], mac[8];
  padded[32] = 0x80;
  unsigned int mdLen = 0;
  int len = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex(mdCtx, md, nullptr);
    EVP_DigestUpdate(mdCtx, text.data(), text.size());
    EVP_DigestFinal_ex(mdCtx, padded, &mdLen);
    EVP_EncryptInit_ex(single, nullptr, nullptr, nullptr, zero);
    EVP_EncryptUpdate(single, chain, &len, padded, 32);
    EVP_EncryptInit_ex(triple, nullptr, nullptr, nullptr, chain + 24);
    EVP_EncryptUpdate(triple, mac, &len, padded + 32, 8);
    benchmark::DoNotOptimize(mac);
  }
  TSECep2Security sec(4000);
  std::string ours;
  if (sec.SECComputeMac(kMacKey, TSECep2Security::SECGetHash(text, 2), nullptr, ours) != 0 ||
      ours != std::string(reinterpret_cast<char*>(mac), 8))
    state.SkipWithError("the reference computes another MAC");
  EVP_CIPHER_CTX_free(single);
  EVP_CIPHER_CTX_free(triple);
  EVP_CIPHER_free(cipher);
  EVP_MD_CTX_free(mdCtx);
  EVP_MD_free(md);
  state.SetBytesProcessed(state.iterations() * k4K);
}

struct RsaKey {
  EVP_PKEY* pkey = EVP_RSA_gen(2048);
  std::string n = Param(OSSL_PKEY_PARAM_RSA_N), e = Param(OSSL_PKEY_PARAM_RSA_E),
              d = Param(OSSL_PKEY_PARAM_RSA_D);

  std::string Param(const char* name) const {
    BIGNUM* b = nullptr;
    if (pkey == nullptr || EVP_PKEY_get_bn_param(pkey, name, &b) != 1) std::abort();
    std::string s(BN_num_bytes(b), '\0');
    BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
    BN_clear_free(b);
    return s;
  }
};

const RsaKey& Key() {
  static const RsaKey key;
  return key;
}

const std::string kSessionKey = Data(24), kSecret = Data(16);

void CryptogramOurs(benchmark::State& state) {
  const RsaKey& k = Key();
  TSECep2Security sec(4000);
  std::string cryptogram, id, key, secret, data;
  for (auto _ : state) {
    if (sec.SECGenerateSessionKeyCryptogramm("TERMINAL", kSessionKey, kSecret, k.e, k.n,
                                             cryptogram) != 0 ||
        sec.SECParseSessionKeyCryptogramm(cryptogram, k.d, k.n, true, id, key, secret, data) != 0)
      std::abort();
    benchmark::DoNotOptimize(key.data());
  }
  if (key != kSessionKey) state.SkipWithError("wrong session key");
  state.SetItemsProcessed(state.iterations());
}

EVP_PKEY_CTX* OaepContext(EVP_PKEY* pkey, bool encrypt) {
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey, nullptr);
  if ((encrypt ? EVP_PKEY_encrypt_init(ctx) : EVP_PKEY_decrypt_init(ctx)) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) != 1 ||
      EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256()) != 1 ||
      EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256()) != 1)
    std::abort();
  return ctx;
}

void CryptogramRef(benchmark::State& state) {
  const RsaKey& k = Key();
  EVP_PKEY_CTX* enc = OaepContext(k.pkey, true);
  EVP_PKEY_CTX* dec = OaepContext(k.pkey, false);
  const std::string data = "\x7FTERMINAL" + kSessionKey + kSecret;
  unsigned char cryptogram[256], plain[256];
  for (auto _ : state) {
    size_t len = sizeof(cryptogram), plainLen = sizeof(plain);
    if (EVP_PKEY_encrypt(enc, cryptogram, &len, reinterpret_cast<const unsigned char*>(data.data()),
                         data.size()) != 1 ||
        EVP_PKEY_decrypt(dec, plain, &plainLen, cryptogram, len) != 1)
      std::abort();
    benchmark::DoNotOptimize(plain);
  }
  EVP_PKEY_CTX_free(enc);
  EVP_PKEY_CTX_free(dec);
  state.SetItemsProcessed(state.iterations());
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("ep2-mac-4k/ours", MacOurs);
  benchmark::RegisterBenchmark("ep2-mac-4k/ref", MacRef);
  benchmark::RegisterBenchmark("ep2-cryptogram/ours", CryptogramOurs);
  benchmark::RegisterBenchmark("ep2-cryptogram/ref", CryptogramRef);
  return true;
}();

}  // namespace
