// The OAEP decoder and the session-key cryptogram parser, checked against
// OpenSSL. The first byte picks the case:
//  bit 0 clear: the rest is an encoded message for OAEP decoding; bit 1 set
//    selects SHA-1 (else SHA-256); bit 2 set makes the modulus length one
//    more than the message (the k - 1 byte form), else equal to it (the
//    first byte must be 0x00). OpenSSL's OAEP padding check must agree, and
//    a decoded message encoded again with its seed gives the input back.
//  bit 0 set: the rest (1 to 128 bytes) is a cryptogram under a
//    fixed 1024-bit key; bit 1 set selects OAEP. OpenSSL's decryption must
//    agree.
#define OPENSSL_SUPPRESS_DEPRECATED  // the OAEP padding check on its own
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ep2/Ep2Security.h"

namespace {

using kal::TSECep2Security;

// The 1024-bit key of the PKCS #1 v2.1 OAEP example (e = 17).
const char* const kN =
    "bbf82f090682ce9c2338ac2b9da871f7368d07eed41043a440d6b6f07454f51f"
    "b8dfbaaf035c02ab61ea48ceeb6fcd4876ed520d60e1ec4619719d8a5b8b807f"
    "afb8e0a3dfc737723ee6b4b7d93a2584ee6a649d060953748834b2454598394e"
    "e0aab12d7b61a51f527a9a41f6c1687fe2537298ca2a8f5946f8e5fd091dbdcb";
const char* const kD =
    "a5dafc5341faf289c4b988db30c1cdf83f31251e0668b42784813801579641b2"
    "9410b3c7998d6bc465745e5c392669d6870da2c082a939e37fdcb82ec93edac9"
    "7ff3ad5950accfbc111c76f1a9529444e56aaf68c56c092cd38dc3bef5d20a93"
    "9926ed4f74a13eddfbe1a1cecc4894af9428c2b7b8883fe4463a4bc85b1cb3c1";
constexpr size_t kK = 128;
constexpr size_t kMaxEncodedMessage = 1024;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

std::string Bytes(const char* hex) {
  BIGNUM* b = nullptr;
  BN_hex2bn(&b, hex);
  std::string s(BN_num_bytes(b), '\0');
  BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
  BN_free(b);
  return s;
}

struct Key {
  std::string n = Bytes(kN), d = Bytes(kD);
  EVP_PKEY* pkey = nullptr;

  Key() {
    BIGNUM *bn = nullptr, *be = nullptr, *bd = nullptr;
    BN_hex2bn(&bn, kN);
    BN_hex2bn(&be, "11");
    BN_hex2bn(&bd, kD);
    OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, bn);
    OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, be);
    OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_D, bd);
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
    if (EVP_PKEY_fromdata_init(ctx) != 1 ||
        EVP_PKEY_fromdata(ctx, &pkey, EVP_PKEY_KEYPAIR, params) != 1)
      Fail("cannot build the key");
    EVP_PKEY_CTX_free(ctx);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(bld);
    BN_free(bn);
    BN_free(be);
    BN_free(bd);
  }
};

// OpenSSL's private-key decryption (raw or OAEP with SHA-256); false when
// it refuses.
bool OpenSslDecrypt(const Key& key, const std::string& in, bool oaep, std::string& out) {
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key.pkey, nullptr);
  bool ok = EVP_PKEY_decrypt_init(ctx) == 1 &&
            EVP_PKEY_CTX_set_rsa_padding(ctx, oaep ? RSA_PKCS1_OAEP_PADDING : RSA_NO_PADDING) == 1;
  if (ok && oaep)
    ok = EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256()) == 1 &&
         EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256()) == 1;
  out.assign(kK, '\0');
  size_t len = out.size();
  ok = ok && EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(out.data()), &len,
                              reinterpret_cast<const unsigned char*>(in.data()), in.size()) == 1;
  EVP_PKEY_CTX_free(ctx);
  out.resize(ok ? len : 0);
  return ok;
}

void Decode(TSECep2Security& sec, uint8_t mode, const std::string& em) {
  const int variant = (mode & 2) != 0 ? 1 : 2;
  const size_t k = em.size() + ((mode & 4) != 0 ? 1 : 0);
  std::string seed, message;
  const int rc =
      sec.SECComputeDecodedMessage(nullptr, em, variant, static_cast<int>(k), seed, message);
  if (rc != 0 && rc != 4015) Fail("unexpected result code");

  std::string ref(k, '\0');
  const EVP_MD* md = variant == 1 ? EVP_sha1() : EVP_sha256();
  const int len = k < 2 ? -1
                        : RSA_padding_check_PKCS1_OAEP_mgf1(
                              reinterpret_cast<unsigned char*>(ref.data()), static_cast<int>(k),
                              reinterpret_cast<const unsigned char*>(em.data()),
                              static_cast<int>(em.size()), static_cast<int>(k), nullptr, 0, md, md);
  if ((rc == 0) != (len >= 0)) Fail("acceptance differs from OpenSSL");
  if (rc != 0) return;
  if (message != ref.substr(0, static_cast<size_t>(len))) Fail("message differs from OpenSSL");

  std::string again;
  if (sec.SECComputeEncodedMessage(nullptr, message, seed, variant, static_cast<int>(k), again) !=
      0)
    Fail("a decoded message does not encode");
  if (again != (em.size() == k ? em.substr(1) : em)) Fail("encoding again differs");
}

void Parse(TSECep2Security& sec, const Key& key, bool oaep, const std::string& cryptogram) {
  std::string id, sessionKey, secret, data;
  const int rc = sec.SECParseSessionKeyCryptogramm(cryptogram, key.d, key.n, oaep, id, sessionKey,
                                                   secret, data);
  std::string ref;
  const bool refOk = OpenSslDecrypt(key, cryptogram, oaep, ref);
  // Ours refuses what OpenSSL refuses, and accepts exactly the data of the
  // cryptogram form; the RSA step fails for both or neither.
  const bool form = refOk && ref.size() >= 41 && ref[0] == '\x7F' && (!oaep || ref.size() == 49);
  if ((rc == 0) != form) Fail("acceptance differs from OpenSSL");
  if (!oaep && (rc == 4018) != !refOk) Fail("RSA refusal differs from OpenSSL");
  if (rc != 0) return;
  if (data != ref || sec.SECSessionKeyCryptogramm() != ref) Fail("data differs from OpenSSL");
  if (id.size() != 8 || sessionKey.size() != (oaep ? 24u : 16u) || secret.size() != 16 ||
      ref.compare(1, 8 + sessionKey.size() + 16, id + sessionKey + secret) != 0)
    Fail("parts differ from the data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Key key;
  static TSECep2Security sec(4000);
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if ((mode & 1) == 0) {
    if (rest.size() <= kMaxEncodedMessage) Decode(sec, mode, rest);
  } else if (!rest.empty() && rest.size() <= kK) {
    Parse(sec, key, (mode & 2) != 0, rest);
  }
  return 0;
}
