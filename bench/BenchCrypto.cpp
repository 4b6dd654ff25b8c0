// Crypto primitives against OpenSSL (run by `make bench` with OpenSSL masked
// to its portable code). RATIO lines: sha1-4k, sha1-1m, sha256-4k,
// sha256-1m, 3des-cbc-4k, 3des-cbc-1m (throughput), rsa2048-private (our
// private exponent without CRT against OpenSSL's CRT private operation) and
// rsa2048-public (e = 65537), in operations per second.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/Des.h"
#include "support/Rsa.h"
#include "support/Sha1.h"
#include "support/Sha256.h"

namespace {

using kal::TFGInt;

std::vector<uint8_t> Data(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 2463534242u;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return v;
}

// --- digests ---

void Sha1Ours(benchmark::State& state, int64_t size) {
  const auto data = Data(size);
  kal::TSHA1 h;
  for (auto _ : state) {
    h.Clear();
    h.TransformBytes(data.data(), data.size());
    h.Complete();
    benchmark::DoNotOptimize(h.HashValue());
  }
  state.SetBytesProcessed(state.iterations() * data.size());
}

void Sha256Ours(benchmark::State& state, int64_t size) {
  const auto data = Data(size);
  for (auto _ : state) {
    kal::T256BitDigest d = kal::CalcSHA256(data.data(), data.size());
    benchmark::DoNotOptimize(d);
  }
  state.SetBytesProcessed(state.iterations() * data.size());
}

void DigestRef(benchmark::State& state, const char* name, int64_t size) {
  const auto data = Data(size);
  EVP_MD* md = EVP_MD_fetch(nullptr, name, nullptr);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, data.data(), data.size());
    EVP_DigestFinal_ex(ctx, out, &len);
    benchmark::DoNotOptimize(out);
  }
  EVP_MD_CTX_free(ctx);
  EVP_MD_free(md);
  state.SetBytesProcessed(state.iterations() * data.size());
}

void Sha1Ref(benchmark::State& state, int64_t size) {
  DigestRef(state, "SHA1", size);
}
void Sha256Ref(benchmark::State& state, int64_t size) {
  DigestRef(state, "SHA256", size);
}

// --- Triple DES, CBC encryption with a key schedule kept across calls ---

const std::string kKey24 = "0123456789abcdefFEDCBA98";
const std::string kIv = "\x12\x34\x56\x78\x90\xab\xcd\xef";

void TripleDesCbcOurs(benchmark::State& state, int64_t size) {
  const auto data = Data(size);
  std::vector<uint8_t> out(data.size());
  kal::TTripleDES c;
  if (c.SetKey(kKey24) != kal::TCryptoResult::Ok || c.SetIVector(kIv) != kal::TCryptoResult::Ok)
    std::abort();
  c.SetCipherMode(kal::TCipherMode::CBCMode);
  for (auto _ : state) {
    if (c.EncipherData(data.data(), data.size(), out.data(), false) != kal::TCryptoResult::Ok)
      std::abort();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * data.size());
}

void TripleDesCbcRef(benchmark::State& state, int64_t size) {
  const auto data = Data(size);
  std::vector<uint8_t> out(data.size() + 16);
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "DES-EDE3-CBC", nullptr);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  const auto* key = reinterpret_cast<const unsigned char*>(kKey24.data());
  const auto* iv = reinterpret_cast<const unsigned char*>(kIv.data());
  EVP_EncryptInit_ex(ctx, cipher, nullptr, key, iv);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  int len = 0;
  for (auto _ : state) {
    EVP_EncryptInit_ex(ctx, nullptr, nullptr, nullptr, iv);  // new chain, same key
    EVP_EncryptUpdate(ctx, out.data(), &len, data.data(), static_cast<int>(data.size()));
    benchmark::DoNotOptimize(out.data());
  }
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
  state.SetBytesProcessed(state.iterations() * data.size());
}

// --- RSA-2048 ---

struct RsaKey {
  EVP_PKEY* pkey = nullptr;
  TFGInt n, e, d;
  std::string message;  // 256 bytes, first byte 0x7F, below n
  std::string cipher;   // its encryption

  static TFGInt Param(EVP_PKEY* pkey, const char* name) {
    BIGNUM* b = nullptr;
    if (EVP_PKEY_get_bn_param(pkey, name, &b) != 1) std::abort();
    std::string s(BN_num_bytes(b), '\0');
    BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
    BN_clear_free(b);
    TFGInt r;
    kal::Base256StringToFGInt(s, r);
    return r;
  }

