// The round trip of one ep2 message of about 60 elements (about 4 KB): built
// element by element, written, parsed and every value read back. Ours uses
// the message builder and reader (with their format checks, Base64 and
// packed-digit coding; the reader's formatted copy of the text is not asked
// for, as in a load test); the reference builds the same tree with libxml2's
// tree API (Base64 by OpenSSL), writes it with xmlDocDumpMemory, reads it
// with xmlReadMemory and walks the tree turning every leaf's content back
// into its value. Both sides must read the same values; both count round
// trips.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ep2/ElementFormats.h"
#include "ep2/MessageBuilder.h"
#include "ep2/MessageReader.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace {

using namespace kal;

struct Leaf {
  const char* name;
  const char* type;
  std::string value;  // bytes for b, digits for cn, the text otherwise
};

struct Group {
  const char* name;
  std::vector<Leaf> leaves;
};

// A transaction request shaped like the ep2 ones: header data, amounts,
// card data, EMV data, a merchant text with non-ASCII letters and an
// ampersand.
const std::vector<Group>& Message() {
  static const std::vector<Group> groups = [] {
    const std::string mac("\x8F\x3A\x11\xC0\x2B\x7E\x94\xD1", 8);
    const std::string crypt(
        "\xAB\xCD\xEF\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23\x45\x67\x89"
        "\xAB\xCD\xEF\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23\x45\x67\x89",
        32);
    std::vector<Group> g;
    for (int i = 0; i < 6; ++i) {
      const std::string n = std::to_string(i);
      g.push_back(
          {"ep2:TrxData",
           {{"ep2:TrmID", "an", "T" + n + "345678"},
            {"ep2:TrxSeqCnt", "n", "00004" + n},
            {"ep2:TrxDate", "date", "2024012" + n},
            {"ep2:TrxTime", "time", "14235" + n},
            {"ep2:AmtAuth", "n", "12500" + n},
            {"ep2:AppPAN", "cn", "541333008902001" + n},
            {"ep2:AppExpDate", "expdate", "28123" + std::to_string(i % 2)},
            {"ep2:AC", "b", mac},
            {"ep2:CryptData", "b", crypt},
            {"ep2:MerchName", "ans", "Caf\xC3\xA9 M\xC3\xBCller & S\xC3\xB6hne <" + n + ">"}}});
    }
    return g;
  }();
  return groups;
}

int32_t Add(TCEOEp2MessageElements& b, const Leaf& leaf, TVxXMLElement* parent) {
  TVxXMLElement* e = nullptr;
  const std::string_view type = leaf.type;
  if (type == "an") return b.CEOAddElementAN(leaf.name, leaf.value, parent, e);
  if (type == "n") return b.CEOAddElementN(leaf.name, leaf.value, parent, e);
  if (type == "date") return b.CEOAddElementDate(leaf.name, leaf.value, parent, e);
  if (type == "time") return b.CEOAddElementTime(leaf.name, leaf.value, parent, e);
  if (type == "expdate") return b.CEOAddElementExpDate(leaf.name, leaf.value, parent, e);
  if (type == "cn") return b.CEOAddElementCN(leaf.name, leaf.value, parent, e);
  if (type == "b") return b.CEOAddElementB(leaf.name, leaf.value, parent, true, e);
  return b.CEOAddElementANS(leaf.name, leaf.value, parent, e);
}

