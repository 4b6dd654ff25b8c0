#pragma once

// Small helpers the workbench tests share: message tree elements as the
// element editor adds them, JSON text for the mock ep2 host's specs, and
// streams as the memos show them.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/TestSupport.h"
#include "ep2/MessageTree.h"

namespace kal::test {

// Adds an element under `parent` (nullptr: a root) with its parent's id and
// its own id set, as the element editor does.
inline TXMLTreeNode* AddElement(TXMLMessageTree& tree, TXMLTreeNode* parent,
                                const std::string& name, const std::string& type,
                                const std::string& value = "", const std::string& attributes = "",
                                const std::string& tag = "") {
  const int32_t parentId = parent != nullptr ? parent->GetData()->GetID() : 0;
  int32_t id = 0;
  TXMLTreeNode* node = tree.AddChildObject(
      parent, name, std::make_unique<TUAXxmlElement>(name, value, type, attributes, tag, parentId),
      id);
  node->GetData()->SetID(id);
  return node;
}

// A JSON string literal.
inline std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out + "\"";
}

// Spaced upper-case hex as the memos show a stream.
inline std::string SpacedHex(std::string_view bytes) {
  std::string out;
  const std::string compact = ToHex(bytes);
  for (size_t i = 0; i < compact.size(); i += 2) {
    if (i != 0) out += ' ';
    out += compact.substr(i, 2);
  }
  return out;
}

}  // namespace kal::test
