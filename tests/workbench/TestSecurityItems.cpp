// The security items' computations against OpenSSL (Triple DES, raw RSA,
// RSAES-OAEP with SHA-256), their errors, and the elements they become.
#include "workbench/SecurityItems.h"

#include <gtest/gtest.h>
#include <memory>

#include "comm/ErrorHandOff.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2Oracle.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "workbench/RsaTestKey.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

class RecordingErrors final : public ICEXErrorHandOff {
 public:
  bool CEXLogError(int, const std::string&, bool) override { return false; }
  void ERRSetErrorMessage(int code, const std::string& text) override {
    errors.push_back(std::to_string(code) + " " + text);
  }
  void CEXShowMessage(const std::string&) override {}
  std::vector<std::string> errors;
};

std::string Compact(const std::string& spaced) {
  return ToHex(FromHex(spaced));
}

class SecurityItemsTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  TCFGConfig config{dir.path(), "config.ini", nullptr};
  TSECDeterministicRandom random;
  TSECep2Security security{4000, random};
  RecordingErrors errors;
  std::string key = FromHex("0123456789ABCDEFFEDCBA9876543210");
  int keyResult = 0;
  TSKISecurityItems items{{config, security,
                           [this](std::string& k) {
                             k = key;
                             return keyResult;
                           },
                           errors}};

  void SetVersion(const char* version) {
    config.CFGSetMessageHeaderAttribute("specversion");
    config.CFGSetMessageHeaderAttributeValue(version);
  }
};

// One known answer per row kind: the PIN blocks of both formats, the three
// account-data rows, and the cryptogram for both key lengths.
TEST_F(SecurityItemsTest, KnownAnswers) {
  const std::string pinKey = test::VariantRef(key, 4);
  SetVersion("0510");
  auto pin = items.SKIEncryptedPIN("1234", "", "", "");
  ASSERT_TRUE(pin);
  EXPECT_EQ(ToHex(test::Ede(pinKey, FromHex(*pin), false)), "241234FFFFFFFFFF");

  SetVersion("0600");
  pin = items.SKIEncryptedPIN("1234", " 5413339000001513 ", "", "");
  ASSERT_TRUE(pin);
  std::string clear = test::Ede(pinKey, FromHex(*pin), false);
  const std::string panField = FromHex("0000339000001513");
  for (size_t i = 0; i < 8; ++i) clear[i] ^= panField[i];
  EXPECT_EQ(ToHex(clear).substr(0, 6), "341234");
  EXPECT_EQ(ToHex(clear).find_first_not_of("ABCDEF", 6), std::string::npos);

  // clang-format off
  const struct { TSKIRow row; const char* digits; const char* packed; } rows[] = {
      {TSKIRow::PAN,         "5413339000001513",                  "5413339000001513"},
      {TSKIRow::Track2,      "5413339000001513D2512201012345678", "5413339000001513D2512201012345678F"},
      {TSKIRow::Track2Equiv, "541333900000151",                   "541333900000151F"},
  };
  // clang-format on
  const std::string encKey = test::VariantRef(key, 3);
  for (const auto& r : rows) {
    const auto result = items.SKIEncryptedAccountData(r.row, r.digits);
    ASSERT_TRUE(result) << r.digits;
    EXPECT_EQ(Compact(*result),
              ToHex(test::Ede(encKey, test::Pad80(FromHex(r.packed)), true, std::string(8, '\0'))))
        << r.digits;
  }

  test::RsaTestKey rsa(2048);
  config.CFGSetPublicKeyModulus(ToHex(rsa.n));
  config.CFGSetPublicKeyExponent(ToHex(rsa.e));
  config.CFGSetComponentID("12345678");
  config.CFGSetComponentSecret("00112233445566778899AABBCCDDEEFF");
  const auto raw = items.SKISessionKeyCryptogram();
  ASSERT_TRUE(raw);
  const std::string block = rsa.Decrypt(FromHex(*raw));
  EXPECT_EQ(ToHex(block.substr(0, 41)),
            "7F" + ToHex("12345678") + ToHex(key) + "00112233445566778899AABBCCDDEEFF");

  key = FromHex("000102030405060708090A0B0C0D0E0F1011121314151617");
  const auto oaep = items.SKISessionKeyCryptogram();
  ASSERT_TRUE(oaep);
  const std::string opened = rsa.DecryptOaepSha256(FromHex(*oaep));
  EXPECT_EQ(ToHex(opened),
            "7F" + ToHex("12345678") + ToHex(key) + "00112233445566778899AABBCCDDEEFF");
  EXPECT_TRUE(errors.errors.empty());
}

