// Generated ep2-shaped documents (UTF-8, no document type: nested elements
// with attributes, the five special characters as references and as
// characters, CR LF and LF, non-ASCII text) read by our parser and by
// libxml2: the trees must be the same, apart from the white-space-only text
// that our parser drops. Our parser has no namespaces: "ep2:TrxAmt" is one
// name and "xmlns:ep2" an attribute, which libxml2's names are put back to.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <random>
#include <sstream>

#include "xml/XMLParser.h"
#include "xml/XMLStrings.h"

namespace kal {
namespace {

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : rng_(seed), eol_(seed % 2 ? "\r\n" : "\n") {}

  std::string Document() {
    std::string out;
    if (Pick(2)) out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + eol_;
    out += "<ep2:message xmlns:ep2=\"http://www.eftpos2000.ch\"";
    Attributes(out);
    out += ">";
    for (int n = 1 + Pick(4); n > 0; --n) Element(out, 1);
    out += eol_ + "</ep2:message>" + eol_;
    return out;
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  // Character data or an attribute value delimited by quote (0 for text).
  std::string Value(char quote) {
    // "]" but never "]]", which would begin "]]>" in text.
    static const char* const kPieces[] = {"1000",
                                          "A0000000041010",
                                          "Caf\xC3\xA9",
                                          "M\xC3\xBCller",
                                          "\xE2\x82\xAC",
                                          "\xE4\xB8\xAD",
                                          "\xF0\x9F\x98\x80",
                                          " ",
                                          "  ",
                                          "\t",
                                          "&amp;",
                                          "&lt;",
                                          "&gt;",
                                          "&quot;",
                                          "&apos;",
                                          ">",
                                          "&#65;",
                                          "&#x20AC;",
                                          "x",
                                          "]x",
                                          "-",
                                          "?"};
    std::string v;
    for (int n = Pick(6); n > 0; --n) {
      const int k = Pick(std::size(kPieces) + 3);
      if (k == std::size(kPieces))
        v += eol_;
      else if (k == std::size(kPieces) + 1)
        v += quote == '"' ? "'" : quote == '\'' ? "\"" : "'\"";
      else if (k == std::size(kPieces) + 2)
        v += "\r";
      else
        v += kPieces[k];
    }
    return v;
  }

  void Attributes(std::string& out) {
    static const char* const kNames[] = {"msgnum", "version", "ep2:fmt", "FM", "a-b.c_d"};
    for (int n = Pick(4), first = Pick(5); n > 0; --n, ++first) {
      const char quote = Pick(2) ? '"' : '\'';
      out += std::string(Pick(3) ? " " : eol_) + kNames[first % 5] + (Pick(2) ? "=" : " = ") +
             quote + Value(quote) + quote;
    }
  }

  void Element(std::string& out, int depth) {
    static const char* const kNames[] = {"ep2:TrxAmt", "ep2:AppPAN",    "ep2:Group",
                                         "ep2:AID",    "ep2:MerchName", "x"};
    const std::string name = kNames[Pick(std::size(kNames))];
    out += eol_ + std::string(static_cast<std::size_t>(3 * depth), ' ') + "<" + name;
    Attributes(out);
    if (Pick(5) == 0) {
      out += "/>";
      return;
    }
    out += ">";
    if (depth < 5 && Pick(2)) {
      for (int n = Pick(4); n > 0; --n) {
        if (Pick(3) == 0) out += Value(0);
        Element(out, depth + 1);
      }
      if (Pick(3) == 0) out += Value(0);
      out += eol_ + std::string(static_cast<std::size_t>(3 * depth), ' ');
    } else {
      out += Value(0);
    }
    out += "</" + name + ">";
  }

  std::mt19937 rng_;
  std::string eol_;
};

std::string Utf8(std::u16string_view s) {
  return UnicodeToShort(s, TEncoding::UTF_8, TByteOrder::boBigEndian, nullptr);
}

std::string Text(const xmlChar* s) {
  return s ? reinterpret_cast<const char*>(s) : "";
}

std::string QName(const xmlNs* ns, const xmlChar* name) {
  return ns && ns->prefix ? Text(ns->prefix) + ":" + Text(name) : Text(name);
}

bool Blank(const std::string& s) {
  return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Our element against libxml2's: name, attributes in order, then content
// with libxml2's adjacent text nodes joined and blank text left out.
void ExpectSame(const TVxXMLElement& ours, const xmlNode* theirs, const std::string& doc) {
  ASSERT_EQ(Utf8(ours.TagName()), QName(theirs->ns, theirs->name)) << doc;
  std::vector<std::pair<std::string, std::string>> theirAttrs, ourAttrs;
  // The generated declaration is the first attribute of the root.
  for (const xmlNs* ns = theirs->nsDef; ns; ns = ns->next)
    theirAttrs.emplace_back("xmlns:" + Text(ns->prefix), Text(ns->href));
  for (const xmlAttr* a = theirs->properties; a; a = a->next) {
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(a));
    theirAttrs.emplace_back(QName(a->ns, a->name), Text(value));
    xmlFree(value);
  }
  std::vector<std::string> theirContent;
  std::vector<const xmlNode*> theirElements;
  std::string text;
  for (const xmlNode* c = theirs->children;; c = c->next) {
    if (c && c->type == XML_TEXT_NODE) {
      text += Text(c->content);
      continue;
    }
    if (!Blank(text)) theirContent.push_back('"' + text + '"');
    text.clear();
    if (!c) break;
    ASSERT_EQ(c->type, XML_ELEMENT_NODE) << doc;
    theirContent.push_back("<" + QName(c->ns, c->name));
    theirElements.push_back(c);
  }
  std::vector<std::string> ourContent;
  std::vector<const TVxXMLElement*> ourElements;
  for (const TVxXMLNode* n = ours.GetFirstNode(); n; n = n->Next()) {
    if (n->GetType() == ntAttribute) {
      ourAttrs.emplace_back(Utf8(n->GetName()), Utf8(n->GetValue()));
    } else if (const TVxXMLElement* e = n->AsElement()) {
      ourContent.push_back("<" + Utf8(e->TagName()));
      ourElements.push_back(e);
    } else {
      ASSERT_EQ(n->GetType(), ntText) << doc;
      ourContent.push_back('"' + Utf8(n->GetValue()) + '"');
    }
  }
  ASSERT_EQ(ourAttrs, theirAttrs) << doc;
  ASSERT_EQ(ourContent, theirContent) << doc;
  for (std::size_t i = 0; i < ourElements.size(); ++i)
    ExpectSame(*ourElements[i], theirElements[i], doc);
}

TEST(XMLParserDifferential, GeneratedMessagesGiveLibxml2sTree) {
  xmlInitParser();
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    const std::string doc = Generator(seed).Document();
    xmlDoc* theirs = xmlReadMemory(doc.data(), static_cast<int>(doc.size()), nullptr, "UTF-8",
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    ASSERT_NE(theirs, nullptr) << doc;
    TVxXMLParser parser;
    std::istringstream in(doc);
    std::unique_ptr<TVxXMLDocument> ours;
    parser.Parse(in, ours);
    ExpectSame(*ours->GetDocumentElement(), xmlDocGetRootElement(theirs), doc);
    xmlFreeDoc(theirs);
    if (HasFatalFailure()) return;
  }
  xmlCleanupParser();
}

}  // namespace
}  // namespace kal
