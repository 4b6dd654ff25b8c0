// The ep2 frame (run by `make bench` with OpenSSL masked to its portable
// code). RATIO ep2-stream-4k: a frame of a 4 KB XML text in mode 1 (MAC, no
// RSA) written and read back, against a reference built from OpenSSL in the
// same run: the key variant by XOR, SHA-256 of the XML, the retail MAC as
// DES-EDE3-CBC operations keyed for the frame, the header assembled and
// split with plain copies, and the received XML hashed again.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ep2/Ep2ByteStream.h"

namespace {

using kal::TIBSaEp2ByteStream;
using kal::TIBSFrameHeader;

constexpr size_t k4K = 4096;
const std::string kSessionKey = "\x01\x23\x45\x67\x89\xAB\xCD\xEF\xFE\xDC\xBA\x98\x76\x54\x32\x10";
const std::string kSpec = "\x06\x30";

std::string Xml() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ep2:Msg>";
  for (unsigned i = 0; xml.size() < k4K - 12; ++i)
    xml += "\r\n   <ep2:E" + std::to_string(i % 10) + ">" + std::to_string(i * 7919u) + "</ep2:E" +
           std::to_string(i % 10) + ">";
  xml.resize(k4K - 12);
  return xml + "</ep2:Msg>\r\n";
}

// The header of the frames: version 0x30, MAC only.
TIBSFrameHeader MacOnlyHeader() {
  return {.sVersionNumber = "\x30",
          .sSpecVersionNumber = std::string(kSpec),
          .iEncoding = 1,
          .iSenderIDType = 3,
          .iPublicKeyOwnerIdentifierType = 1};
}

void StreamOurs(benchmark::State& state) {
  const std::string xml = Xml();
  const TIBSaEp2ByteStream stream(1000);
  const TIBSFrameHeader header = MacOnlyHeader();
  TIBSFrameHeader read;
  std::string frame, doc, hash;
  for (auto _ : state) {
    if (stream.IBSXMLDocToStream(xml, 8, 11, header, 1, kSessionKey, frame) != 0 ||
        stream.IBSStreamToXMLDoc(frame, 8, 11, doc, read, hash) != 0)
      std::abort();
    benchmark::DoNotOptimize(hash.data());
  }
  if (doc != xml) state.SkipWithError("the XML did not come back");
  state.SetBytesProcessed(state.iterations() * k4K);
}

void StreamRef(benchmark::State& state) {
  const std::string xml = Xml();
  EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD_CTX* mdCtx = EVP_MD_CTX_new();
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "DES-EDE3-CBC", nullptr);
  EVP_CIPHER_CTX* single = EVP_CIPHER_CTX_new();
  EVP_CIPHER_CTX* triple = EVP_CIPHER_CTX_new();
  const unsigned char zero[8] = {};
  unsigned char variant[24], k1Thrice[24], padded[40] = {}, chain[32], macBytes[8], digest[32];
  std::string frame, doc, spec, mac, hash;
  unsigned int mdLen = 0;
  int len = 0;
  for (auto _ : state) {
    // The MAC-send variant of the 16-byte key (mask EB5A), as K1 K2 K1.
    for (size_t i = 0; i < 16; ++i)
      variant[i] = static_cast<unsigned char>(kSessionKey[i] ^ (i % 2 == 0 ? 0xEB : 0x5A));
    std::memcpy(variant + 16, variant, 8);
    for (size_t i = 0; i < 24; ++i) k1Thrice[i] = variant[i % 8];
    EVP_DigestInit_ex(mdCtx, md, nullptr);
    EVP_DigestUpdate(mdCtx, xml.data(), xml.size());
    EVP_DigestFinal_ex(mdCtx, padded, &mdLen);
    padded[32] = 0x80;
    EVP_EncryptInit_ex(single, cipher, nullptr, k1Thrice, zero);
    EVP_CIPHER_CTX_set_padding(single, 0);
    EVP_EncryptUpdate(single, chain, &len, padded, 32);
    EVP_EncryptInit_ex(triple, cipher, nullptr, variant, chain + 24);
    EVP_CIPHER_CTX_set_padding(triple, 0);
    EVP_EncryptUpdate(triple, macBytes, &len, padded + 32, 8);

    const uint32_t length = static_cast<uint32_t>(4 + 8 + xml.size());
    frame.clear();
    frame.reserve(4 + length);
    frame += static_cast<char>(length >> 24);
    frame += static_cast<char>(length >> 16);
    frame += static_cast<char>(length >> 8);
    frame += static_cast<char>(length);
    frame += '\x30';
    frame += kSpec;
    frame += '\x01';
    frame.append(reinterpret_cast<const char*>(macBytes), 8);
    frame += xml;

    spec.assign(frame, 5, 2);
    mac.assign(frame, 8, 8);
    doc.assign(frame, 16, std::string::npos);
    EVP_DigestInit_ex(mdCtx, md, nullptr);
    EVP_DigestUpdate(mdCtx, doc.data(), doc.size());
    EVP_DigestFinal_ex(mdCtx, digest, &mdLen);
    hash.assign(reinterpret_cast<const char*>(digest), 32);
    benchmark::DoNotOptimize(hash.data());
  }
  const TIBSaEp2ByteStream stream(1000);
  std::string ours;
  if (stream.IBSXMLDocToStream(xml, 8, 11, MacOnlyHeader(), 1, kSessionKey, ours) != 0 ||
      ours != frame)
    state.SkipWithError("the reference builds another frame");
  EVP_CIPHER_CTX_free(single);
  EVP_CIPHER_CTX_free(triple);
  EVP_CIPHER_free(cipher);
  EVP_MD_CTX_free(mdCtx);
  EVP_MD_free(md);
  state.SetBytesProcessed(state.iterations() * k4K);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("ep2-stream-4k/ours", StreamOurs);
  benchmark::RegisterBenchmark("ep2-stream-4k/ref", StreamRef);
  return true;
}();

}  // namespace
