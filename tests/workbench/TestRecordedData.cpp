// Recorded data files read back into a document: the line rules of the
// recorded blocks, the file choice by terminal or by folder, the archive
// moves, and the result checked with libxml2.
#include "workbench/RecordedData.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <filesystem>

#include "common/TestSupport.h"
#include "ep2/MessageTree.h"
#include "workbench/Archive.h"
#include "xml/XMLDOM.h"

namespace kal {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Elements with their text, as libxml2 reads them; whitespace-only text is
// left out.
std::string Shape(xmlNode* node) {
  std::string out;
  for (; node != nullptr; node = node->next) {
    if (node->type == XML_TEXT_NODE) {
      xmlChar* text = xmlNodeGetContent(node);
      std::string s(reinterpret_cast<const char*>(text));
      xmlFree(text);
      if (s.find_first_not_of(" \t\r\n") != std::string::npos) out += s;
    } else if (node->type == XML_ELEMENT_NODE) {
      const std::string name = node->ns != nullptr && node->ns->prefix != nullptr
                                   ? std::string(reinterpret_cast<const char*>(node->ns->prefix)) +
                                         ":" + reinterpret_cast<const char*>(node->name)
                                   : reinterpret_cast<const char*>(node->name);
      out += "<" + name + ">" + Shape(node->children) + "</" + name + ">";
    }
  }
  return out;
}

std::string LibXmlShape(const std::string& xml) {
  xmlDoc* doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "doc.xml", nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR);
  if (doc == nullptr) return "<not well-formed>";
  const std::string shape = Shape(xmlDocGetRootElement(doc));
  xmlFreeDoc(doc);
  return shape;
}

// A recorded block as the recording writes it: CR LF, three blanks a level.
const char* const kBlock =
    "<ep2:bdfin>\r\n"
    "   <ep2:trx>\r\n"
    "      <ep2:AmtAuth>1500</ep2:AmtAuth>\r\n"
    "      <ep2:emv>\r\n"
    "         <ep2:TVR>AAAAAAA=</ep2:TVR>\r\n"
    "      </ep2:emv>\r\n"
    "   </ep2:trx>\r\n"
    "   <ep2:TrmID>T01</ep2:TrmID>\r\n"
    "</ep2:bdfin>\r\n";

class RecordedData : public ::testing::Test {
 protected:
  RecordedData() {
    auto* root = new TVxXMLElement(u"ep2:batchreq", &doc);
    doc.SetDocumentElement(root);
    container = new TVxXMLElement(u"ep2:bdfinlist", &doc);
    root->AppendChild(container);
  }
  std::string Written() {
    std::string xml;
    doc.Write(xml);
    return xml;
  }
  TVxXMLDocument doc;
  TVxXMLElement* container = nullptr;
  std::string error;
};

TEST_F(RecordedData, BlocksBecomeElementsUnderTheContainer) {
  TempDir dir;
  // A closing line with nothing open and lines without markup are ignored.
  WriteFile(dir.file("T01.xml"), std::string("</ep2:stray>\r\nnoise\r\n") + kBlock + kBlock);
  ASSERT_EQ(CEXIncludeSingleRecordedFile(dir.file("T01.xml"), *container, error), 0) << error;
  const std::string block =
      "<ep2:bdfin><ep2:trx><ep2:AmtAuth>1500</ep2:AmtAuth><ep2:emv><ep2:TVR>AAAAAAA=</ep2:TVR>"
      "</ep2:emv></ep2:trx><ep2:TrmID>T01</ep2:TrmID></ep2:bdfin>";
  EXPECT_EQ(LibXmlShape(Written()),
            "<ep2:batchreq><ep2:bdfinlist>" + block + block + "</ep2:bdfinlist></ep2:batchreq>");
  for (TVxXMLElement* e = container->GetFirstChild(); e != nullptr; e = e->NextSibling())
    EXPECT_EQ(e->GetOwnerDocument(), &doc);
}

TEST_F(RecordedData, NameTheModelRefusesIsAnError) {
  TempDir dir;
  WriteFile(dir.file("bad.xml"), "<ep2:bdfin>\r\n   <1bad>5</1bad>\r\n</ep2:bdfin>\r\n");
  EXPECT_EQ(CEXIncludeSingleRecordedFile(dir.file("bad.xml"), *container, error), 6001);
  EXPECT_FALSE(error.empty());
}

TXMLTreeNode* Add(TXMLMessageTree& tree, TXMLTreeNode* parent, const std::string& name,
                  const std::string& value) {
  int32_t id = 0;
  return tree.AddChildObject(parent, name,
                             std::make_unique<TUAXxmlElement>(name, value, "an", "", "", 0), id);
}

TEST_F(RecordedData, TerminalFileOrEveryFileOfThePmsFolderInNameOrderThenArchived) {
  TempDir dir;
  // A folder stored with backslashes.
  std::string stored = dir.path();
  stored.pop_back();
  std::replace(stored.begin(), stored.end(), '/', '\\');
  const std::string folder = CEXRecordFolder(stored);
  EXPECT_EQ(folder, dir.path());

  TXMLMessageTree terminalTree;
  Add(terminalTree, Add(terminalTree, nullptr, "ep2:batchreq", ""), "ep2:TrmID", " T02 ");
  EXPECT_EQ(CEXRecordedFiles(folder, terminalTree), std::vector<std::string>{dir.file("T02.xml")});

  TXMLMessageTree pmsTree;
  Add(pmsTree, Add(pmsTree, nullptr, "ep2:batchreq", ""), "ep2:PMSID", "P1");
  WriteFile(dir.file("b.xml"), "<ep2:b>\r\n</ep2:b>\r\n");
  WriteFile(dir.file("a.XML"), "<ep2:a>\r\n</ep2:a>\r\n");
  WriteFile(dir.file("c.txt"), "<ep2:c>\r\n</ep2:c>\r\n");
  TARCArchive archive;
  ASSERT_EQ(CEXIncludeRecordedFile(folder, pmsTree, *container, archive, error), 0);
  EXPECT_EQ(LibXmlShape(Written()),
            "<ep2:batchreq><ep2:bdfinlist><ep2:a></ep2:a><ep2:b></ep2:b></ep2:bdfinlist>"
            "</ep2:batchreq>");
  EXPECT_EQ(ReadFile(dir.file("Archive/a.XML")), "<ep2:a>\r\n</ep2:a>\r\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("Archive/b.xml")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("c.txt")));

  // Only a terminal id that names a file in the folder is taken.
  for (const char* id : {"../x", "a/b", "a\\b", "", " . ", "..", "T\x01", "T\x7F"}) {
    TXMLMessageTree tree;
    Add(tree, Add(tree, nullptr, "ep2:batchreq", ""), "ep2:TrmID", id);
    EXPECT_TRUE(CEXRecordedFiles(folder, tree).empty()) << id;
  }
  EXPECT_EQ(CEXShownTerminalId("T\x01\x1F\x7F/"), "T\\x01\\x1F\\x7F/");

  TXMLMessageTree neither;
  Add(neither, nullptr, "ep2:batchreq", "");
  EXPECT_TRUE(CEXRecordedFiles(folder, neither).empty());
}

}  // namespace
}  // namespace kal
