#include "support/TlvUtilities.h"

#include <cstdint>

#include "support/HexUtilities.h"

namespace kal {

namespace {

// Delphi's Trim: characters up to and including " " off both ends.
void TrimRest(std::string_view& data) {
  while (!data.empty() && static_cast<unsigned char>(data.front()) <= ' ') data.remove_prefix(1);
  while (!data.empty() && static_cast<unsigned char>(data.back()) <= ' ') data.remove_suffix(1);
}

// Takes one pair of hex digits off the front; false (data unchanged) when
// fewer than two characters remain or either is no hex digit.
bool TakePair(std::string_view& data, unsigned& byte) {
  if (data.size() < 2 || !UTHIsHexChar(data[0]) || !UTHIsHexChar(data[1])) return false;
  byte = static_cast<unsigned>(UTHHexCharToInt(data[0]) * 16 + UTHHexCharToInt(data[1]));
  data.remove_prefix(2);
  return true;
}

void AppendByte(std::string& hex, unsigned byte) {
  hex.push_back(UTHIntToHexChar(static_cast<int>(byte >> 4)));
  hex.push_back(UTHIntToHexChar(static_cast<int>(byte & 15)));
}

// The tag: the first pair as it stands, then, when its low five bits are all
// set (UTH5BytesSet), further pairs up to one whose top bit is clear.
int ReadTag(std::string_view& data, std::string& tag) {
  unsigned byte = 0;
  if (!TakePair(data, byte)) return UTLcBadTagOrLength;
  AppendByte(tag, byte);
  if ((byte & 0x1F) != 0x1F) return UTLcOk;
  do {
    if (!TakePair(data, byte)) return UTLcBadTagOrLength;
    AppendByte(tag, byte);
    TrimRest(data);
  } while (byte & 0x80);
  return UTLcOk;
}

int ReadLength(std::string_view& data, int& length) {
  unsigned first = 0;
  if (!TakePair(data, first)) return UTLcBadTagOrLength;
  TrimRest(data);
  if (!(first & 0x80)) {
    length = static_cast<int>(first);
    return UTLcOk;
  }
  const unsigned count = first & 0x7F;
  if (count > 4) return UTLcBadTagOrLength;
  uint32_t value = 0;
  for (unsigned i = 0; i < count; ++i) {
    unsigned byte = 0;
    if (!TakePair(data, byte)) return UTLcBadTagOrLength;
    TrimRest(data);
    value = (value << 8) | byte;
  }
  if (value > INT32_MAX) return UTLcBadTagOrLength;
  length = static_cast<int>(value);
  return UTLcOk;
}

}  // namespace

int UTLGetTagLength(std::string_view& data, std::string& tag, int& length) {
  length = 0;
  tag.clear();
  if (data.size() < 2) return UTLcNoData;
  const int result = ReadTag(data, tag);
  if (result != UTLcOk) return result;
  int value = 0;
  const int lengthResult = ReadLength(data, value);
  if (lengthResult != UTLcOk) return lengthResult;
  length = value;
  return UTLcOk;
}

int UTLGetTagLengthValue(std::string_view& data, std::string& tag, int& length,
                         std::string& value) {
  value.clear();
  const int result = UTLGetTagLength(data, tag, length);
  if (result != UTLcOk) return result;
  const size_t chars = 2 * static_cast<size_t>(length);
  if (data.size() < chars || !UTHIsHexString(data.substr(0, chars))) return UTLcValueTooShort;
  value.assign(data.substr(0, chars));
  data.remove_prefix(chars);
  return UTLcOk;
}

}  // namespace kal
