// BER-TLV reader against a model that
// follows the rules literally: it deletes what it consumes from the front of
// a string and trims the rest after each pair. Both walk the same text item
// by item and must agree on every result, tag, length, value and rest.
//
// Input: byte 0 selects the value routine (bit 0); the rest is the text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "support/TlvUtilities.h"

namespace {

using kal::fuzz::Check;
using kal::fuzz::Digit;

bool IsPair(const std::string& s) {
  return s.size() >= 2 && Digit(s[0]) >= 0 && Digit(s[1]) >= 0;
}

int Byte(const std::string& s) {
  return Digit(s[0]) * 16 + Digit(s[1]);
}

void Trim(std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
  s = s.substr(a, b - a);
}

void Upper(std::string& s) {
  for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

int ModelTag(std::string& data, std::string& tag) {
  if (!IsPair(data)) return 2;
  const int first = Byte(data);
  tag = data.substr(0, 2);
  data.erase(0, 2);  // no trim after the first pair
  if ((first & 0x1F) != 0x1F) return 0;
  bool appended = false;
  int last = first;
  while (data.size() >= 2) {
    if (!IsPair(data)) return 2;
    last = Byte(data);
    tag += data.substr(0, 2);
    data.erase(0, 2);
    Trim(data);
    appended = true;
    if (last < 0x80) break;
  }
  return (!appended || last >= 0x80) ? 2 : 0;
}

int ModelTagLength(std::string& data, std::string& tag, int& length) {
  length = 0;
  tag.clear();
  if (data.size() < 2) return 1;
  const int tagResult = ModelTag(data, tag);
  Upper(tag);
  if (tagResult != 0) return tagResult;
  if (!IsPair(data)) return 2;
  const int first = Byte(data);
  data.erase(0, 2);
  Trim(data);
  if (first < 0x80) {
    length = first;
    return 0;
  }
  const int count = first & 0x7F;
  if (count > 4) return 2;
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) {
    if (!IsPair(data)) return 2;
    value = value * 256 + static_cast<uint64_t>(Byte(data));
    data.erase(0, 2);
    Trim(data);
  }
  if (value > 0x7FFFFFFF) return 2;
  length = static_cast<int>(value);
  return 0;
}

int ModelTagLengthValue(std::string& data, std::string& tag, int& length, std::string& value) {
  value.clear();
  const int result = ModelTagLength(data, tag, length);
  if (result != 0) return result;
  const size_t chars = 2 * static_cast<size_t>(length);
  if (data.size() < chars) return 3;
  for (size_t i = 0; i < chars; ++i) {
    if (Digit(data[i]) < 0) return 3;
  }
  value = data.substr(0, chars);
  data.erase(0, chars);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 8192) return 0;  // the model is quadratic
  const bool withValues = data[0] & 1;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string_view ours = text;
  std::string model = text;
  for (;;) {
    std::string tag = "stale", modelTag;
    std::string value = "stale", modelValue;
    int length = -1, modelLength = -1;
    const size_t before = ours.size();
    int result, modelResult;
    if (withValues) {
      result = kal::UTLGetTagLengthValue(ours, tag, length, value);
      modelResult = ModelTagLengthValue(model, modelTag, modelLength, modelValue);
      Check(value == modelValue);
    } else {
      result = kal::UTLGetTagLength(ours, tag, length);
      modelResult = ModelTagLength(model, modelTag, modelLength);
    }
    Check(result == modelResult);
    Check(tag == modelTag);
    Check(length == modelLength);
    Check(ours == model);
    Check(length >= 0 && ours.size() <= before);
    if (result != 0) break;
    Check(ours.size() < before);  // every successful call consumes
  }
  return 0;
}
