// Writing a document: the same tree built with our model and with libxml2's
// tree API, written by TVxXMLDocument::Write and by xmlDocDumpMemory. Only the
// writing is timed. Both sides count the bytes of our output per document,
// so the ratio is the ratio of documents written per second.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLStrings.h"

namespace {

using namespace kal;

// The parser a message builder links its document to, with its defaults.
class BuilderParser : public TVxParserContext {
 public:
  bool FormatedOutput() const override { return true; }
  bool RetrieveInternetURI() const override { return false; }
  bool RetrieveExternal() const override { return false; }
  void FileNotFound(TVxXMLNode&, const std::string&) override {}
  int GetLineNumber() const override { return 0; }
  std::string GetFileName() const override { return {}; }
  TInvalidChars& InvalidCharRecord() override { return invalid_; }
  void AddValidationError(const std::string&, TVxXMLNode*) override {}
  void ParseFragment(std::u16string_view, TVxXMLDocument&) override {}

 private:
  TInvalidChars invalid_;
};

struct Leaf {
  const char* tag;
  const char* value;  // UTF-8
};

// The elements of one ep2-like message: numbers, dates, hex and Base64 data,
// a merchant name with non-ASCII letters and an ampersand.
const std::vector<Leaf>& MessageLeaves() {
  static const std::vector<Leaf> leaves = [] {
    const Leaf base[] = {
        {"TrmID", "12345678"},
        {"TrxSeqCnt", "000042"},
        {"TrxDate", "20240131"},
        {"TrxTime", "142359"},
        {"AmtAuth", "125000"},
        {"TrxCurrC", "756"},
        {"TrxCurrE", "2"},
        {"AID", "A0000000041010"},
        {"PAN", "5413330089020011"},
        {"ExpDate", "2812"},
        {"AC", "8F3A11C02B7E94D1"},
        {"CryptData", "q83vASNFZ4mrze8BI0VniavN7wEjRWeJq83vASNFZ4k="},
        {"MerchName", "Caf\xC3\xA9 M\xC3\xBCller & S\xC3\xB6hne, Z\xC3\xBCrich"},
        {"TrxRefNum", "7Q2K9X4M"},
    };
    std::vector<Leaf> all;
    for (int i = 0; i < 5; ++i) all.insert(all.end(), std::begin(base), std::end(base));
    return all;
  }();
  return leaves;
}

std::u16string U16(const char* utf8) {
  std::u16string out;
  std::string_view s(utf8);
  while (!s.empty()) {
    std::size_t n = 0;
    out.push_back(static_cast<char16_t>(MBToWideChar(s, n)));
    s.remove_prefix(n);
  }
  return out;
}

// messages message elements under one root, each with a header element and
// the leaves grouped in containers of seven.
std::unique_ptr<TVxXMLDocument> OurTree(int messages) {
  auto doc = std::make_unique<TVxXMLDocument>();
  doc->SetEncoding(u"UTF-8");
  TVxXMLElement* root = doc->SetDocumentElement(new TVxXMLElement(u"ep2", doc.get()));
  root->SetAttribute(u"version", u"0400");
  root->SetAttribute(u"sender", u"12345678");
  for (int m = 0; m < messages; ++m) {
    auto* msg = root->AppendChild(new TVxXMLElement(u"TrxRequest", doc.get()))->AsElement();
    msg->SetAttribute(u"msgnum", std::u16string(u"3") + static_cast<char16_t>(u'0' + m % 10));
    TVxXMLElement* group = nullptr;
    int i = 0;
    for (const Leaf& leaf : MessageLeaves()) {
      if (i++ % 7 == 0)
        group = msg->AppendChild(new TVxXMLElement(u"Group", doc.get()))->AsElement();
      auto* e = group->AppendChild(new TVxXMLElement(U16(leaf.tag), doc.get()))->AsElement();
      e->SetCharData(new TVxXMLText(U16(leaf.value), doc.get()));
    }
  }
  return doc;
}

xmlDoc* LibxmlTree(int messages) {
  xmlDoc* doc = xmlNewDoc(BAD_CAST "1.0");
  doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
  xmlNode* root = xmlNewNode(nullptr, BAD_CAST "ep2");
  xmlDocSetRootElement(doc, root);
  xmlNewProp(root, BAD_CAST "version", BAD_CAST "0400");
  xmlNewProp(root, BAD_CAST "sender", BAD_CAST "12345678");
  for (int m = 0; m < messages; ++m) {
    xmlNode* msg = xmlNewChild(root, nullptr, BAD_CAST "TrxRequest", nullptr);
    const std::string num = std::to_string(30 + m % 10);
    xmlNewProp(msg, BAD_CAST "msgnum", BAD_CAST num.c_str());
    xmlNode* group = nullptr;
    int i = 0;
    for (const Leaf& leaf : MessageLeaves()) {
      if (i++ % 7 == 0) group = xmlNewChild(msg, nullptr, BAD_CAST "Group", nullptr);
      xmlNewTextChild(group, nullptr, BAD_CAST leaf.tag, BAD_CAST leaf.value);
    }
  }
  return doc;
}

std::size_t OurSize(int messages) {
  std::string out;
  OurTree(messages)->Write(out);
  return out.size();
}

template <int messages>
void BM_Ours(benchmark::State& state) {
  BuilderParser parser;
  std::unique_ptr<TVxXMLDocument> doc = OurTree(messages);
  doc->AssignParser(&parser);
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string out;
    doc->Write(out);
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

template <int messages>
void BM_Libxml2(benchmark::State& state) {
  const std::size_t bytes = OurSize(messages);
  xmlDoc* doc = LibxmlTree(messages);
  for (auto _ : state) {
    xmlChar* out = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc, &out, &size);
    benchmark::DoNotOptimize(out);
    xmlFree(out);
  }
  xmlFreeDoc(doc);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// One message is about 4 KB of output; 256 about 1 MB.
constexpr int kSmall = 1;
constexpr int kLarge = 256;

}  // namespace

BENCHMARK(BM_Ours<kSmall>)->Name("xml-write-4k/ours");
BENCHMARK(BM_Libxml2<kSmall>)->Name("xml-write-4k/ref");
BENCHMARK(BM_Ours<kLarge>)->Name("xml-write-1m/ours");
BENCHMARK(BM_Libxml2<kLarge>)->Name("xml-write-1m/ref");
