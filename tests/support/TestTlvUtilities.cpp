#include "support/TlvUtilities.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <sstream>
#include <vector>

#include "common/TestSupport.h"

namespace kal {
namespace {

using test::ToHex;

struct Item {
  int result = -1;
  std::string tag;
  int length = -1;
  std::string value;
  std::string rest;  // the data left behind
};

Item TagLength(std::string_view data) {
  Item it;
  it.result = UTLGetTagLength(data, it.tag, it.length);
  it.rest = std::string(data);
  return it;
}

Item TagLengthValue(std::string_view data) {
  Item it;
  it.value = "stale";
  it.result = UTLGetTagLengthValue(data, it.tag, it.length, it.value);
  it.rest = std::string(data);
  return it;
}

void ExpectItem(const Item& it, int result, const std::string& tag, int length,
                const std::string& rest) {
  EXPECT_EQ(it.result, result);
  EXPECT_EQ(it.tag, tag);
  EXPECT_EQ(it.length, length);
  EXPECT_EQ(it.rest, rest);
}
TEST(TlvUtilities, TwoByteTagShortLength) {
  ExpectItem(TagLength("9F33030102039A03"), 0, "9F33", 3, "0102039A03");
  const Item it = TagLengthValue("9F33030102039A03");
  ExpectItem(it, 0, "9F33", 3, "9A03");
  EXPECT_EQ(it.value, "010203");
}

TEST(TlvUtilities, TagWithoutLengthByteIsAnError) {
  // A lone "5F" announces more tag bytes that never come.
  ExpectItem(TagLength("5F"), 2, "5F", 0, "");
  ExpectItem(TagLength("9A"), 2, "9A", 0, "");
  ExpectItem(TagLength("9F33"), 2, "9F33", 0, "");
  ExpectItem(TagLength("9F33 \r\n"), 2, "9F33", 0, "");
  ExpectItem(TagLength("9A0"), 2, "9A", 0, "0");
  ExpectItem(TagLengthValue("5F"), 2, "5F", 0, "");
}

TEST(TlvUtilities, AnnouncedTagBytesMustFollowForEveryClass) {
  // Result 2 for every first byte with its low five bits set, not only "9F".
  for (const char* first : {"1F", "3F", "5F", "7F", "9F", "BF", "DF", "FF", "1f", "df"}) {
    const Item it = TagLength(first);
    EXPECT_EQ(it.result, 2) << first;
    EXPECT_EQ(it.length, 0) << first;
    EXPECT_EQ(it.rest, "") << first;
  }
  ExpectItem(TagLength("1F81"), 2, "1F81", 0, "");
  ExpectItem(TagLength("1F8181"), 2, "1F8181", 0, "");
  ExpectItem(TagLength("9F8"), 2, "9F", 0, "8");
  ExpectItem(TagLength("1F8101020A0B"), 0, "1F8101", 2, "0A0B");
  ExpectItem(TagLength("df8f8101"
                       "00"),
             0, "DF8F8101", 0, "");
}

TEST(TlvUtilities, LongFormLengths) {
  const std::string value(510, 'a');
  Item it = TagLengthValue("8181FF" + value);
  ExpectItem(it, 0, "81", 255, "");
  EXPECT_EQ(it.value, value);
  ExpectItem(TagLength("8A80"), 0, "8A", 0, "");  // long form with no length byte
  ExpectItem(TagLength("8A8100"), 0, "8A", 0, "");
  ExpectItem(TagLength("8A820100"), 0, "8A", 256, "");
  ExpectItem(TagLength("8A830100007F"), 0, "8A", 65536, "7F");
  ExpectItem(TagLength("8A847FFFFFFF"), 0, "8A", 2147483647, "");
  ExpectItem(TagLength("8A8400000005"), 0, "8A", 5, "");
}

TEST(TlvUtilities, LongFormFaultsAreErrors) {
  // missing length bytes, more than 4 length bytes, or a length
  // beyond what an int holds.
  ExpectItem(TagLength("9A82"), 2, "9A", 0, "");
  ExpectItem(TagLength("9A8201"), 2, "9A", 0, "");
  ExpectItem(TagLength("9A84010203"), 2, "9A", 0, "");
  ExpectItem(TagLength("9A85000000000101"), 2, "9A", 0, "000000000101");
  ExpectItem(TagLength("9A8F"), 2, "9A", 0, "");
  ExpectItem(TagLength("9AFF"), 2, "9A", 0, "");
  ExpectItem(TagLength("9A8480000000"), 2, "9A", 0, "");
  ExpectItem(TagLength("9A84FFFFFFFF"), 2, "9A", 0, "");
}

TEST(TlvUtilities, ValueBeyondTheDataIsAnError) {
  // A value shorter than its length: result 3, the data then starts at the value.
  Item it = TagLengthValue("9A0301");
  ExpectItem(it, 3, "9A", 3, "01");
  EXPECT_EQ(it.value, "");
  it = TagLengthValue("9A03");
  ExpectItem(it, 3, "9A", 3, "");
  it = TagLengthValue("9A8480000000");
  ExpectItem(it, 2, "9A", 0, "");
  it = TagLengthValue("9A847FFFFFFF0102");
  ExpectItem(it, 3, "9A", 2147483647, "0102");
  // The bare tag-length reader does not look at values (data-object lists).
  ExpectItem(TagLength("9A03"), 0, "9A", 3, "");
}

TEST(TlvUtilities, NonHexCharactersAreErrors) {
  ExpectItem(TagLength("G123"), 2, "", 0, "G123");
  ExpectItem(TagLength("9G23"), 2, "", 0, "9G23");
  ExpectItem(TagLength("9FG3"), 2, "9F", 0, "G3");
  ExpectItem(TagLength("9F33G3"), 2, "9F33", 0, "G3");
  ExpectItem(TagLength("9A0G"), 2, "9A", 0, "0G");
  ExpectItem(TagLength("9A81G1"), 2, "9A", 0, "G1");
  ExpectItem(TagLength("9A8201G1"), 2, "9A", 0, "G1");
  ExpectItem(TagLength("9A-103"), 2, "9A", 0, "-103");
  Item it = TagLengthValue("9A02010G");
  ExpectItem(it, 3, "9A", 2, "010G");
  EXPECT_EQ(it.value, "");
  it = TagLengthValue("9A0201 2");
  ExpectItem(it, 3, "9A", 2, "01 2");
}

TEST(TlvUtilities, TooLittleData) {
  ExpectItem(TagLength(""), 1, "", 0, "");
  ExpectItem(TagLength("9"), 1, "", 0, "9");
  ExpectItem(TagLength(" "), 1, "", 0, " ");
  Item it = TagLengthValue("");
  EXPECT_EQ(it.result, 1);
  EXPECT_EQ(it.value, "");
}

TEST(TlvUtilities, ValueKeepsItsCaseAndTagIsUpperCased) {
  const Item it = TagLengthValue("9f1a02abCD");
  ExpectItem(it, 0, "9F1A", 2, "");
  EXPECT_EQ(it.value, "abCD");
}

// After every pair but the first of a tag, blanks and control
// characters are trimmed from both ends of the rest; the first tag pair is
// taken as it stands and nothing is trimmed after a value.
TEST(TlvUtilities, TrimmingBetweenPairs) {
  Item it = TagLengthValue("9F33\r\n 03\t010203  \r\n");
  ExpectItem(it, 0, "9F33", 3, "");
  EXPECT_EQ(it.value, "010203");
  it = TagLengthValue("9A82 00 02 0102\n9B");
  ExpectItem(it, 0, "9A", 2, "\n9B");
  EXPECT_EQ(it.value, "0102");
  // No trim after the first pair of a tag.
  ExpectItem(TagLength("9A 01"), 2, "9A", 0, " 01");
  ExpectItem(TagLength("1F 81 01 02"), 2, "1F", 0, " 81 01 02");
  ExpectItem(TagLength(" 9A01"), 2, "", 0, " 9A01");
  ExpectItem(TagLength("9A01\r\n9B02"), 0, "9A", 1, "9B02");
  it = TagLengthValue("9A0101\n9B0102");
  ExpectItem(it, 0, "9A", 1, "\n9B0102");
  ExpectItem(TagLengthValue(it.rest), 2, "", 0, "\n9B0102");
  ExpectItem(TagLength("9A81\x01"
                       "05"),
             0, "9A", 5, "");  // control characters count as blanks
  ExpectItem(TagLength("9A81\x80"
                       "05"),
             2, "9A", 0,
             "\x80"
             "05");  // bytes above 127 do not
}

// The TLV tool window: a list is taken off item by item until a call fails
// or fewer than two characters remain.
std::vector<Item> Walk(std::string_view data, bool withValues, int* lastResult = nullptr) {
  std::vector<Item> items;
  int result = 0;
  while (data.size() >= 2) {
    Item it;
    result = withValues ? UTLGetTagLengthValue(data, it.tag, it.length, it.value)
                        : UTLGetTagLength(data, it.tag, it.length);
    it.result = result;
    if (result != 0) break;
    items.push_back(it);
  }
  if (lastResult) *lastResult = result;
  return items;
}

TEST(TlvUtilities, ToolWindowCases) {
  int last = -1;
  std::vector<Item> rows = Walk(
      "9F0206000000001000"
      "9A03",
      true, &last);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].tag, "9F02");
  EXPECT_EQ(rows[0].length, 6);
  EXPECT_EQ(rows[0].value, "000000001000");
  EXPECT_EQ(last, 3);
  rows = Walk("9F02069A039F3704", false, &last);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].length, 6);
  EXPECT_EQ(rows[1].length, 3);
  EXPECT_EQ(rows[2].length, 4);
  EXPECT_EQ(rows[2].tag, "9F37");
  EXPECT_EQ(last, 0);
}

