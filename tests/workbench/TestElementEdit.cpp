// The attribute string Modify writes (counters of letters that stay
// checked kept) and the type item shown for a type.
#include "workbench/ElementEdit.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(ElementEdit, ModifyKeepsTheCountersOfLettersThatStayChecked) {
  // clang-format off
  const struct { const char* old; const char* checked; const char* result; } cases[] = {
      {"P3",    "P",   "P3"},
      {"MP3",   "FP",  "FP3"},    // M goes, F comes without digits
      {"P12S",  "PS",  "P12S"},
      {"F1M22", "M",   "M22"},
      {"",      "AE",  "AE"},
      {"S5",    "",    ""},
      {"P3P4",  "P",   "P3"},     // the first place of a letter
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(EDFKeepCounters(c.old, c.checked), c.result) << c.old << " " << c.checked;
}

TEST(ElementEdit, ATypeWithoutItemShowsTheLastItem) {
  // clang-format off
  const struct { const char* type; int item; } cases[] = {
      {"a", 0}, {"an", 1}, {"ans", 2}, {"b", 3}, {"cn", 4}, {"date", 5}, {"expdate", 6},
      {"n", 7}, {"time", 8}, {"c", 8}, {"", 8}, {"AN", 8},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(EDFItemOfType(c.type), c.item) << c.type;
    if (c.item < 8 || std::string_view(c.type) == "time") {
      EXPECT_EQ(EDFTypeOfItem(c.item), c.type);
    }
  }
}

}  // namespace
}  // namespace kal
