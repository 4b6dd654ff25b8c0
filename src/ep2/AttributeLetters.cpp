#include "ep2/AttributeLetters.h"

#include <limits>

namespace kal {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// End of the run of digits that starts at `pos`.
size_t DigitsEnd(std::string_view s, size_t pos) {
  while (pos < s.size() && IsDigit(s[pos])) ++pos;
  return pos;
}

}  // namespace

void UCBGetAttributeString(const IUCBCheckList& checkListBox, std::string& s) {
  s.clear();
  const int n = checkListBox.Count();
  for (int i = 0; i < n; ++i) {
    if (!checkListBox.Checked(i)) continue;
    const std::string text = checkListBox.ItemText(i);
    if (!text.empty()) s.push_back(text[0]);
  }
}

void UCBSetAttributes(std::string_view s, IUCBCheckList& checkListBox) {
  const int n = checkListBox.Count();
  for (int i = 0; i < n; ++i) {
    const std::string text = checkListBox.ItemText(i);
    checkListBox.SetChecked(i, !text.empty() && UCBAttributeIsSet(text[0], s));
  }
}

bool UCBAttributeIsSet(char c, std::string_view s) {
  // A few letters: a plain scan costs less than a call to search them.
  for (const char letter : s)
    if (letter == c) return true;
  return false;
}

bool UCBAttributeCounterIsSet(char c, std::string_view s, int32_t& iCounter) {
  iCounter = 0;
  const size_t pos = s.find(c);
  if (pos == std::string_view::npos) return false;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  const size_t end = DigitsEnd(s, pos + 1);
  for (size_t i = pos + 1; i < end; ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > kMax) value = kMax;
  }
  iCounter = static_cast<int32_t>(value);
  return true;
}

void UCBReplaceCounter(char c, std::string_view s, int32_t iNew, std::string& sResult) {
  const size_t pos = s.find(c);
  if (pos == std::string_view::npos) {
    sResult = std::string(s);
    return;
  }
  const size_t end = DigitsEnd(s, pos + 1);
  sResult = std::string(s.substr(0, pos));
  sResult.push_back(c);
  sResult += std::to_string(iNew);
  sResult += s.substr(end);
}

}  // namespace kal
