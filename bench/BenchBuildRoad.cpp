// The build road (run by `make bench` with OpenSSL masked to its portable
// code). RATIO build-road-4k: "Create XML Doc" and "Create Data Stream" of a
// 4 KB message loaded from a message file with counters (so the silent save
// and the counter files are written), with the MAC and a 24-byte key's
// cryptogram under a 2048-bit key, the program folder a temporary one;
// against libxml2 building and dumping the same document, OpenSSL computing
// the same MAC and an RSA-OAEP encryption, and the same file writes (the
// dumped XML and two small files, each by temporary file and rename, in the
// same folder).
#include <benchmark/benchmark.h>
#include <libxml/tree.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchMessage.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "support/HexUtilities.h"
#include "workbench/CoreOnQueue.h"
#include "workbench/CounterLists.h"
#include "workbench/MessageFiles.h"

namespace {

using namespace kal;
using namespace kal::bench;

const std::string kKey24 = "0123456789ABCDEFFEDCBA98765432100011223344556677";

// The core's host; any message or error ends the run.
class Host final : public kal::test::CoreHost {
 public:
  void CEXShowMessage(const std::string& text) override { Fail(text); }
  void ERRSetError(int code, const std::string& detail) override {
    Fail(std::to_string(code) + " " + detail);
  }
  static void Fail(const std::string& text) {
    std::fprintf(stderr, "build road failed: %s\n", text.c_str());
    std::abort();
  }
};

struct RsaKey {
  RsaKey() : pkey(EVP_RSA_gen(2048)) {}
  ~RsaKey() { EVP_PKEY_free(pkey); }
  std::string Param(const char* name) const {
    BIGNUM* b = nullptr;
    EVP_PKEY_get_bn_param(pkey, name, &b);
    std::string s(static_cast<size_t>(BN_num_bytes(b)), '\0');
    BN_bn2bin(b, reinterpret_cast<unsigned char*>(s.data()));
    BN_free(b);
    return s;
  }
  EVP_PKEY* pkey;
};

const RsaKey& Key() {
  static const RsaKey key;
  return key;
}

size_t xmlBytes = 0;

void BuildRoadOurs(benchmark::State& state) {
  Folder folder;
  kal::test::CoreOnQueue<Host> set;
  TSECSystemRandom random;
  TCEXCounterLists counters(folder.path, set.host_);
  TCEXMessageFiles files(set.host_);
  TCEXMainWindow& core = set.MakeCoreIn(
      folder.path,
      {.sequenceWindow = false, .messageFiles = &files, .counters = &counters, .random = &random});
  files.CEXAttach(core);
  core.FormCreate();
  TCFGConfig& config = core.CEXConfiguration();
  config.CFGSetSessionKey(kKey24);
  config.CFGSetSessionKeyFromInMessage(0);
  config.CFGSetVersionNumber("30");
  config.CFGSetSpecVersionNumber("0630");
  config.CFGSetEncodingInformation(1);
  config.CFGSetComponentID("12345678901");
  config.CFGSetPublicKeyOwnerID("OWNER000001");
  config.CFGSetPublicKeyExponent(UTHStringToCompactHex(Key().Param(OSSL_PKEY_PARAM_RSA_E)));
  config.CFGSetPublicKeyModulus(UTHStringToCompactHex(Key().Param(OSSL_PKEY_PARAM_RSA_N)));
  core.RadioGroup1Click(1);
  core.CEXSetAddMsgNum(0);

  // The message, written to a message file and loaded from it.
  AddBenchMessage(core.CEXSourceTree());
  const std::string message = folder.path + "bench.epm";
  core.CEXSetMessageFileName(message);
  if (!files.CEXSaveMessageSilently() || !files.CEXReadMessageFile(message))
    Host::Fail("message file");

  for (auto _ : state) {
    core.CEXBuildRoad().Action_CreateXMLDocExecute();
    core.Action_CreateDataStreamExecute();
    benchmark::DoNotOptimize(core.CEXGetMemo(TCEXMemo::Memo6).data());
  }
  xmlBytes = core.CEXGetMemo(TCEXMemo::Memo1).size();
  if (core.CEXDataStreamBytes().size() < xmlBytes + 256) Host::Fail("no stream");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xmlBytes));
  // The core goes before the files and counters it uses.
  set.core_.reset();
}

// Writes by temporary file and rename.
void WriteReplacing(const std::string& path, const char* data, size_t size) {
  const std::string temporary = path + ".tmp";
  FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
  if (std::rename(temporary.c_str(), path.c_str()) != 0) std::abort();
}

