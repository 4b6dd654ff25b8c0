#pragma once

// What the tests of the document model share: stand-ins for the parser and
// the document type, and checks of the exceptions.

#include <gtest/gtest.h>

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
  bool RetrieveExternal() const override { return false; }
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

// Runs f and expects an EVxDOMException with the given code and text.
template <typename F>
void ExpectDOMError(F f, int code, const std::string& text) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected: " << text;
  } catch (const EVxDOMException& e) {
    EXPECT_EQ(e.Code(), code);
    EXPECT_EQ(std::string(e.what()),
              "XML-DOM [" + std::string(EVxDOMException::ErrCodeToString(code)) + "]: " + text);
  }
}

// Runs f, expects an EVxXMLParserError with the given message and returns it.
template <typename F>
EVxXMLParserError ExpectParserError(F f, const std::string& text) {
  try {
    f();
  } catch (const EVxXMLParserError& e) {
    EXPECT_STREQ(e.what(), text.c_str());
    return e;
  }
  ADD_FAILURE() << "no exception, expected: " << text;
  return EVxXMLParserError::CreateXMLError("", 0);
}

// The names of first and the nodes after it.
inline std::vector<std::u16string> Names(const TVxXMLNode* first) {
  std::vector<std::u16string> names;
  for (const TVxXMLNode* n = first; n; n = n->Next()) names.push_back(n->GetName());
  return names;
}

}  // namespace kal::test