// Every truncation of a well-formed item fails with its own result and
// leaves the data at the place of the fault.
TEST(TlvUtilities, EveryTruncatedPrefix) {
  const std::string tag = "BF8101";     // 3 tag bytes
  const std::string length = "820100";  // long form, 256
  std::string value;
  for (int i = 0; i < 256; ++i) value += ToHex(std::string(1, static_cast<char>(i)));
  const std::string item = tag + length + value;
  for (size_t n = 0; n < item.size(); ++n) {
    const std::string prefix = item.substr(0, n);
    const Item dol = TagLength(prefix);
    const Item tlv = TagLengthValue(prefix);
    SCOPED_TRACE(n);
    if (n < 2) {
      EXPECT_EQ(dol.result, 1);
      EXPECT_EQ(dol.rest, prefix);
    } else if (n < tag.size() + length.size()) {
      EXPECT_EQ(dol.result, 2);
      EXPECT_EQ(dol.length, 0);
      EXPECT_EQ(dol.rest, prefix.substr(n & ~size_t{1}));  // the dangling half pair
      EXPECT_EQ(dol.tag, prefix.substr(0, std::min(n & ~size_t{1}, tag.size())));
      EXPECT_EQ(tlv.result, 2);
    } else {
      ExpectItem(dol, 0, tag, 256, prefix.substr(tag.size() + length.size()));
      ExpectItem(tlv, 3, tag, 256, prefix.substr(tag.size() + length.size()));
      EXPECT_EQ(tlv.value, "");
    }
  }
  const Item whole = TagLengthValue(item);
  ExpectItem(whole, 0, tag, 256, "");
  EXPECT_EQ(whole.value, value);
}