void BuildRoadRef(benchmark::State& state) {
  Folder folder;
  EVP_MD* md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD_CTX* mdCtx = EVP_MD_CTX_new();
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "DES-EDE3-CBC", nullptr);
  EVP_CIPHER_CTX* single = EVP_CIPHER_CTX_new();
  EVP_CIPHER_CTX* triple = EVP_CIPHER_CTX_new();
  const std::string macKey = UTHHexToString(kKey24);
  const std::string k1 = macKey.substr(0, 8), tripled = k1 + k1 + k1;
  const unsigned char zero[8] = {};
  EVP_EncryptInit_ex(single, cipher, nullptr,
                     reinterpret_cast<const unsigned char*>(tripled.data()), zero);
  EVP_EncryptInit_ex(triple, cipher, nullptr, reinterpret_cast<const unsigned char*>(macKey.data()),
                     zero);
  EVP_CIPHER_CTX_set_padding(single, 0);
  EVP_CIPHER_CTX_set_padding(triple, 0);
  EVP_PKEY_CTX* enc = EVP_PKEY_CTX_new(Key().pkey, nullptr);
  if (EVP_PKEY_encrypt_init(enc) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(enc, RSA_PKCS1_OAEP_PADDING) != 1 ||
      EVP_PKEY_CTX_set_rsa_oaep_md(enc, EVP_sha256()) != 1 ||
      EVP_PKEY_CTX_set_rsa_mgf1_md(enc, EVP_sha256()) != 1)
    std::abort();
  // 0x7F, the sender id, the key and the secret, as our cryptogram holds them.
  std::string plain(1, '\x7f');
  plain.append("45678901").append(macKey).append(16, 'S');
  unsigned char cryptogram[256];
  unsigned char padded[40] = {}, chain[32], mac[8];
  padded[32] = 0x80;
  unsigned int mdLen = 0;
  int len = 0;
  const std::string counterLine = "T0000042=2\r\n";

  for (auto _ : state) {
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr message = xmlNewNode(nullptr, BAD_CAST "ep2:message");
    xmlNewProp(message, BAD_CAST "xmlns:ep2", BAD_CAST "http://www.eftpos2000.ch");
    xmlDocSetRootElement(doc, message);
    xmlNodePtr request = xmlNewChild(message, nullptr, BAD_CAST "ep2:authreq", nullptr);
    xmlNewProp(request, BAD_CAST "msgnum", BAD_CAST "1");
    xmlNewTextChild(request, nullptr, BAD_CAST "ep2:TrmID", BAD_CAST "T0000042");
    xmlNewTextChild(request, nullptr, BAD_CAST "ep2:TrxSeqCnt", BAD_CAST "2");
    for (int i = 0; i < kElements; ++i)
      xmlNewTextChild(request, nullptr, BAD_CAST("ep2:Item" + std::to_string(i)).c_str(),
                      BAD_CAST Value(i).c_str());
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &text, &size, "UTF-8", 1);

    EVP_DigestInit_ex(mdCtx, md, nullptr);
    EVP_DigestUpdate(mdCtx, text, static_cast<size_t>(size));
    EVP_DigestFinal_ex(mdCtx, padded, &mdLen);
    EVP_EncryptInit_ex(single, nullptr, nullptr, nullptr, zero);
    EVP_EncryptUpdate(single, chain, &len, padded, 32);
    EVP_EncryptInit_ex(triple, nullptr, nullptr, nullptr, chain + 24);
    EVP_EncryptUpdate(triple, mac, &len, padded + 32, 8);
    size_t outLen = sizeof cryptogram;
    if (EVP_PKEY_encrypt(enc, cryptogram, &outLen,
                         reinterpret_cast<const unsigned char*>(plain.data()), plain.size()) != 1)
      std::abort();

    WriteReplacing(folder.path + "bench.xml", reinterpret_cast<const char*>(text),
                   static_cast<size_t>(size));
    WriteReplacing(folder.path + "count1.txt", counterLine.data(), counterLine.size());
    WriteReplacing(folder.path + "count2.txt", counterLine.data(), counterLine.size());
    benchmark::DoNotOptimize(mac);
    benchmark::DoNotOptimize(cryptogram);
    xmlFree(text);
    xmlFreeDoc(doc);
  }
  EVP_PKEY_CTX_free(enc);
  EVP_CIPHER_CTX_free(single);
  EVP_CIPHER_CTX_free(triple);
  EVP_CIPHER_free(cipher);
  EVP_MD_CTX_free(mdCtx);
  EVP_MD_free(md);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (xmlBytes ? xmlBytes : 4096)));
}

BENCHMARK(BuildRoadOurs)->Name("build-road-4k/ours");
BENCHMARK(BuildRoadRef)->Name("build-road-4k/ref");

}  // namespace
