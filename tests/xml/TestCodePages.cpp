#include "xml/CodePages.h"

#include <gtest/gtest.h>

#include <map>

#include "common/TestSupport.h"
#include "xml/XMLStrings.h"

namespace kal {
namespace {

// Python codec of each single-byte encoding, in TEncoding order.
const char* const kCodecs[kSingleByteTableCount] = {
    "latin_1",   "iso8859_2", "iso8859_3", "iso8859_4",  "iso8859_5", "iso8859_6",
    "iso8859_7", "iso8859_8", "iso8859_9", "iso8859_10", "ascii"};

TEncoding Enc(int table) {
  return static_cast<TEncoding>(table + 1);
}

// Where our tables follow an older edition than Python's codecs:
// ISO-8859-7:1987 and ISO-8859-8:1988. Key: (table index, byte); value: (ours,
// Python's), 0 meaning unassigned.
const std::map<std::pair<int, int>, std::pair<int, int>> kEditionDifferences = {
    {{6, 0xA1}, {0x02BD, 0x2018}},  // 1987: modifier letter reversed comma
    {{6, 0xA2}, {0x02BC, 0x2019}},  // 1987: modifier letter apostrophe
    {{6, 0xA4}, {0, 0x20AC}},       // euro sign added in 2003
    {{6, 0xA5}, {0, 0x20AF}},       // drachma sign added in 2003
    {{6, 0xAA}, {0, 0x037A}},       // ypogegrammeni added in 2003
    {{7, 0xAF}, {0x203E, 0x00AF}},  // 1988: overline, later macron
    {{7, 0xFD}, {0, 0x200E}},       // LRM added later
    {{7, 0xFE}, {0, 0x200F}},       // RLM added later
};

// Python's view of each codec: the 256 bytes decoded (UTF-16LE, U+FFFD for
// an undefined byte), then U+0080..U+FFFF encoded ("?" for a character it
// cannot encode; the input holds no "?").
constexpr std::size_t kEncoded = 0x10000 - 0x80;
const std::string& PythonCodecs() {
  static const std::string out = [] {
    std::string script = "import sys\ntext = ''.join(map(chr, range(0x80, 0x10000)))\nfor c in [";
    for (const char* c : kCodecs) script += std::string("'") + c + "',";
    return test::RunPython(script +
                               "]:\n    sys.stdout.buffer.write(bytes(range(256)).decode(c, "
                               "'replace').encode('utf-16-le') + text.encode(c, 'replace'))\n",
                           "");
  }();
  return out;
}

TEST(CodePages, TablesAgreeWithPythonCodecsOverAllBytes) {
  const std::string& py = PythonCodecs();
  ASSERT_EQ(py.size(), (512 + kEncoded) * kSingleByteTableCount);
  for (int t = 0; t < kSingleByteTableCount; ++t) {
    const char* decoded = py.data() + t * (512 + kEncoded);
    for (int b = 0; b < 256; ++b) {
      int want = CharsToWideChar(decoded[2 * b + 1], decoded[2 * b]);
      if (want == 0xFFFD || b == 0) want = 0;
      // Controls other than TAB, LF and CR, DEL and C1 are not allowed in
      // the ISO tables; US-ASCII keeps its controls.
      const bool control = b < 0x20 || (b >= 0x7F && b < 0xA0);
      if (Enc(t) != TEncoding::US_ASCII && control && b != 9 && b != 10 && b != 13) want = 0;
      if (auto diff = kEditionDifferences.find({t, b}); diff != kEditionDifferences.end()) {
        EXPECT_EQ(want, diff->second.second) << kCodecs[t] << " byte " << b;
        want = diff->second.first;
      }
      EXPECT_EQ(iso[t][b], want) << kCodecs[t] << " byte " << b;
    }
  }
}

TEST(CodePages, IChrAgreesWithPythonEncodeOverTheBMP) {
  const std::string& py = PythonCodecs();
  ASSERT_EQ(py.size(), (512 + kEncoded) * kSingleByteTableCount);
  for (int t = 0; t < kSingleByteTableCount; ++t) {
    const char* encoded = py.data() + t * (512 + kEncoded) + 512;
    std::map<int, int> ours;  // character -> our byte (-1: none) where we differ
    for (const auto& [key, values] : kEditionDifferences)
      if (key.first == t) {
        ours[values.second] = -1;
        if (values.first) ours[values.first] = key.second;
      }
    TInvalidChars inv;
    std::u16string expectedRecord;
    for (std::size_t i = 0; i < kEncoded; ++i) {
      const char16_t w = static_cast<char16_t>(0x80 + i);
      int want = static_cast<unsigned char>(encoded[i]);
      if (want == '?' || (want >= 0x80 && want < 0xA0)) want = -1;  // C1 is not allowed
      if (auto it = ours.find(w); it != ours.end()) want = it->second;
      if (want < 0) expectedRecord.push_back(w);
      ASSERT_EQ(IChr(w, Enc(t), &inv), want < 0 ? '_' : want) << kCodecs[t] << " " << int(w);
    }
    EXPECT_TRUE(inv.DataString() == expectedRecord) << kCodecs[t];
  }
}

TEST(CodePages, UChrAndIChrReplaceAndRecordOnce) {
  TInvalidChars inv;
  for (int t = 0; t < kSingleByteTableCount; ++t) {
    for (char16_t w = 0; w < 127; ++w) ASSERT_EQ(IChr(w, Enc(t), &inv), w);  // whatever the table
    EXPECT_EQ(IChr(0x7F, Enc(t), &inv), '_');
  }
  EXPECT_EQ(UChr(0xE9, TEncoding::i8859_5, &inv), u'\u0449');
  EXPECT_EQ(UChr(0x85, TEncoding::i8859_1, &inv), u'_');
  EXPECT_EQ(UChr(0x85, TEncoding::i8859_2, &inv), u'_');
  EXPECT_EQ(UChr(0x01, TEncoding::US_ASCII, &inv), u'\x01');
  EXPECT_EQ(UChr(0x01, TEncoding::i8859_1, &inv), u'_');
  EXPECT_TRUE(inv.DataString() == u"\x7F\x85\x01");
  EXPECT_TRUE(inv.InvCharExists(0x85));
  inv.Clear();
  EXPECT_FALSE(inv.InvCharExists(0x85));
  EXPECT_EQ(UChr(0x85, TEncoding::US_ASCII, &inv), u'_');
  EXPECT_TRUE(inv.DataString() == u"\x85");
}

TEST(CodePages, StringToEncodingComparesWholeNamesIgnoringAsciiCase) {
  for (int e = 1; e < kEncodingCount; ++e) {
    std::u16string name(cps[e].begin(), cps[e].end());
    EXPECT_EQ(StringToEncoding(name), static_cast<TEncoding>(e)) << cps[e];
    for (char16_t& c : name) c = (c >= u'A' && c <= u'Z') ? c + 32 : c;
    EXPECT_EQ(StringToEncoding(name), static_cast<TEncoding>(e)) << cps[e];
  }
  for (const char16_t* s : {u"UTF8", u"", u"not supported", u"UTF-8 ", u"ISO-8859-15"})
    EXPECT_EQ(StringToEncoding(s), TEncoding::n_sup);
}

}  // namespace
}  // namespace kal