int32_t Get(const TCOMEp2InMessage& r, const Leaf& leaf, const TVxXMLElement* parent,
            std::string& v) {
  TVxXMLElement* e = nullptr;
  bool found = false;
  const std::string_view type = leaf.type;
  int32_t rc;
  if (type == "an")
    rc = r.COMGetElement(leaf.name, parent, 1, false, CHKCheckFormatAN, found, v, e);
  else if (type == "n")
    rc = r.COMGetElement(leaf.name, parent, 1, false, CHKCheckFormatN, found, v, e);
  else if (type == "date")
    rc = r.COMGetElement(leaf.name, parent, 1, false, CHKCheckFormatDate, found, v, e);
  else if (type == "time")
    rc = r.COMGetElement(leaf.name, parent, 1, false, CHKCheckFormatTime, found, v, e);
  else if (type == "expdate")
    rc = r.COMGetElement(leaf.name, parent, 1, false, CHKCheckFormatExpDate, found, v, e);
  else if (type == "cn")
    rc = r.COMGetElementCN(leaf.name, parent, 1, false, found, v, e);
  else if (type == "b")
    rc = r.COMGetElementB(leaf.name, parent, 1, true, false, found, v, e);
  else
    rc = r.COMGetElement(leaf.name, parent, 1, false, CHKCheckFormatANS, found, v, e);
  return found ? rc : -1;
}

// One round trip with the builder and reader; the number of bytes written,
// 0 when any step failed. The values read go to values when given.
std::size_t OursOnce(std::vector<std::string>* values = nullptr) {
  TCEOEp2MessageElements builder(6000);
  TVxXMLElement* msg = nullptr;
  if (builder.CEOCreateMessage("ep2:Header", "xmlns:ep2;version", "http://www.ep2.ch/2004;0400",
                               "ep2:TrxRequest", "42", msg) != 0)
    return 0;
  for (const Group& g : Message()) {
    TVxXMLElement* group = nullptr;
    if (builder.CEOAddChildContainer(g.name, msg, group) != 0) return 0;
    for (const Leaf& leaf : g.leaves)
      if (Add(builder, leaf, group) != 0) return 0;
  }
  std::string xml;
  if (builder.CEOCompleteMessage(xml) != 0) return 0;
  const std::size_t bytes = xml.size();

  TCOMEp2InMessage reader(3000);
  TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> doc;
  std::string name, num, error, value;
  TVxXMLElement* in = nullptr;
  if (reader.COMParseInMessage(parser, doc, xml, name, num, in, error) != 0) return 0;
  int occurrence = 0;
  for (const Group& g : Message()) {
    TVxXMLElement* group = nullptr;
    bool found = false;
    reader.COMGetContainer(g.name, in, ++occurrence, false, found, group);
    if (!found) return 0;
    for (const Leaf& leaf : g.leaves) {
      if (Get(reader, leaf, group, value) != 0) return 0;
      benchmark::DoNotOptimize(value.data());
      if (values) values->push_back(value);
    }
  }
  return bytes;
}

// Packed digits, two per byte, an odd count padded with F.
std::string Pack(const std::string& digits) {
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c & 0x0F) + 9; };
  std::string packed((digits.size() + 1) / 2, '\0');
  for (std::size_t i = 0; i < digits.size(); i += 2)
    packed[i / 2] = static_cast<char>(nibble(digits[i]) << 4 |
                                      (i + 1 < digits.size() ? nibble(digits[i + 1]) : 15));
  return packed;
}

std::string Unpack(const std::string& packed) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string digits;
  for (unsigned char b : packed) {
    digits += kHex[b >> 4];
    digits += kHex[b & 15];
  }
  return digits;
}

std::string ToBase64(const std::string& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return text;
}

// Bytes of a Base64 text; false when it is not one.
bool FromBase64(const char* text, std::string& bytes) {
  const std::size_t len = std::strlen(text);
  bytes.resize(len / 4 * 3 + 3);
  const int n =
      EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                      reinterpret_cast<const unsigned char*>(text), static_cast<int>(len));
  if (n < 0) return false;
  std::size_t pad = 0;
  for (std::size_t i = len; i > 0 && text[i - 1] == '='; --i) ++pad;
  bytes.resize(static_cast<std::size_t>(n) - pad);
  return true;
}

