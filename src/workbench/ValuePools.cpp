#include "workbench/ValuePools.h"

#include "config/AliasList.h"
#include "ep2/AttributeLetters.h"
#include "ep2/MessageTree.h"
#include "ep2/Utf8Text.h"
#include "platform/AtomicFile.h"
#include "support/StringUnit.h"
#include "support/TextLines.h"
#include "workbench/FilePaths.h"

namespace kal {

bool CEXIsPoolValue(std::string_view attributes) {
  return UCBAttributeIsSet('P', attributes) || UCBAttributeIsSet('R', attributes) ||
         UCBAttributeIsSet('L', attributes);
}

const std::string& CEXEffectiveValue(const TUAXxmlElement& element) {
  if (CEXIsPoolValue(element.GetAttributes()) || element.GetUseActValue())
    return element.GetActValue();
  return element.GetValue();
}

bool CEXReadTextLines(const std::string& path, size_t maxBytes, std::vector<std::string>& lines) {
  lines.clear();
  std::string content;
  if (!PLTReadFile(path, content, maxBytes)) return false;
  lines = TextLines(UTFTextAsUTF8(content));
  return true;
}

int TCEXValuePools::CEXSetValuePoolValue(bool bContainer, std::string& value,
                                         std::string& attributes, std::string& secret,
                                         std::string& errorText) const {
  if (!CEXIsPoolValue(attributes)) return 0;
  std::string name = STRTrim(value);
  aliases_.ALUFindAlias(false, name);
  int32_t counter = 0;
  const bool random = UCBAttributeIsSet('R', attributes);
  const bool sequential = UCBAttributeCounterIsSet('P', attributes, counter);
  if (!random && !sequential) return 0;

  std::vector<std::string> lines;
  if (!CEXFileExists(name) || !CEXReadTextLines(name, CEXcMaxValuePoolBytes, lines)) {
    errorText = "Value pool file not found: " + name;
    return CEXcErrorValuePool;
  }
  if (lines.empty()) {
    errorText = "Value pool file is empty: " + name;
    return CEXcErrorValuePool;
  }
  const auto count = static_cast<uint32_t>(lines.size());
  uint32_t index = random ? random_(count) : static_cast<uint32_t>(counter < 0 ? 0 : counter);
  if (index >= count) index = 0;

  std::string line = lines[index];
  if (UCBAttributeIsSet('C', attributes)) {
    if (bContainer) {
      std::string items = line;
      secret = STRRemoveLabeledItem("ep2:CompSecret", items);
      value = line;
    } else {
      value = STRGetItem(";", line);
      secret = STRGetItem(";", line);
    }
  } else {
    value = line;
  }
  if (sequential) {
    std::string replaced;
    UCBReplaceCounter('P', attributes, static_cast<int32_t>(index + 1), replaced);
    attributes = replaced;
  }
  return 0;
}

int TCEXValuePools::CEXComputePoolValues(TXMLMessageTree& tree, std::string& secret,
                                         std::string& errorText) const {
  for (TXMLTreeNode* node = tree.GetFirstNode(); node != nullptr; node = node->GetNext()) {
    TUAXxmlElement& element = *node->GetData();
    std::string value = element.GetValue();
    std::string attributes = element.GetAttributes();
    const int rc =
        CEXSetValuePoolValue(element.GetType() == "c", value, attributes, secret, errorText);
    if (rc != 0) return rc;
    element.SetAttributes(std::move(attributes));
    element.SetActValue(std::move(value));
  }
  return 0;
}

void CEXIncludeLabeledPoolValues(std::string items, TXMLMessageTree& tree) {
  while (!STRTrim(items).empty()) {
    std::string label, value;
    STRGetLabeledItem(items, label, value);
    if (label.empty()) continue;
    for (TXMLTreeNode* node = tree.GetFirstNode(); node != nullptr; node = node->GetNext()) {
      TUAXxmlElement& element = *node->GetData();
      if (element.GetName() != label) continue;
      element.SetActValue(value);
      element.SetUseActValue(true);
      break;
    }
  }
}

}  // namespace kal
