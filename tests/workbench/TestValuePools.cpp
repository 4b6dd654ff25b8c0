// Value pools: sequential and random picks, component secrets, wrapping,
// the errors for missing and empty files, and the labelled items of a
// container's pool line.
#include "workbench/ValuePools.h"

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "config/AliasList.h"
#include "ep2/MessageTree.h"

namespace kal {
namespace {

using test::TempDir;
using test::WriteFile;

TXMLTreeNode* Add(TXMLMessageTree& tree, TXMLTreeNode* parent, const std::string& name,
                  const std::string& value, const std::string& type,
                  const std::string& attributes) {
  int32_t id = 0;
  auto element = std::make_unique<TUAXxmlElement>(name, value, type, attributes, "", 0);
  return tree.AddChildObject(parent, name, std::move(element), id);
}

class ValuePools : public ::testing::Test {
 protected:
  ValuePools() : aliases(dir.path()) {
    WriteFile(dir.file("pans.txt"), "1111\r\n2222\r\n3333\r\n");
    aliases.ALUAddAlias("%POOL%", dir.path(), false);
  }
  int Draw(bool container, std::string& value, std::string& attributes) {
    secret.clear();
    error.clear();
    return pools.CEXSetValuePoolValue(container, value, attributes, secret, error);
  }
  TempDir dir;
  TALUAliasList aliases;
  std::vector<uint32_t> randoms;
  std::vector<uint32_t> ranges;
  TCEXValuePools pools{aliases, [this](uint32_t n) {
                         ranges.push_back(n);
                         const uint32_t r = randoms.front();
                         randoms.erase(randoms.begin());
                         return r;
                       }};
  std::string secret, error;
};

TEST_F(ValuePools, SequentialPoolAdvancesItsCounterAndWrapsToTheFirstLine) {
  std::string attributes = "MP";
  std::vector<std::string> got;
  for (int i = 0; i < 4; ++i) {
    std::string value = "%POOL%pans.txt";
    ASSERT_EQ(Draw(false, value, attributes), 0) << error;
    got.push_back(value + " " + attributes);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"1111 MP1", "2222 MP2", "3333 MP3", "1111 MP1"}));
  // A stored counter far past the end wraps as well.
  attributes = "P99E";
  std::string value = dir.file("pans.txt");
  ASSERT_EQ(Draw(false, value, attributes), 0);
  EXPECT_EQ(value + " " + attributes, "1111 P1E");
}

TEST_F(ValuePools, RandomPoolTakesTheInjectedIndexAndLeavesOtherElementsAlone) {
  randoms = {2, 7};
  std::string attributes = "R";
  std::string value = dir.file("pans.txt");
  ASSERT_EQ(Draw(false, value, attributes), 0);
  EXPECT_EQ(value, "3333");
  value = dir.file("pans.txt");
  ASSERT_EQ(Draw(false, value, attributes), 0);
  EXPECT_EQ(value, "1111");  // an index past the end
  EXPECT_EQ(ranges, (std::vector<uint32_t>{3, 3}));
  EXPECT_EQ(attributes, "R");

  std::string plain = dir.file("pans.txt"), letters = "MV";
  ASSERT_EQ(Draw(false, plain, letters), 0);
  EXPECT_EQ(plain, dir.file("pans.txt"));
}

TEST_F(ValuePools, ComponentSecretFromLineOrLabelledItem) {
  WriteFile(dir.file("ids.txt"), "T001;00112233445566778899AABBCCDDEEFF;extra\n");
  std::string attributes = "PC", value = dir.file("ids.txt");
  ASSERT_EQ(Draw(false, value, attributes), 0);
  EXPECT_EQ(value, "T001");
  EXPECT_EQ(secret, "00112233445566778899AABBCCDDEEFF");

  WriteFile(dir.file("cards.txt"), "ep2:AppPAN=5413;ep2:CompSecret=A1B2;ep2:AppExpDate=2512");
  attributes = "PC";
  value = dir.file("cards.txt");
  ASSERT_EQ(Draw(true, value, attributes), 0);
  EXPECT_EQ(value, "ep2:AppPAN=5413;ep2:CompSecret=A1B2;ep2:AppExpDate=2512");
  EXPECT_EQ(secret, "A1B2");
}

TEST_F(ValuePools, MissingOrEmptyFileIsErrorNamingTheFile) {
  std::string attributes = "P", value = "%POOL%none.txt";
  EXPECT_EQ(Draw(false, value, attributes), CEXcErrorValuePool);
  EXPECT_EQ(error, "Value pool file not found: " + dir.file("none.txt"));

  WriteFile(dir.file("empty.txt"), "");
  attributes = "R";
  value = dir.file("empty.txt");
  EXPECT_EQ(Draw(false, value, attributes), CEXcErrorValuePool);
  EXPECT_EQ(error, "Value pool file is empty: " + dir.file("empty.txt"));
  EXPECT_TRUE(ranges.empty());
}

TEST_F(ValuePools, ComputeStoresBackAndStopsAtFirstError) {
  TXMLMessageTree tree;
  TXMLTreeNode* root = Add(tree, nullptr, "ep2:authreq", "", "c", "");
  TXMLTreeNode* plain = Add(tree, root, "ep2:AmtAuth", "100", "n", "M");
  plain->GetData()->SetActValue("stale");
  TXMLTreeNode* pan = Add(tree, root, "ep2:AppPAN", dir.file("pans.txt"), "cn", "P2E");
  TXMLTreeNode* bad = Add(tree, root, "ep2:TrmID", dir.file("none.txt"), "an", "P");
  TXMLTreeNode* after = Add(tree, root, "ep2:Curr", "756", "n", "");
  after->GetData()->SetActValue("untouched");

  EXPECT_EQ(pools.CEXComputePoolValues(tree, secret, error), CEXcErrorValuePool);
  EXPECT_EQ(plain->GetData()->GetActValue(), "100");
  EXPECT_EQ(pan->GetData()->GetActValue(), "3333");
  EXPECT_EQ(pan->GetData()->GetAttributes(), "P3E");
  EXPECT_EQ(pan->GetData()->GetValue(), dir.file("pans.txt"));
  EXPECT_EQ(CEXEffectiveValue(*pan->GetData()), "3333");
  EXPECT_EQ(bad->GetData()->GetAttributes(), "P");
  EXPECT_EQ(after->GetData()->GetActValue(), "untouched");
}

TEST(LabeledPoolValues, GoToFirstElementOfEachLabel) {
  TXMLMessageTree tree;
  TXMLTreeNode* root = Add(tree, nullptr, "ep2:authreq", "", "c", "");
  TXMLTreeNode* first = Add(tree, root, "ep2:AppPAN", "0", "cn", "");
  TXMLTreeNode* second = Add(tree, root, "ep2:AppPAN", "0", "cn", "");
  TXMLTreeNode* expiry = Add(tree, root, "ep2:AppExpDate", "0", "expdate", "");
  CEXIncludeLabeledPoolValues(" ep2:AppPAN = 5413 ;;=x;ep2:AppExpDate=251231;ep2:None=1", tree);
  EXPECT_EQ(first->GetData()->GetActValue(), "5413");
  EXPECT_TRUE(first->GetData()->GetUseActValue());
  EXPECT_EQ(CEXEffectiveValue(*first->GetData()), "5413");
  EXPECT_FALSE(second->GetData()->GetUseActValue());
  EXPECT_EQ(CEXEffectiveValue(*expiry->GetData()), "251231");
}

}  // namespace
}  // namespace kal