  RsaKey() {
    pkey = EVP_RSA_gen(2048);
    if (pkey == nullptr) std::abort();
    n = Param(pkey, OSSL_PKEY_PARAM_RSA_N);
    e = Param(pkey, OSSL_PKEY_PARAM_RSA_E);
    d = Param(pkey, OSSL_PKEY_PARAM_RSA_D);
    const auto bytes = Data(256);
    message.assign(bytes.begin(), bytes.end());
    message[0] = 0x7F;
    std::string c;
    if (kal::RSAEncrypt(message, e, n, c) != kal::TRSAResult::Ok) std::abort();
    cipher = std::string(256 - c.size(), '\0') + c;
  }
};

const RsaKey& Key() {
  static const RsaKey key;
  return key;
}

void RsaPrivateOurs(benchmark::State& state) {
  const RsaKey& k = Key();
  std::string out;
  for (auto _ : state) {
    if (kal::RSADecrypt(k.cipher, k.d, k.n, out) != kal::TRSAResult::Ok) std::abort();
    benchmark::DoNotOptimize(out.data());
  }
  if (out != k.message) state.SkipWithError("wrong result");
  state.SetItemsProcessed(state.iterations());
}

void RsaPublicOurs(benchmark::State& state) {
  const RsaKey& k = Key();
  std::string out;
  for (auto _ : state) {
    if (kal::RSAEncrypt(k.message, k.e, k.n, out) != kal::TRSAResult::Ok) std::abort();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void RsaRef(benchmark::State& state, bool encrypt) {
  const RsaKey& k = Key();
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(k.pkey, nullptr);
  if ((encrypt ? EVP_PKEY_encrypt_init(ctx) : EVP_PKEY_decrypt_init(ctx)) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_NO_PADDING) != 1)
    std::abort();
  const std::string& in = encrypt ? k.message : k.cipher;
  unsigned char out[512];
  for (auto _ : state) {
    size_t len = sizeof(out);
    const int rc =
        encrypt ? EVP_PKEY_encrypt(ctx, out, &len,
                                   reinterpret_cast<const unsigned char*>(in.data()), in.size())
                : EVP_PKEY_decrypt(ctx, out, &len,
                                   reinterpret_cast<const unsigned char*>(in.data()), in.size());
    if (rc != 1) std::abort();
    benchmark::DoNotOptimize(out);
  }
  EVP_PKEY_CTX_free(ctx);
  state.SetItemsProcessed(state.iterations());
}

void RsaPrivateRef(benchmark::State& state) {
  RsaRef(state, false);
}
void RsaPublicRef(benchmark::State& state) {
  RsaRef(state, true);
}

constexpr int64_t k4K = 4096;
constexpr int64_t k1M = 1 << 20;

// Registered by name only (an Arg() would append "/<arg>" to the name).
const bool kRegistered = [] {
  struct Sized {
    const char* name;
    void (*fn)(benchmark::State&, int64_t);
    int64_t size;
  };
  // clang-format off
  const Sized sized[] = {
      {"sha1-4k/ours", Sha1Ours, k4K},           {"sha1-4k/ref", Sha1Ref, k4K},
      {"sha1-1m/ours", Sha1Ours, k1M},           {"sha1-1m/ref", Sha1Ref, k1M},
      {"sha256-4k/ours", Sha256Ours, k4K},       {"sha256-4k/ref", Sha256Ref, k4K},
      {"sha256-1m/ours", Sha256Ours, k1M},       {"sha256-1m/ref", Sha256Ref, k1M},
      {"3des-cbc-4k/ours", TripleDesCbcOurs, k4K}, {"3des-cbc-4k/ref", TripleDesCbcRef, k4K},
      {"3des-cbc-1m/ours", TripleDesCbcOurs, k1M}, {"3des-cbc-1m/ref", TripleDesCbcRef, k1M},
  };
  // clang-format on
  for (const Sized& b : sized) benchmark::RegisterBenchmark(b.name, b.fn, b.size);
  benchmark::RegisterBenchmark("rsa2048-private/ours", RsaPrivateOurs);
  benchmark::RegisterBenchmark("rsa2048-private/ref", RsaPrivateRef);
  benchmark::RegisterBenchmark("rsa2048-public/ours", RsaPublicOurs);
  benchmark::RegisterBenchmark("rsa2048-public/ref", RsaPublicRef);
  return true;
}();

}  // namespace
