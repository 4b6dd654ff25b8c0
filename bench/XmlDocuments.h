#pragma once

// The documents the XML parsing benchmarks read: ep2-shaped messages as the
// message builder writes them and a document dense in markup, with an
// istream over bytes in memory.

#include <istream>
#include <streambuf>
#include <string>
#include <string_view>

#include "xml/XMLDOM.h"
#include "xml/XMLStrings.h"

namespace kal::bench {

// An istream over bytes in memory, without copying them.
class MemoryBuf : public std::streambuf {
 public:
  MemoryBuf(const char* data, std::size_t size) {
    char* p = const_cast<char*>(data);
    setg(p, p, p + size);
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    const off_type base = dir == std::ios_base::beg   ? 0
                          : dir == std::ios_base::cur ? gptr() - eback()
                                                      : egptr() - eback();
    return seekpos(pos_type(base + off), std::ios_base::in);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
    if (pos < 0 || pos > egptr() - eback()) return pos_type(off_type(-1));
    setg(eback(), eback() + pos, egptr());
    return pos;
  }
};

inline std::u16string U16(std::string_view utf8) {
  std::u16string out;
  while (!utf8.empty()) {
    std::size_t n = 0;
    out.push_back(static_cast<char16_t>(MBToWideChar(utf8, n)));
    utf8.remove_prefix(n);
  }
  return out;
}

// messages ep2-like messages under one root, as the message builder writes
// them: numbers, dates, hex and Base64 data, a merchant name with non-ASCII
// letters and an ampersand, attributes, CR LF and indentation.
inline std::string Document(int messages) {
  static const std::pair<const char*, const char*> kLeaves[] = {
      {"ep2:TrmID", "12345678"},
      {"ep2:TrxSeqCnt", "000042"},
      {"ep2:TrxDate", "20240131"},
      {"ep2:TrxTime", "142359"},
      {"ep2:AmtAuth", "125000"},
      {"ep2:TrxCurrC", "756"},
      {"ep2:TrxCurrE", "2"},
      {"ep2:AID", "A0000000041010"},
      {"ep2:AppPAN", "5413330089020011"},
      {"ep2:ExpDate", "2812"},
      {"ep2:AC", "8F3A11C02B7E94D1"},
      {"ep2:CryptData", "q83vASNFZ4mrze8BI0VniavN7wEjRWeJq83vASNFZ4k="},
      {"ep2:MerchName", "Caf\xC3\xA9 M\xC3\xBCller & S\xC3\xB6hne, Z\xC3\xBCrich"},
      {"ep2:TrxRefNum", "7Q2K9X4M"},
  };
  TVxXMLDocument doc;
  doc.SetEncoding(u"UTF-8");
  TVxXMLElement* root = doc.SetDocumentElement(new TVxXMLElement(u"ep2:message", &doc));
  root->SetAttribute(u"xmlns:ep2", u"http://www.eftpos2000.ch");
  root->SetAttribute(u"version", u"0400");
  root->SetAttribute(u"sender", u"12345678");
  for (int m = 0; m < messages; ++m) {
    auto* msg = root->AppendChild(new TVxXMLElement(u"ep2:TrxRequest", &doc))->AsElement();
    msg->SetAttribute(u"msgnum", std::u16string(u"3") + static_cast<char16_t>(u'0' + m % 10));
    TVxXMLElement* group = nullptr;
    for (int i = 0; i < 70; ++i) {
      if (i % 7 == 0) group = msg->AppendChild(new TVxXMLElement(u"ep2:Group", &doc))->AsElement();
      const auto& [tag, value] = kLeaves[i % std::size(kLeaves)];
      auto* e = group->AppendChild(new TVxXMLElement(U16(tag), &doc))->AsElement();
      e->SetCharData(new TVxXMLText(U16(value), &doc));
    }
  }
  std::string out;
  doc.Write(out);
  return out;
}

// About 1 MB of empty sibling elements with two attributes each.
inline std::string DenseDocument() {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
  for (int i = 0; out.size() < (1u << 20); ++i)
    out += "<item n=\"" + std::to_string(i) + "\" kind=\"k" + std::to_string(i % 7) + "\"/>\n";
  return out + "</root>\n";
}

}  // namespace kal::bench
