#include "xml/LexAnalyzer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "XMLTestSupport.h"
#include "xml/XMLParser.h"

namespace kal {
namespace {

using test::ExpectParserError;

TEST(LexAnalyzer, SymbolTableFoldsCaseOnLookupOnly) {
  TSymTab table;
  EXPECT_EQ(TSymTab::hash(u"Abc"), TSymTab::hash(u"aBC"));
  // Up to the first zero unit.
  EXPECT_EQ(TSymTab::hash(std::u16string_view(u"ab\0cd", 5)), TSymTab::hash(u"ab"));
  const int first = table.Insert(u"ABC", tkName);
  EXPECT_EQ(table.Lookup(u"abc"), first);
  EXPECT_EQ(static_cast<unsigned>(first) & 0xFF, TSymTab::hash(u"ABC"));
  // Insert does not look: a second entry, behind the first, keeps its case.
  const int second = table.Insert(u"abc", tkLiteral);
  EXPECT_EQ(second, first + 0x100);
  EXPECT_EQ(table.Lookup(u"ABC"), first);
  EXPECT_EQ(std::u16string_view(table.GetLexemPtr(second)), u"abc");
  EXPECT_EQ(table.GetToken(second), tkLiteral);
  EXPECT_EQ(table.Lookup(u"ab"), -1);

  table.Insert(u">", tkEtag);
  EXPECT_EQ(table.Keyword(tkEtag).Lexeme(), u">");
  table.Truncate(1);
  EXPECT_EQ(table.Size(), 1u);
  EXPECT_EQ(table.Lookup(u"ABC"), first);
  EXPECT_EQ(table.Lookup(u">"), -1);
}

// The document scanner and the shared productions, driven directly.
class Scanner : public TVxXMLParser {
 public:
  explicit Scanner(const std::string& text) : in_(text) {
    Init(inv_);
    FirstBuffer->Init(in_);
    LexAn();
  }
  ~Scanner() override { Finalize(); }

  // The codes of the tokens up to the end of the input.
  std::vector<int> Tokens() {
    std::vector<int> codes;
    for (; CurToken.Token != tkDone; LexAn()) codes.push_back(CurToken.Token);
    return codes;
  }
  std::u16string Lexeme() const { return std::u16string(CurToken.Lexeme()); }
  void Next() { LexAn(); }
  void ExternalId() { ParseExternalId(); }
  void TextDecl() { ParseTextDecl(); }

  std::vector<std::pair<int, std::u16string>> emitted;

 protected:
  void Emit(std::uint8_t nodeType, std::u16string_view value) override {
    emitted.emplace_back(nodeType, value);
  }
  void MEmit(std::uint8_t nodeType, std::u16string_view name, std::u16string_view value) override {
    emitted.emplace_back(nodeType, std::u16string(name) + u"=" + std::u16string(value));
  }

 private:
  std::istringstream in_;
  TInvalidChars inv_;
};

TEST(LexAnalyzer, MarkupKeywordsIgnoreCase) {
  Scanner s("<!doctype <!Element <!ATTLIST <!entity <!NOTATION <?XML <?xml-stylesheet <!-- c -->");
  EXPECT_EQ(s.Tokens(),
            (std::vector<int>{tkDTDStag, tkElemDecl, tkAttrDecl, tkEntityDecl, tkNotSTag, tkXMLStag,
                              tkPIStag, tkName, tkComntStag, tkCharData, tkComntEtag}));
  Scanner t("</ /> > ?> ]]> ] ? #fixed #Implied #PCDATA #REQUIRED = a:b-1 'x\"' \"y\" ( %");
  EXPECT_EQ(t.Tokens(), (std::vector<int>{tkElemEtag, tkEmptyEtag, tkEtag, tkPIEtag, tkCDEtag, ']',
                                          '?', tkFixed, tkImplied, tkPcdata, tkRequired, '=',
                                          tkName, tkLiteral, tkLiteral, '(', '%'}));
  Scanner cdata("<![cdata[ x ]]>");
  EXPECT_EQ(cdata.Tokens(), (std::vector<int>{tkCDStag, tkCharData, tkCDEtag}));
  Scanner literal("'a\nb");  // a literal not closed ends with the input
  EXPECT_EQ(literal.Lexeme(), u"a\nb");
}

TEST(LexAnalyzer, MalformedMarkupRaises) {
  const std::pair<const char*, const char*> cases[] = {
      {"<!-x", "Wrong declaration (comment?): \"<!-\"."},
      {"<!FOO>", "Wrong declaration: \"<!\"."},
      {"#FIXX", "Unsupported keyword: \"#FIXX\"."},
      {"#x", "Wrong declaration: \"#x\"."},
      {"]]x", "Illegal occurence of : \"]]\"."},
      {"-x", "Illegal occurence of : \"--\"."},
      {"/x", "Illegal occurence of : \"/\"."},
      {"\x01", "Illegal occurence of \"&#x1;\""},
  };
  for (const auto& [text, message] : cases) ExpectParserError([&] { Scanner s(text); }, message);
}

TEST(LexAnalyzer, ExternalIdAndTextDeclaration) {
  Scanner system("SYSTEM 'a.dtd'");
  system.ExternalId();
  EXPECT_EQ(system.emitted, (decltype(system.emitted){{ntExternSystem, u"a.dtd"}}));
  Scanner both("public \"-//P\" \"s\" >");
  both.ExternalId();
  EXPECT_EQ(both.emitted,
            (decltype(both.emitted){{ntExternPublic, u"-//P"}, {ntExternSystem, u"s"}}));
  Scanner publicOnly("PUBLIC 'p' >");
  publicOnly.ExternalId();
  EXPECT_EQ(publicOnly.emitted.size(), 1u);
  ExpectParserError([] { Scanner("FOO 'a'").ExternalId(); }, "Illegal occurence of \"FOO\".");

  Scanner decl("<?xml encoding='UTF-8'?>x");  // the version may be left out
  decl.TextDecl();
  EXPECT_EQ(decl.emitted, (decltype(decl.emitted){{ntAttribute, u"encoding=UTF-8"}}));
  EXPECT_EQ(decl.Lexeme(), u"x");
  ExpectParserError([] { Scanner("<?xml version='1.0'?>").TextDecl(); },
                    "Encoding declaration required");
  ExpectParserError([] { Scanner("<?xml version='2.0' encoding='x'?>").TextDecl(); },
                    "Version declaration: version \"2.0\" is not supported.");
}

}  // namespace
}  // namespace kal
