#pragma once

// Stand-ins for the parser and the document type that the model's tests link
// documents to.

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLReferences.h"
#include "xml/XMLStrings.h"

namespace kal::test {

class FakeParser : public TVxParserContext {
 public:
  bool FormatedOutput() const override { return formated; }
  bool RetrieveInternetURI() const override { return false; }
  void FileNotFound(TVxXMLNode&, const std::string&) override {}
  int GetLineNumber() const override { return line; }
  std::string GetFileName() const override { return file; }
  TInvalidChars& InvalidCharRecord() override { return invalid; }
  void AddValidationError(const std::string&, TVxXMLNode*) override {}
  void ParseFragment(std::u16string_view text, TVxXMLDocument& doc) override {
    fragments.emplace_back(text);
    if (fragment) fragment(text, doc);
  }

  bool formated = true;
  int line = 0;
  std::string file;
  TInvalidChars invalid;
  std::vector<std::u16string> fragments;  // texts handed to ParseFragment
  std::function<void(std::u16string_view, TVxXMLDocument&)> fragment;
};

// A document type whose declarations are two maps.
class FakeDocType : public TVxXMLNode, public TVxDeclarations {
 public:
  explicit FakeDocType(TVxXMLDocument* doc) : TVxXMLNode(u"R", ntDocumentType, doc) {}

  char GetEntityDestType(std::u16string_view name) const override {
    const auto it = entities.find(std::u16string(name));
    return it == entities.end() ? 'F' : it->second.first;
  }
  bool GetEntityValue(std::u16string_view name, std::u16string& value) override {
    const auto it = entities.find(std::u16string(name));
    if (it == entities.end() || it->second.first != 'B') return false;
    value = it->second.second;
    return true;
  }
  char GetAttrType(std::u16string_view element, std::u16string_view attr) const override {
    const auto it = attrTypes.find({std::u16string(element), std::u16string(attr)});
    return it == attrTypes.end() ? ':' : it->second;
  }

  std::map<std::u16string, std::pair<char, std::u16string>> entities;  // name: type, value
  std::map<std::pair<std::u16string, std::u16string>, char> attrTypes;
};

}  // namespace kal::test