// Parsing works by offset, so a long list is walked in linear time
// (taking items off the front of a copied string took quadratic time).
TEST(TlvUtilities, WalkingALongListIsLinear) {
  std::string list;
  const int count = 300000;
  list.reserve(count * 14);
  for (int i = 0; i < count; ++i)
    list +=
        "9F1A03A1B2C3"
        "\r\n";
  const auto start = std::chrono::steady_clock::now();
  std::string_view data = list;
  std::string tag, value;
  int length = 0, items = 0;
  while (UTLGetTagLengthValue(data, tag, length, value) == 0) {
    ++items;
    data.remove_prefix(std::min<size_t>(2, data.size()));  // the line break after the value
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(items, count);
  EXPECT_LT(seconds, 10.0);
}

// Differential against an outside decoder: well-formed BER items (primitive
// and constructed, one- and multi-byte tags of every class, short and long
// lengths, also non-minimal ones) go through `openssl asn1parse -inform DER`
// and through our reader, descending into constructed values; both must list
// the same items.
class BerGenerator {
 public:
  explicit BerGenerator(unsigned seed) : rng_(seed) {}

  std::string Item(int depth) {
    const unsigned kind = rng_() % 10;
    if (kind == 0) return Encode(0x00, 4, false, Content(false, depth));  // OCTET STRING
    if (kind == 1 && depth < 3) return Encode(0x00, 16, true, Content(true, depth));  // SEQUENCE
    const unsigned cls = (1 + rng_() % 3) << 6;  // application, context-specific, private
    const bool constructed = depth < 3 && rng_() % 4 == 0;
    return Encode(cls, TagNumber(), constructed, Content(constructed, depth));
  }

 private:
  uint32_t TagNumber() {
    switch (rng_() % 4) {
      case 0:
        return rng_() % 31;
      case 1:
        return rng_() % 128;
      case 2:
        return rng_() % 16384;
      default:
        return rng_() % (1u << 21);
    }
  }

  std::string Content(bool constructed, int depth) {
    std::string content;
    if (constructed) {
      const unsigned children = rng_() % 4;
      for (unsigned i = 0; i < children; ++i) content += Item(depth + 1);
      return content;
    }
    const unsigned pick = rng_() % 20;
    size_t n = pick < 15 ? rng_() % 12 : pick < 19 ? 100 + rng_() % 300 : 1000 + rng_() % 3000;
    if (rng_() % 500 == 0) n = 65536 + rng_() % 20000;  // three length bytes
    content.resize(n);
    for (char& c : content) c = static_cast<char>(rng_() & 0xFF);
    if (!content.empty()) content[0] = '\0';  // never printable text for asn1parse
    return content;
  }

  std::string Encode(unsigned cls, uint32_t number, bool constructed, const std::string& content) {
    std::string out;
    const unsigned first = cls | (constructed ? 0x20u : 0u);
    if (number < 31 && rng_() % 5 != 0) {
      out.push_back(static_cast<char>(first | number));
    } else {
      out.push_back(static_cast<char>(first | 0x1F));
      std::string groups;
      uint32_t n = number;
      do {
        groups.insert(groups.begin(), static_cast<char>(n & 0x7F));
        n >>= 7;
      } while (n != 0);
      for (size_t i = 0; i + 1 < groups.size(); ++i)
        groups[i] = static_cast<char>(groups[i] | 0x80);
      out += groups;
    }
    const size_t len = content.size();
    // OpenSSL's length reader wants one byte more than a long-form length
    // needs, so an empty item with a long-form length at the end of its
    // parent fails there; empty items keep the short form.
    if ((len < 128 && rng_() % 4 != 0) || len == 0) {
      out.push_back(static_cast<char>(len));
    } else {
      size_t needed = 0;
      for (size_t l = len; l != 0; l >>= 8) ++needed;
      const size_t bytes = std::max<size_t>(needed, 1) + rng_() % (5 - std::max<size_t>(needed, 1));
      out.push_back(static_cast<char>(0x80 | bytes));
      for (size_t i = bytes; i-- > 0;)
        out.push_back(static_cast<char>(i < 8 ? (len >> (8 * i)) & 0xFF : 0));
    }
    return out + content;
  }

  std::mt19937 rng_;
};

// "offset depth header-length length prim|cons class number" per item.
void ListOurs(std::string_view hex, size_t base, int depth, std::vector<std::string>& lines) {
  const size_t total = hex.size();
  while (!hex.empty()) {
    const size_t offset = base + (total - hex.size()) / 2;
    const size_t before = hex.size();
    std::string tag, value;
    int length = 0;
    const int result = UTLGetTagLengthValue(hex, tag, length, value);
    ASSERT_EQ(result, 0) << "at offset " << offset;
    const size_t header = (before - hex.size()) / 2 - static_cast<size_t>(length);
    const unsigned first = static_cast<unsigned>(std::stoul(tag.substr(0, 2), nullptr, 16));
    unsigned long number = first & 0x1F;
    if (number == 0x1F) {
      number = 0;
      for (size_t i = 2; i < tag.size(); i += 2) {
        number = (number << 7) | (std::stoul(tag.substr(i, 2), nullptr, 16) & 0x7F);
      }
    }
    static const char* const kClass[] = {"univ", "appl", "cont", "priv"};
    const bool constructed = first & 0x20;
    std::ostringstream line;
    line << offset << " " << depth << " " << header << " " << length << " "
         << (constructed ? "cons " : "prim ") << kClass[first >> 6] << " " << number;
    lines.push_back(line.str());
    if (constructed) ListOurs(value, offset + header, depth + 1, lines);
  }
}

// asn1parse lines read "   12:d=1  hl=2 l=   8 prim: appl [ 1 ]", with
// universal tags named ("OCTET STRING      [HEX DUMP]:00..", "SEQUENCE").
std::vector<std::string> ListOpenssl(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string text; std::getline(in, text);) {
    size_t offset = 0, header = 0, length = 0;
    int depth = 0, used = 0;
    char kind[5] = {};
    if (std::sscanf(text.c_str(), " %zu:d=%d hl=%zu l=%zu %4[a-z]:%n", &offset, &depth, &header,
                    &length, kind, &used) != 5 ||
        used == 0) {
      lines.push_back("unparsed: " + text);
      continue;
    }
    std::string rest = text.substr(static_cast<size_t>(used));
    rest.erase(0, rest.find_first_not_of(' '));
    std::string cls, number;
    if (rest.rfind("cont [", 0) == 0 || rest.rfind("appl [", 0) == 0 ||
        rest.rfind("priv [", 0) == 0) {
      cls = rest.substr(0, 4);
      number = std::to_string(std::stoul(rest.substr(6)));
    } else if (rest.rfind("OCTET STRING", 0) == 0) {
      cls = "univ", number = "4";
    } else if (rest.rfind("SEQUENCE", 0) == 0) {
      cls = "univ", number = "16";
    } else {
      lines.push_back("unparsed: " + text);
      continue;
    }
    std::ostringstream line;
    line << offset << " " << depth << " " << header << " " << length << " " << kind << " " << cls
         << " " << number;
    lines.push_back(line.str());
  }
  return lines;
}

TEST(TlvUtilities, AgreesWithOpensslAsn1parse) {
  test::TempDir dir;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    BerGenerator gen(seed);
    std::string der;
    for (int i = 0; i < 500; ++i) der += gen.Item(0);
    const std::string file = dir.file("items.der");
    test::WriteFile(file, der);
    int status = -1;
    const std::string output =
        test::RunCommand("openssl asn1parse -inform DER -in " + file, "", &status);
    ASSERT_EQ(status, 0) << output.substr(0, 2000);
    const std::vector<std::string> theirs = ListOpenssl(output);
    std::vector<std::string> ours;
    ListOurs(ToHex(der), 0, 0, ours);
    ASSERT_FALSE(HasFailure());
    ASSERT_GT(ours.size(), 500u);
    ASSERT_EQ(ours.size(), theirs.size()) << "seed " << seed;
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(ours[i], theirs[i]) << "seed " << seed;
  }
}

}  // namespace
}  // namespace kal
