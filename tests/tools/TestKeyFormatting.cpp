// The key formatting window's core: the index reader, the record's fields
// as texts and "Use Now".
#include "tools/KeyFormatting.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2PublicKey.h"

namespace kal {
namespace {

TEST(KeyFormatting, ReadsTheIndexAsHex) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  };
  const Case cases[] = {{"1a", 0x1A},           {"  0005 ", 5},          {"FF", 255},
                        {"00000000100", 0x100}, {"", std::nullopt},      {"  ", std::nullopt},
                        {"$1A", std::nullopt},  {"1 A", std::nullopt},   {"-1", std::nullopt},
                        {"0x1A", std::nullopt}, {"123456789", INT32_MAX}};
  for (const Case& c : cases) EXPECT_EQ(KFMReadIndex(c.text), c.value) << c.text;
}

TEST(KeyFormatting, FieldsToTheRecordAndBack) {
  TEp2PublicKey key;
  KFMStoreFields({"1234567890", "0a", "2612", "2", "1", "x", "3", "C1 01", "03", ""}, key);
  EXPECT_EQ(key.GetPublicKeyIndex(), 10);
  EXPECT_EQ(key.GetHashAlgorithmIndicator(), 2);
  // A number that cannot be read reaches the record's own check.
  EXPECT_EQ(key.GetPublicKeyModulusLength(), -1);
  const TKFMFields shown = KFMFieldsOf(key);
  EXPECT_EQ(shown.index, "A");
  EXPECT_EQ(shown.modulusLength, "-1");
  EXPECT_EQ(shown.modulus, "C1 01");
  key.SetPublicKeyIndex(0);
  EXPECT_EQ(KFMFieldsOf(key).index, "0");
  KFMStoreFields({"1234567890", "z", "2612", "2", "1", "", "", "C1", "03", ""}, key);
  std::string record, text;
  EXPECT_EQ(key.ComputeFormattedKey(record, text), TEp2PublicKey::cIndex);
}

TEST(KeyFormatting, UseNowWritesWhatIsGivenOrNothing) {
  struct Case {
    const char* name;
    const char* index;
    const char* modulus;
    const char* exponent;
    const char* message;
    uint8_t wantIndex;
    const char* wantModulus;
    const char* wantExponent;
  };
  // The configuration holds index 7, modulus "AA", exponent "03" before each.
  const char* bad = "Public Key Index is not a valid Hex String";
  // clang-format off
  const Case cases[] = {
      {"all three",      " 1f ", "C1 02", "01 00 01", "",  0x1F, "C1 02", "01 00 01"},
      {"blank index",    "",     "C1 02", "01 00 01", "",  7,    "C1 02", "01 00 01"},
      {"blank modulus",  "2",    "  ",    "05",       "",  2,    "AA",    "05"},
      {"blank exponent", "2",    "C3",    "",         "",  2,    "C3",    "03"},
      {"index not hex",  "1G",   "C1 02", "05",       bad, 7,    "AA",    "03"},
      {"index $-prefixed", "$1F", "C1 02", "05",      bad, 7,    "AA",    "03"},
      {"index past a byte", "100", "C1 02", "05",     bad, 7,    "AA",    "03"},
  };
  // clang-format on
  for (const Case& c : cases) {
    test::TempDir dir;
    TCFGConfig config(dir.path(), "config.ini", nullptr);
    config.CFGSetPublicKeyIndex(7);
    config.CFGSetPublicKeyModulus("AA");
    config.CFGSetPublicKeyExponent("03");
    EXPECT_EQ(KFMUseNow(config, c.index, c.modulus, c.exponent), c.message) << c.name;
    EXPECT_EQ(config.CFGGetPublicKeyIndex(), c.wantIndex) << c.name;
    EXPECT_EQ(config.CFGGetPublicKeyModulus(), c.wantModulus) << c.name;
    EXPECT_EQ(config.CFGGetPublicKeyExponent(), c.wantExponent) << c.name;
  }
}

}  // namespace
}  // namespace kal
