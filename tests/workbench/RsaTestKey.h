#pragma once

// An RSA key made by OpenSSL for the tests that send or take session-key
// cryptograms: its numbers as bytes, as JSON for the mock ep2 host, and a
// raw (unpadded) decryption to open what the tool encrypted.

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <string>
#include <string_view>

#include "common/TestSupport.h"

namespace kal::test {

class RsaTestKey {
 public:
  explicit RsaTestKey(unsigned bits = 1024) : pkey_(EVP_RSA_gen(bits)) {
    n = Param(OSSL_PKEY_PARAM_RSA_N);
    e = Param(OSSL_PKEY_PARAM_RSA_E);
    d = Param(OSSL_PKEY_PARAM_RSA_D);
  }
  ~RsaTestKey() { EVP_PKEY_free(pkey_); }
  RsaTestKey(const RsaTestKey&) = delete;
  RsaTestKey& operator=(const RsaTestKey&) = delete;

  // {"n": "..", "e": ".."} and the same with "d", in hex.
  std::string PublicJson() const {
    return "{\"n\": \"" + ToHex(n) + "\", \"e\": \"" + ToHex(e) + "\"}";
  }
  std::string PrivateJson() const {
    return "{\"n\": \"" + ToHex(n) + "\", \"e\": \"" + ToHex(e) + "\", \"d\": \"" + ToHex(d) +
           "\"}";
  }

  // Raw RSA with the private key; empty when OpenSSL refuses.
  std::string Decrypt(std::string_view in) const { return Decrypt(in, false); }
  // RSAES-OAEP with SHA-256 (and MGF1 over SHA-256); empty when OpenSSL
  // refuses.
  std::string DecryptOaepSha256(std::string_view in) const { return Decrypt(in, true); }

  std::string n, e, d;  // modulus, public and private exponent, big-endian bytes

 private:
  std::string Decrypt(std::string_view in, bool oaep) const {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(pkey_, nullptr);
    EVP_PKEY_decrypt_init(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, oaep ? RSA_PKCS1_OAEP_PADDING : RSA_NO_PADDING);
    if (oaep) {
      EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256());
      EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256());
    }
    std::string out(1024, '\0');
    size_t len = out.size();
    const int rc = EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(out.data()), &len,
                                    reinterpret_cast<const unsigned char*>(in.data()), in.size());
    EVP_PKEY_CTX_free(ctx);
    out.resize(rc == 1 ? len : 0);
    return out;
  }

  std::string Param(const char* name) const {
    BIGNUM* b = nullptr;
    EVP_PKEY_get_bn_param(pkey_, name, &b);
    std::string s(static_cast<size_t>(BN_num_bytes(b)), '\0');
    BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
    BN_free(b);
    return s;
  }
  EVP_PKEY* pkey_;
};

}  // namespace kal::test