TEST_F(SecurityItemsTest, FailuresReportTheirRowCodeAndComputeNothing) {
  config.CFGSetComponentSecret("01");
  // clang-format off
  const struct { std::function<bool()> run; const char* error; } cases[] = {
      {[&] { return items.SKIEncryptedPIN("12 4", "5413339000001513", "", "").has_value(); }, "9002 Invalid PIN data 0. "},
      {[&] { return items.SKIEncryptedPIN("12A4", "5413339000001513", "", "").has_value(); }, "9002 Invalid PIN data 0. "},
      {[&] { return items.SKIEncryptedAccountData(TSKIRow::PAN, "54X3").has_value(); },      "9003 Invalid PAN data 0. "},
      {[&] { return items.SKIEncryptedAccountData(TSKIRow::Track2, "5=12").has_value(); },   "9004 Invalid track 2 data 0. "},
      {[&] { return items.SKIEncryptedAccountData(TSKIRow::Track2Equiv, "G").has_value(); }, "9005 Invalid track 2 equivalent data 0. "},
      {[&] { return items.SKISessionKeyCryptogram().has_value(); },                          "9001 Invalid data for session key cryptogram 0. "},
  };
  // clang-format on
  for (const auto& c : cases) {
    errors.errors.clear();
    EXPECT_FALSE(c.run()) << c.error;
    EXPECT_EQ(errors.errors, std::vector<std::string>{c.error});
  }
  // A PAN too short for a format 3 block.
  SetVersion("0600");
  errors.errors.clear();
  EXPECT_FALSE(items.SKIEncryptedPIN("1234", "541333900", "", ""));
  EXPECT_EQ(errors.errors, std::vector<std::string>{"9002 Invalid PIN data 0. "});

  // No key from an incoming message: 7009 and nothing computed.
  keyResult = 7009;
  errors.errors.clear();
  EXPECT_FALSE(items.SKIEncryptedPIN("1234", "", "", ""));
  EXPECT_FALSE(items.SKIEncryptedAccountData(TSKIRow::PAN, "1234"));
  EXPECT_FALSE(items.SKISessionKeyCryptogram());
  EXPECT_EQ(errors.errors.size(), 3u);
  for (const auto& e : errors.errors) EXPECT_EQ(e.substr(0, 5), "7009 ");
  config.CFGSetPublicKeyModulus("");
  EXPECT_EQ(items.SKIEncryptPlainCryptogram("01 02"), "encryption failed");
}

TEST_F(SecurityItemsTest, AccountDataForThePinBlockIsTheFirstNonEmptyField) {
  SetVersion("0600");
  const std::string pinKey = test::VariantRef(key, 4);
  const std::string a = "5413339000001513", b = "4761739001010010", c = "6799998900000010";
  // clang-format off
  const struct { std::string pan, track2, track2Eq, used; } cases[] = {
      {a,   b,   c, a},
      {"",  b,   c, b},
      {" ", "",  c, c},
  };
  // clang-format on
  for (const auto& k : cases) {
    const auto pin = items.SKIEncryptedPIN("1234", k.pan, k.track2, k.track2Eq);
    ASSERT_TRUE(pin);
    std::string decoded;
    ASSERT_EQ(security.SECGenerateDecryptedPIN(FromHex(*pin), k.used, pinKey, 3, decoded), 0)
        << k.used;
    EXPECT_EQ(decoded, "1234");
    for (const std::string& other : {a, b, c}) {
      if (other == k.used) continue;
      std::string wrong;
      const int rc = security.SECGenerateDecryptedPIN(FromHex(*pin), other, pinKey, 3, wrong);
      EXPECT_TRUE(rc != 0 || wrong != "1234") << other;
    }
  }
}