// The same round trip with libxml2: the same texts built with the tree API
// (Base64 and packed digits made along the way), written, read back, and
// every leaf's content turned back into its value.
std::size_t RefOnce(std::vector<std::string>* values = nullptr) {
  xmlDoc* doc = xmlNewDoc(BAD_CAST "1.0");
  doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
  xmlNode* root = xmlNewNode(nullptr, BAD_CAST "ep2:Header");
  xmlDocSetRootElement(doc, root);
  xmlNewProp(root, BAD_CAST "xmlns:ep2", BAD_CAST "http://www.ep2.ch/2004");
  xmlNewProp(root, BAD_CAST "version", BAD_CAST "0400");
  xmlNode* msg = xmlNewChild(root, nullptr, BAD_CAST "ep2:TrxRequest", nullptr);
  xmlNewProp(msg, BAD_CAST "msgnum", BAD_CAST "42");
  for (const Group& g : Message()) {
    xmlNode* group = xmlNewChild(msg, nullptr, BAD_CAST g.name, nullptr);
    for (const Leaf& leaf : g.leaves) {
      const std::string_view type = leaf.type;
      const std::string text = type == "b"    ? ToBase64(leaf.value)
                               : type == "cn" ? ToBase64(Pack(leaf.value))
                                              : leaf.value;
      xmlNewTextChild(group, nullptr, BAD_CAST leaf.name, BAD_CAST text.c_str());
    }
  }
  xmlChar* out = nullptr;
  int size = 0;
  xmlDocDumpMemory(doc, &out, &size);
  xmlFreeDoc(doc);

  xmlDoc* in = xmlReadMemory(reinterpret_cast<const char*>(out), size, nullptr, nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlFree(out);
  if (!in) return 0;
  std::size_t leaves = 0;
  std::string value;
  for (xmlNode* m = xmlDocGetRootElement(in)->children; m; m = m->next) {
    if (m->type != XML_ELEMENT_NODE) continue;
    std::size_t gi = 0;
    for (xmlNode* g = m->children; g; g = g->next) {
      if (g->type != XML_ELEMENT_NODE) continue;
      const Group& group = Message()[gi++];
      std::size_t li = 0;
      for (xmlNode* leaf = g->children; leaf; leaf = leaf->next) {
        if (leaf->type != XML_ELEMENT_NODE) continue;
        const std::string_view type = group.leaves[li++].type;
        xmlChar* content = xmlNodeGetContent(leaf);
        const char* text = reinterpret_cast<const char*>(content);
        bool ok = true;
        if (type == "b") {
          ok = FromBase64(text, value);
        } else if (type == "cn") {
          std::string packed;
          ok = FromBase64(text, packed);
          value = Unpack(packed);
        } else {
          value.assign(text);
        }
        xmlFree(content);
        if (!ok) {
          xmlFreeDoc(in);
          return 0;
        }
        benchmark::DoNotOptimize(value.data());
        if (values) values->push_back(value);
        ++leaves;
      }
    }
  }
  xmlFreeDoc(in);
  return leaves ? static_cast<std::size_t>(size) : 0;
}

// Both sides read the same values, else neither is timed.
bool SameValues() {
  std::vector<std::string> ours, ref;
  return OursOnce(&ours) != 0 && RefOnce(&ref) != 0 && ours == ref && ours.size() == 60;
}

void BM_Ours(benchmark::State& state) {
  if (!SameValues()) state.SkipWithError("round trips differ");
  std::size_t bytes = 0;
  for (auto _ : state) bytes = OursOnce();
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_Ref(benchmark::State& state) {
  if (!SameValues()) state.SkipWithError("round trips differ");
  std::size_t bytes = 0;
  for (auto _ : state) bytes = RefOnce();
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes"] = static_cast<double>(bytes);
}

}  // namespace

BENCHMARK(BM_Ours)->Name("ep2-build-read-4k/ours");
BENCHMARK(BM_Ref)->Name("ep2-build-read-4k/ref");
