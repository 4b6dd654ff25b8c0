// Whole messages through the builder, the writer, the parser and the
// reader: libxml2 must find the written text well-formed, the reader must
// give back every value, and python's xml.etree must read the same names,
// attributes and values (decoding Base64 and packed digits on its own).

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "ep2/ElementFormats.h"
#include "ep2/MessageBuilder.h"
#include "ep2/MessageReader.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal {
namespace {

// One element of a generated message. parent is the index of its container
// item, -1 for the message element.
struct Item {
  std::string type;  // a format type or "c"
  std::string name;
  std::string value;
  int parent = -1;
};

struct Message {
  std::string header = "ep2:Header";
  std::string attrNames = "xmlns:ep2; ver ";
  std::string attrValues = "urn:kalmore-test;0400 & <\"x\">";
  std::string name = "ep2:Req";
  std::string num = "0042";
  std::vector<Item> items;
};

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  Message Make(int count) {
    static const char* const kTypes[] = {"a",    "an",      "ans", "b",    "cn",
                                         "date", "expdate", "n",   "time", "c"};
    Message m;
    std::vector<int> containers;
    for (int i = 0; i < count; ++i) {
      Item it;
      it.type = kTypes[Pick(10)];
      it.name = "ep2:" + it.type + "-" + std::to_string(i);
      it.parent = containers.empty() || Pick(3) == 0 ? -1 : containers[Pick(containers.size())];
      it.value = Value(it.type);
      if (it.type == "c") containers.push_back(i);
      m.items.push_back(std::move(it));
    }
    return m;
  }

 private:
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  int Range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::string From(const std::string& alphabet, int lo, int hi) {
    std::string s;
    for (int n = Range(lo, hi); n > 0; --n) s += alphabet[Pick(alphabet.size())];
    return s;
  }
  static std::string Digits(int v, int width) {
    std::string s = std::to_string(v);
    return std::string(width - s.size(), '0') + s;
  }
  int Day(int year, int month, bool leapKnown) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int last = kDays[month - 1];
    if (month == 2 && leapKnown && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) last = 29;
    return Range(1, last);
  }

  std::string Value(const std::string& type) {
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const std::string digits = "0123456789";
    if (type == "a") return From(letters, 0, 12);
    if (type == "an") return From(letters + digits, 0, 12);
    if (type == "n") return (Pick(4) == 0 ? "-" : "") + From(digits, 0, 15);
    if (type == "b") return test::RandomBytes(rng_, Pick(40));
    if (type == "cn") return From(digits, 0, 19) + (Pick(5) == 0 ? "a" : "");
    if (type == "time")
      return Digits(Range(0, 23), 2) + Digits(Range(0, 59), 2) + Digits(Range(0, 59), 2);
    if (type == "date") {
      const int y = Range(1, 9999), mo = Range(1, 12);
      return Digits(y, 4) + Digits(mo, 2) + Digits(Day(y, mo, true), 2);
    }
    if (type == "expdate") {
      // The century comes from the clock, so 29 February is left out.
      const int y = Range(0, 99), mo = Range(1, 12);
      return Digits(y, 2) + Digits(mo, 2) + Digits(Day(y, mo, false), 2);
    }
    if (type == "ans") {
      static const char* const kPieces[] = {"&",
                                            "<",
                                            ">",
                                            "\"",
                                            "'",
                                            ";",
                                            "&amp;",
                                            "&lt;",
                                            "&#65;",
                                            "&#x263A;",
                                            "&ep2;",
                                            "]]>",
                                            "<![CDATA[x]]>",
                                            "<!--",
                                            "-->",
                                            "?>",
                                            "\r\n",
                                            "\n",
                                            "\r",
                                            " ",
                                            "  ",
                                            "a",
                                            "Zz9",
                                            "%",
                                            "\xC3\xA9",
                                            "\xE2\x82\xAC",
                                            "\xF0\x9F\x92\xB3",
                                            "\x7F",
                                            "$VALUE",
                                            "\xC2\xA0"};
      std::string s;
      for (int n = Range(1, 10); n > 0; --n) s += kPieces[Pick(std::size(kPieces))];
      // Text of blanks and line breaks alone is not content for XML.
      bool blank = true;
      for (unsigned char c : s) blank = blank && c <= ' ';
      return blank ? "x" + s : s;
    }
    return "";  // containers
  }

  std::mt19937 rng_;
};

// What the reader gives back for a built value.
std::string Expected(const Item& it) {
  if (it.type != "cn") return it.value;
  std::string digits;
  for (char c : it.value) digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return digits.size() % 2 ? digits + "F" : digits;
}

int32_t Add(TCEOEp2MessageElements& b, const Item& it, TVxXMLElement* parent, TVxXMLElement*& e) {
  const std::string& t = it.type;
  if (t == "a") return b.CEOAddElementA(it.name, it.value, parent, e);
  if (t == "an") return b.CEOAddElementAN(it.name, it.value, parent, e);
  if (t == "ans") return b.CEOAddElementANS(it.name, it.value, parent, e);
  if (t == "b") return b.CEOAddElementB(it.name, it.value, parent, true, e);
  if (t == "cn") return b.CEOAddElementCN(it.name, it.value, parent, e);
  if (t == "date") return b.CEOAddElementDate(it.name, it.value, parent, e);
  if (t == "expdate") return b.CEOAddElementExpDate(it.name, it.value, parent, e);
  if (t == "n") return b.CEOAddElementN(it.name, it.value, parent, e);
  if (t == "time") return b.CEOAddElementTime(it.name, it.value, parent, e);
  return b.CEOAddChildContainer(it.name, parent, e);
}

