#include "tools/Conversions.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <random>
#include <tuple>

#include "common/TestSupport.h"
#include "workbench/EmvElementMap.h"

namespace kal {
namespace {

using test::RunCommand;
using test::RunPython;

// --- Hex and integer ---

TEST(HexToInteger, RandomTextsGiveWhatPython3IntReads) {
  std::mt19937 rng(4104);
  std::string texts;
  std::vector<std::string> inputs;
  for (int i = 0; i < 400; ++i) {
    // Up to two leading blanks, up to three leading zeros, 1 to 10
    // significant digits of either case: beyond eight the value may leave
    // 32 bits.
    std::string text(rng() % 3, ' ');
    text += std::string(rng() % 4, '0');
    const size_t digits = 1 + rng() % 10;
    for (size_t d = 0; d < digits; ++d)
      text += (rng() % 2 ? "0123456789ABCDEF"
                         : "0123456789abcdef")[d == 0 ? 1 + rng() % 15 : rng() % 16];
    inputs.push_back(text);
    texts += text + "\n";
  }
  const std::vector<std::string> expected = test::SplitLines(
      RunPython("import sys\n"
                "for line in sys.stdin.read().split('\\n')[:-1]:\n"
                "  v = int(line, 16)\n"
                "  print(v if v <= 0xFFFFFFFF else 'Value is invalid or too large')\n",
                texts));
  ASSERT_EQ(expected.size(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i)
    EXPECT_EQ(CNVHexToIntegerText(inputs[i]), expected[i]) << "'" << inputs[i] << "'";
}

TEST(IntegerToHex, RandomNumbersGiveTheirPatternAsPython3FormatsIt) {
  std::mt19937 rng(4105);
  std::uniform_int_distribution<int64_t> any(-(int64_t{1} << 32), int64_t{1} << 32);
  std::string texts;
  std::vector<std::string> inputs;
  for (int i = 0; i < 400; ++i) {
    inputs.push_back(std::to_string(any(rng)));
    texts += inputs.back() + "\n";
  }
  const std::vector<std::string> expected =
      test::SplitLines(RunPython("import sys\n"
                                 "for line in sys.stdin.read().split()[:]:\n"
                                 "  v = int(line)\n"
                                 "  print(format(v & 0xFFFFFFFF, 'X') if -2**31 <= v < 2**31\n"
                                 "        else 'Value is invalid or too large')\n",
                                 texts));
  ASSERT_EQ(expected.size(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i)
    EXPECT_EQ(CNVIntegerToHexText(inputs[i]), expected[i]) << inputs[i];
}

TEST(HexAndInteger, EdgeCases) {
  const std::string invalid(CNVcInvalidValue);
  // clang-format off
  const std::vector<std::pair<std::string, std::string>> hexToInteger = {
      {"7FFFFFFF", "2147483647"}, {"80000000", "2147483648"}, {"FFFFFFFF", "4294967295"},
      {"123456789", invalid},     {"0000000000FF", "255"},    {"  1f", "31"},
      {"", invalid},              {"   ", invalid},            {"1F ", invalid},
      {"-1", invalid},            {"$1", invalid},             {"0x1F", invalid},
      {"1G", invalid},
  };
  const std::vector<std::pair<std::string, std::string>> integerToHex = {
      {"4294967295", invalid},    {"0", "0"},                  {"171", "AB"},
      {"-2147483648", "80000000"}, {"2147483647", "7FFFFFFF"}, {"2147483648", invalid},
      {"-1", "FFFFFFFF"},         {"", invalid},               {"AB", invalid},
  };
  // clang-format on
  for (const auto& [text, shown] : hexToInteger)
    EXPECT_EQ(CNVHexToIntegerText(text), shown) << "'" << text << "'";
  for (const auto& [text, shown] : integerToHex)
    EXPECT_EQ(CNVIntegerToHexText(text), shown) << "'" << text << "'";
}

// --- TLV rows ---

TEEMEmvElementMap Table() {
  TEEMEmvElementMap table;
  table.Parse("ep2:AmtAuth;9F02\r\nep2:TrxDate;9A\r\nep2:Other;9F02\r\n");
  return table;
}

TEST(TlvRows, TheTwoExamplesWithAndWithoutValues) {
  const TEEMEmvElementMap table = Table();
  const std::vector<TCNVTlvRow> withValues = CNVSplitTlv("9F0206000000001000 9A03", true, table);
  ASSERT_EQ(withValues.size(), 1u);  // 9A03 has no value
  EXPECT_EQ(withValues[0].xmlTag, "ep2:AmtAuth");
  EXPECT_EQ(withValues[0].tag, "9F02");
  EXPECT_EQ(withValues[0].length, 6);
  EXPECT_EQ(withValues[0].value, "000000001000");

  const std::vector<TCNVTlvRow> list = CNVSplitTlv("9f02069A039F3704", false, table);
  ASSERT_EQ(list.size(), 3u);
  const std::tuple<std::string, std::string, int> expected[] = {
      {"ep2:AmtAuth", "9F02", 6}, {"ep2:TrxDate", "9A", 3}, {"", "9F37", 4}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(std::tie(list[i].xmlTag, list[i].tag, list[i].length), expected[i]) << i;
    EXPECT_EQ(list[i].value, "");
  }
  EXPECT_TRUE(CNVSplitTlv("  ", true, table).empty());
}

// A stream of primitive EMV-like items: application, context or private
// class; tags of one to three bytes; short and long (one and two byte)
// lengths. Minimal DER, which `openssl asn1parse` reads item by item.
std::string RandomTlvStream(std::mt19937& rng, std::string& hex) {
  std::string der;
  const int items = 1 + static_cast<int>(rng() % 10);
  for (int i = 0; i < items; ++i) {
    std::string item(1, static_cast<char>(0x40 * (1 + rng() % 3)));
    switch (rng() % 3) {
      case 0:
        item[0] = static_cast<char>(item[0] | rng() % 31);
        break;
      case 1:
        item[0] = static_cast<char>(item[0] | 0x1F);
        item += static_cast<char>(0x1F + rng() % 0x61);
        break;
      default:
        item[0] = static_cast<char>(item[0] | 0x1F);
        item += static_cast<char>(0x81 + rng() % 0x7F);
        item += static_cast<char>(rng() % 0x80);
    }
    const size_t length =
        std::array<size_t, 3>{rng() % 128, 128 + rng() % 128, 256 + rng() % 300}[rng() % 3];
    if (length >= 256) {
      item += "\x82" + std::string(1, static_cast<char>(length >> 8)) +
              static_cast<char>(length & 0xFF);
    } else {
      if (length >= 128) item += '\x81';
      item += static_cast<char>(length);
    }
    item += test::RandomBytes(rng, length);
    hex += (rng() % 2 ? " " : "") + test::ToHex(item);
    der += item;
  }
  return der;
}

// The class and number of a BER tag given as hex.
std::pair<int, unsigned> TagNumber(const std::string& tag) {
  const std::string bytes = test::FromHex(tag);
  const auto first = static_cast<unsigned char>(bytes[0]);
  unsigned number = first & 0x1F;
  if (number == 0x1F) {
    number = 0;
    for (size_t i = 1; i < bytes.size(); ++i)
      number = number << 7 | (static_cast<unsigned char>(bytes[i]) & 0x7F);
  }
  return {first >> 6, number};
}

TEST(TlvRows, RandomStreamsSplitAsOpensslAsn1parseReadsThem) {
  const std::map<std::string, int> classes = {{"appl", 1}, {"cont", 2}, {"priv", 3}};
  std::mt19937 rng(4106);
  for (int round = 0; round < 40; ++round) {
    std::string hex;
    const std::string der = RandomTlvStream(rng, hex);
    int status = -1;
    const std::vector<std::string> parsed =
        test::SplitLines(RunCommand("openssl asn1parse -inform DER 2>&1", der, &status));
    ASSERT_EQ(status, 0);
    const std::vector<TCNVTlvRow> rows = CNVSplitTlv(hex, true, TEEMEmvElementMap());
    ASSERT_EQ(rows.size(), parsed.size()) << hex;
    for (size_t i = 0; i < rows.size(); ++i) {
      size_t offset = 0, header = 0;
      int length = 0;
      unsigned number = 0;
      char tagClass[5] = {};
      ASSERT_EQ(std::sscanf(parsed[i].c_str(), "%zu:d=0 hl=%zu l=%d prim: %4s [ %u ]", &offset,
                            &header, &length, tagClass, &number),
                5)
          << parsed[i];
      EXPECT_EQ(TagNumber(rows[i].tag), std::make_pair(classes.at(tagClass), number)) << parsed[i];
      EXPECT_EQ(rows[i].tag, test::ToHex(der.substr(offset, rows[i].tag.size() / 2)));
      EXPECT_EQ(rows[i].length, length) << parsed[i];
      EXPECT_EQ(rows[i].value, test::ToHex(der.substr(offset + header, length)));
    }
  }
}

// --- XML formatter ---

// A well-formed document: a root with an attribute and text, children with
// attributes, text, references, comments, CDATA and empty elements, and
// always one child with a child of its own as the root's last child.
std::string RandomDocument(std::mt19937& rng) {
  const char* names[] = {"Amt", "ep2-Trx", "id_7", "Curr", "x.y"};
  const char* texts[] = {"1200", "a b", "&amp;", "&lt;tag&gt;", "&#233;t\xC3\xA9", "\"q\"", ""};
  auto pick = [&](const auto& list) { return list[rng() % std::size(list)]; };
  std::string doc = rng() % 2 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" : "";
  doc += "<root v=\"1\">" + std::string(pick(texts));
  const int children = static_cast<int>(rng() % 4);
  for (int i = 0; i < children; ++i) {
    const std::string name = pick(names);
    switch (rng() % 4) {
      case 0:
        doc += "<" + name + " a='" + pick(texts) + "'/>";
        break;
      case 1:
        doc += "<!-- " + std::string(pick(texts)) + " -->";
        break;
      case 2:
        doc += "<" + name + "><![CDATA[<&>]]></" + name + ">";
        break;
      default:
        doc += "<" + name + ">" + pick(texts) + "</" + name + ">";
    }
  }
  const std::string outer = pick(names), inner = pick(names);
  doc += "<" + outer + "><" + inner + ">" + pick(texts) + "</" + inner + "></" + outer + ">";
  return doc + "</root>";
}

TEST(FormatXml, AcceptsAndRejectsAsXmllintOnGeneratedDocuments) {
  std::mt19937 rng(4107);
  for (int round = 0; round < 20; ++round) {
    const std::string doc = RandomDocument(rng);
    const size_t text = doc.find("<root v=\"1\">") + 12;
    std::vector<std::string> variants = {doc, doc + "<!-- after the root --><?pi x?>"};
    std::string cut = doc;  // the first end tag missing
    const size_t end = cut.find("</");
    variants.push_back(cut.erase(end, cut.find('>', end) + 1 - end));
    std::string crossed = doc;  // the last child ends after the root
    const size_t last = crossed.rfind("</", crossed.size() - 8);
    const std::string lastEnd = crossed.substr(last, crossed.size() - 7 - last);
    variants.push_back(crossed.substr(0, last) + "</root>" + lastEnd);
    variants.push_back(doc + "<second/>");
    variants.push_back(std::string(doc).insert(text, " & "));
    variants.push_back(std::string(doc).insert(text, " < "));
    for (const std::string& variant : variants) {
      int status = -1;
      RunCommand("xmllint --noout - 2>/dev/null", variant, &status);
      const TCNVXmlResult result = CNVFormatXmlDocument(variant);
      EXPECT_EQ(result.status, status == 0 ? TCNVXmlFormat::Formatted : TCNVXmlFormat::Failed)
          << variant << "\n"
          << result.text;
      if (status != 0) {
        EXPECT_FALSE(result.text.empty());
      }
    }
  }
}

}  // namespace
}  // namespace kal
