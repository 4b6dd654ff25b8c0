// The certificate input over a configured tag list: every format's padding
// and cutting, the search scope around the "ep2:AcqTC" element, run-time
// and decrypted values, and malformed lists reported by tag.
#include "workbench/TransactionCertificate.h"

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "ep2/Ep2Oracle.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

TXMLTreeNode* Add(TXMLMessageTree& tree, TXMLTreeNode* parent, const std::string& name,
                  const std::string& value, const std::string& type, const std::string& tag,
                  const std::string& attributes = "") {
  int32_t id = 0;
  auto element = std::make_unique<TUAXxmlElement>(name, value, type, attributes, tag, 0);
  return tree.AddChildObject(parent, name, std::move(element), id);
}

class Certificate : public ::testing::Test {
 protected:
  Certificate() {
    root = Add(tree, nullptr, "ep2:authreq", "", "c", "");
    Add(tree, root, "ep2:AmtAuth", "12345", "n", "9F02");
    Add(tree, root, "ep2:Curr", "756", "n", " 5f2a ");
    Add(tree, root, "ep2:TrmID", "T01", "an", "9F1C");
    Add(tree, root, "ep2:AIP", "1C00AB", "b", "82");
    Add(tree, root, "ep2:TrxDate", "20251231", "date", "9A");
    Add(tree, root, "ep2:AppPAN", "541333", "cn", "5A");
    TXMLTreeNode* emv = Add(tree, root, "ep2:EMVData", "", "c", "");
    Add(tree, emv, "ep2:Unpredictable", "CAFEBABE", "b", "9F37");
    TXMLTreeNode* deeper = Add(tree, emv, "ep2:Deeper", "", "c", "");
    Add(tree, deeper, "ep2:TooDeep", "01", "b", "9F10");
    Add(tree, root, "ep2:AfterDeep", "02", "b", "9F26");
    acqTC = Add(tree, root, "ep2:AcqTC", "", "b", "", "AE");
  }
  std::string Compute(const std::string& list, bool actual = false, const std::string& key = "") {
    return ToHex(CEXComputeATC(*acqTC, list, actual, &memo, security, key, errors));
  }
  TXMLMessageTree tree;
  TXMLTreeNode* root = nullptr;
  TXMLTreeNode* acqTC = nullptr;
  TSECDeterministicRandom random;
  TSECep2Security security{4000, random};
  std::vector<std::string> memo;
  std::string errors;
};

TEST_F(Certificate, FormatsEachTypeToItsLength) {
  // n padded in front (odd digit count gets a leading 0), cut keeping the
  // last bytes; an cut or padded with zero bytes at the end; b likewise;
  // date as BCD; cn padded with FF; an absent tag gives zero bytes.
  EXPECT_EQ(Compute("9F0206 5F2A02 9F1C04 8202 9A04 5A05 9F0302 9F0201"),
            "000000012345"
            "0756"
            "54303100"
            "1C00"
            "20251231"
            "541333FFFF"
            "0000"
            "45");
  EXPECT_TRUE(errors.empty()) << errors;
  EXPECT_EQ(memo.front(), "n 12345 9F02");
}

TEST_F(Certificate, SearchesSiblingsAndOneLevelBelowUntilADeeperNode) {
  EXPECT_EQ(Compute("9F3704 9F2601"),
            "CAFEBABE"
            "00");
  // 9F10 lies two levels below and ends the search: 9F26 after it is not
  // reached either.
  EXPECT_EQ(Compute("9F1001"), "00");
}

TEST_F(Certificate, TakesRunTimeValuesWhereTheyCount) {
  TUAXxmlElement* amount = tree.GetFirstNode()->GetFirstChild()->GetData();
  amount->SetActValue("99");
  EXPECT_EQ(Compute("9F0202"), "2345");
  EXPECT_EQ(Compute("9F0202", true), "0099");
  amount->SetUseActValue(true);
  EXPECT_EQ(Compute("9F0202"), "0099");
  amount->SetUseActValue(false);
  amount->SetAttributes("P1");
  EXPECT_EQ(Compute("9F0202"), "0099");
}

TEST_F(Certificate, DecryptsEncryptedRunTimeValuesWithVariantThree) {
  const std::string key = FromHex("0123456789ABCDEFFEDCBA9876543210");
  const std::string pan = FromHex("5413339000001513");
  const std::string encrypted =
      test::Ede(test::VariantRef(key, 3), test::Pad80(pan), true, std::string(8, '\0'));
  TUAXxmlElement* panElement = tree.GetFirstNode()->GetItem(5)->GetData();
  panElement->SetAttributes("E");
  panElement->SetActValue(ToHex(encrypted));
  EXPECT_EQ(Compute("5A08", true, key), "5413339000001513");
  // Without a key the encrypted value is taken as it is.
  EXPECT_EQ(Compute("5A08", true, ""), ToHex(encrypted).substr(0, 16));
  // Under another key the padding is not found: the item is in error.
  EXPECT_EQ(Compute("5A08 5F2A02", true, FromHex("00112233445566778899AABBCCDDEEFF")), "0000");
  EXPECT_EQ(errors, "5A");
  EXPECT_EQ(CEXATCErrorText(errors), "The items with the following TLV-tags contain errors: 5A");
}

TEST_F(Certificate, ReportsBadValuesAndMalformedItemsByTag) {
  tree.GetFirstNode()->GetFirstChild()->GetData()->SetValue("12a-");
  EXPECT_EQ(Compute("9F0202 5F2A02"), "0756");
  EXPECT_EQ(errors, "9F02");
  // A length above 65535 and a tag cut short end the list.
  EXPECT_EQ(Compute("5F2A02 9F1C8301000082 02"), "0756");
  EXPECT_EQ(errors, "9F1C");
  EXPECT_EQ(Compute("5F2A02 9F"), "0756");
  EXPECT_EQ(errors, "9F");
  EXPECT_EQ(Compute("5F2A02 5F2A820000 5F2A02"),
            "0756"
            "0756");
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace kal
