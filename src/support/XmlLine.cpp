#include "support/XmlLine.h"

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

}  // namespace kal