TEST_F(SecurityItemsTest, ActivationAddAndModify) {
  TXMLMessageTree tree;
  int32_t id = 0;
  TXMLTreeNode* root = tree.AddChildObject(
      nullptr, "root", std::make_unique<TUAXxmlElement>("ep2:Msg", "", "", "M", "", 0), id);
  root->GetData()->SetID(id);
  TXMLTreeNode* pin = tree.AddChildObject(
      root, "pin", std::make_unique<TUAXxmlElement>("ep2:EncPIN", "AA BB", "b", "FS", "99", id),
      id);

  const TSKIActivation none = TSKISecurityItems::SKIActivate(nullptr);
  EXPECT_FALSE(none.addEnabled);
  EXPECT_EQ(none.modifyEnabled, (std::array<bool, 5>{}));
  const TSKIActivation a = TSKISecurityItems::SKIActivate(pin);
  EXPECT_TRUE(a.addEnabled);
  EXPECT_EQ(a.modifyEnabled, (std::array<bool, 5>{false, true, false, false, false}));
  EXPECT_EQ(a.values[1], "AA BB");
  EXPECT_EQ(a.attributes, "FS");

  TXMLTreeNode* added = TSKISecurityItems::SKIAddElement(tree, root, TSKIRow::PAN, "01 02", "MV");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->GetParent(), root);
  EXPECT_EQ(added, root->GetLastChild());
  const TUAXxmlElement& e = *added->GetData();
  EXPECT_EQ(e.GetName(), "ep2:AppPAN");
  EXPECT_EQ(e.GetValue(), "01 02");
  EXPECT_EQ(e.GetType(), "b");
  EXPECT_EQ(e.GetAttributes(), "MV");
  EXPECT_EQ(e.GetTLVTag(), "");
  EXPECT_EQ(e.GetParentID(), root->GetData()->GetID());
  EXPECT_EQ(e.GetID(), tree.XMLGetActID());
  EXPECT_EQ(added->GetText(), e.GetTreeString());
  EXPECT_EQ(TSKISecurityItems::SKIAddElement(tree, nullptr, TSKIRow::PAN, "x", ""), nullptr);

  EXPECT_FALSE(TSKISecurityItems::SKIModifyElement(nullptr, TSKIRow::PIN, "x", ""));
  EXPECT_FALSE(TSKISecurityItems::SKIModifyElement(pin, TSKIRow::PAN, "x", ""));
  EXPECT_EQ(pin->GetData()->GetValue(), "AA BB");
  ASSERT_TRUE(TSKISecurityItems::SKIModifyElement(pin, TSKIRow::PIN, "CC", "M"));
  EXPECT_EQ(pin->GetData()->GetValue(), "CC");
  EXPECT_EQ(pin->GetData()->GetAttributes(), "M");
  EXPECT_EQ(pin->GetData()->GetTLVTag(), "");
  EXPECT_EQ(pin->GetText(), pin->GetData()->GetTreeString());

  // Fast select: the next node carrying S, from the first node without a
  // selection.
  pin->GetData()->SetAttributes("S");
  EXPECT_EQ(TSKISecurityItems::SKINextFastSelect(tree, nullptr), pin);
  EXPECT_EQ(TSKISecurityItems::SKINextFastSelect(tree, pin), nullptr);
}

}  // namespace
}  // namespace kal