int32_t Get(const TCOMEp2InMessage& r, const Item& it, const TVxXMLElement* parent, bool& found,
            std::string& v, TVxXMLElement*& e) {
  const std::string& t = it.type;
  const std::string& n = it.name;
  if (t == "a") return r.COMGetElement(n, parent, 1, false, CHKCheckFormatA, found, v, e);
  if (t == "an") return r.COMGetElement(n, parent, 1, false, CHKCheckFormatAN, found, v, e);
  if (t == "ans") return r.COMGetElement(n, parent, 1, false, CHKCheckFormatANS, found, v, e);
  if (t == "b") return r.COMGetElementB(n, parent, 1, true, false, found, v, e);
  if (t == "cn") return r.COMGetElementCN(n, parent, 1, false, found, v, e);
  if (t == "date") return r.COMGetElement(n, parent, 1, false, CHKCheckFormatDate, found, v, e);
  if (t == "expdate")
    return r.COMGetElement(n, parent, 1, false, CHKCheckFormatExpDate, found, v, e);
  if (t == "n") return r.COMGetElement(n, parent, 1, false, CHKCheckFormatN, found, v, e);
  if (t == "time") return r.COMGetElement(n, parent, 1, false, CHKCheckFormatTime, found, v, e);
  return r.COMGetContainer(n, parent, 1, false, found, e);
}

std::string Build(const Message& m) {
  TCEOEp2MessageElements builder(6000);
  TVxXMLElement* root = nullptr;
  EXPECT_EQ(builder.CEOCreateMessage(m.header, m.attrNames, m.attrValues, m.name, m.num, root), 0);
  std::vector<TVxXMLElement*> made(m.items.size(), nullptr);
  for (size_t i = 0; i < m.items.size(); ++i) {
    const Item& it = m.items[i];
    TVxXMLElement* parent = it.parent < 0 ? root : made[it.parent];
    EXPECT_EQ(Add(builder, it, parent, made[i]), 0) << it.name << " " << test::ToHex(it.value);
  }
  std::string xml;
  EXPECT_EQ(builder.CEOCompleteMessage(xml), 0);
  return xml;
}

bool WellFormed(const std::string& xml) {
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) return false;
  xmlFreeDoc(doc);
  return true;
}

TEST(MessageRoundTrip, EveryFormatReadsBackExactly) {
  Generator gen(20240611);
  for (int round = 0; round < 150; ++round) {
    const Message m = gen.Make(1 + round % 60);
    const std::string xml = Build(m);
    ASSERT_TRUE(WellFormed(xml)) << xml;

    TCOMEp2InMessage reader(3000, true);
    TVxXMLParser parser;
    std::unique_ptr<TVxXMLDocument> doc;
    std::string text = xml, name, num, error;
    TVxXMLElement* msg = nullptr;
    ASSERT_EQ(reader.COMParseInMessage(parser, doc, text, name, num, msg, error), 0) << error;
    EXPECT_EQ(name, m.name);
    EXPECT_EQ(num, m.num);
    EXPECT_EQ(text, xml);  // writing the parsed document gives the same text

    std::vector<TVxXMLElement*> read(m.items.size(), nullptr);
    for (size_t i = 0; i < m.items.size(); ++i) {
      const Item& it = m.items[i];
      bool found = false;
      std::string value;
      ASSERT_EQ(Get(reader, it, it.parent < 0 ? msg : read[it.parent], found, value, read[i]), 0)
          << it.name;
      ASSERT_TRUE(found) << it.name;
      if (it.type != "c") {
        EXPECT_EQ(value, Expected(it)) << it.name << "\n" << xml;
      }
      // The deep search from the message element reaches the same element.
      TVxXMLElement* any = nullptr;
      std::string anyValue;
      reader.COMFindAnyElement(it.name, msg, anyValue, found, any);
      EXPECT_EQ(any, read[i]);
    }
  }
}

// The expected xml.etree lines of a message, in document order.
std::vector<std::string> EtreeLines(const Message& m) {
  auto attr = [](const std::string& name, const std::string& value) {
    return name + "=" + test::ToHex(value);
  };
  std::vector<std::string> lines = {
      "0\t" + m.header + "\t" + attr("ver", "0400 & <\"x\">") + "\t-",
      "1\t" + m.name + "\t" + attr("msgnum", m.num) + "\t" + (m.items.empty() ? "" : "-")};
  std::vector<std::vector<int>> children(m.items.size() + 1);  // last: the message element
  for (size_t i = 0; i < m.items.size(); ++i)
    children[m.items[i].parent < 0 ? m.items.size() : m.items[i].parent].push_back(int(i));
  std::function<void(int, int)> walk = [&](int parent, int depth) {
    for (int i : children[parent]) {
      const Item& it = m.items[i];
      std::string value = test::ToHex(Expected(it));
      if (it.type == "c") value = children[i].empty() ? "" : "-";
      lines.push_back(std::to_string(depth) + "\t" + it.name + "\t\t" + value);
      walk(i, depth + 1);
    }
  };
  walk(int(m.items.size()), 2);
  return lines;
}

TEST(MessageRoundTrip, PythonReadsTheSameDocument) {
  const std::string script = test::ReadFile(test::SourceDir() + "/tests/ep2/etree_message.py");
  Generator gen(77);
  for (int round = 0; round < 12; ++round) {
    const Message m = gen.Make(round * 6);
    const std::string xml = Build(m);
    int status = -1;
    const std::vector<std::string> got = test::SplitLines(test::RunPython(script, xml, &status));
    ASSERT_EQ(status, 0) << xml;
    EXPECT_EQ(got, EtreeLines(m)) << xml;
  }
}

}  // namespace
}  // namespace kal
