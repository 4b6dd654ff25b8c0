#include "support/XmlLine.h"

#include <cstdint>

#include "support/StringUnit.h"

namespace kal {

void UXMParseXMLLine(std::string_view line, std::string& tag, std::string& value) {
  const std::string s = STRTrim(line);
  const size_t gt = s.find('>');
  tag = (gt == std::string::npos || gt < 1) ? std::string() : s.substr(1, gt - 1);
  const size_t close = s.find("</");
  if (close == std::string::npos) return;
  if (gt == std::string::npos || close <= gt)
    value.clear();
  else
    value = s.substr(gt + 1, close - gt - 1);
}

std::string UXMEscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

namespace {

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character of a reference body ("#65", "#x41"); false when it is no
// reference to a character XML allows. At most 8 digits, so no overflow.
bool CharacterReference(std::string_view body, uint32_t& c) {
  if (body.size() < 2 || body[0] != '#') return false;
  const bool hex = body[1] == 'x';
  const std::string_view digits = body.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  c = 0;
  for (const char d : digits) {
    int v;
    if (d >= '0' && d <= '9')
      v = d - '0';
    else if (hex && d >= 'a' && d <= 'f')
      v = d - 'a' + 10;
    else if (hex && d >= 'A' && d <= 'F')
      v = d - 'A' + 10;
    else
      return false;
    c = c * (hex ? 16 : 10) + static_cast<uint32_t>(v);
  }
  return IsXmlChar(c);
}

}  // namespace

std::string UXMUnescapeText(std::string_view text) {
  // Longest body: "#x" and 8 digits.
  constexpr size_t kMaxBody = 10;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    const size_t semi = text.find(';', i + 1);
    if (semi != std::string_view::npos && semi - i - 1 <= kMaxBody) {
      const std::string_view body = text.substr(i + 1, semi - i - 1);
      uint32_t c = 0;
      const char* named = body == "amp"    ? "&"
                          : body == "lt"   ? "<"
                          : body == "gt"   ? ">"
                          : body == "quot" ? "\""
                          : body == "apos" ? "'"
                                           : nullptr;
      if (named != nullptr) {
        out += named;
        i = semi;
        continue;
      }
      if (CharacterReference(body, c)) {
        AppendUtf8(c, out);
        i = semi;
        continue;
      }
    }
    out += '&';
  }
  return out;
}

}  // namespace kal
