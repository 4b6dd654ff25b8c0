#include "ep2/AttributeLetters.h"

#include <gtest/gtest.h>

#include <vector>

namespace kal {
namespace {

struct FakeCheckList : IUCBCheckList {
  template <size_t N>
  explicit FakeCheckList(const TUCBAttributeLetter (&letters)[N]) {
    for (const auto& l : letters) items.push_back({std::string(1, l.letter) + " " + l.text, false});
  }
  int Count() const override { return static_cast<int>(items.size()); }
  std::string ItemText(int i) const override { return items[i].first; }
  bool Checked(int i) const override { return items[i].second; }
  void SetChecked(int i, bool c) override { items[i].second = c; }
  std::vector<std::pair<std::string, bool>> items;
};

TEST(AttributeLetters, CheckListTakesLettersAnywhereAndGivesThemInItemOrder) {
  FakeCheckList elements(kUCBElementAttributes);
  std::string s;
  UCBSetAttributes("P3MF12", elements);
  UCBGetAttributeString(elements, s);
  EXPECT_EQ(s, "FMP");
  FakeCheckList sequence(kUCBSequenceAttributes);
  UCBSetAttributes("G12", sequence);     // counter digits are letters of this list
  sequence.items.push_back({"", true});  // an empty item gives no letter
  UCBGetAttributeString(sequence, s);
  EXPECT_EQ(s, "G12");
}

TEST(AttributeLetters, CountersAfterTheFirstOccurrence) {
  int32_t counter = -1;
  EXPECT_TRUE(UCBAttributeCounterIsSet('P', "FP", counter));
  EXPECT_EQ(counter, 0);
  EXPECT_TRUE(UCBAttributeCounterIsSet('P', "MP17P3", counter));
  EXPECT_EQ(counter, 17);
  EXPECT_TRUE(UCBAttributeCounterIsSet('P', "P99999999999999999999", counter));
  EXPECT_EQ(counter, 2147483647);
  EXPECT_FALSE(UCBAttributeCounterIsSet('R', "P3", counter));
  EXPECT_EQ(counter, 0);
  std::string r;
  UCBReplaceCounter('P', "FP3M", 4, r);
  EXPECT_EQ(r, "FP4M");
  UCBReplaceCounter('P', "P", 12, r);
  EXPECT_EQ(r, "P12");
  UCBReplaceCounter('P', "P123P5", 0, r);
  EXPECT_EQ(r, "P0P5");
  UCBReplaceCounter('R', "P3", 4, r);
  EXPECT_EQ(r, "P3");
}

}  // namespace
}  // namespace kal
