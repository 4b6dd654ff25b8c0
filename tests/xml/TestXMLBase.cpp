#include "xml/XMLBase.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(XMLBase, DOMExceptionMessageNamesTheCode) {
  const EVxDOMException e(10, "TVxNodeList.insertBefore: attribute already in use (use clone)");
  EXPECT_EQ(e.Code(), 10);
  EXPECT_STREQ(e.what(),
               "XML-DOM [INUSE_ATTRIBUTE_ERR]: TVxNodeList.insertBefore: attribute already in use "
               "(use clone)");
  EXPECT_STREQ(EVxDOMException(15, "x").what(), "XML-DOM []: x");
  EXPECT_EQ(EVxDOMException::ErrCodeToString(1), "INDEX_SIZE_ERR");
  EXPECT_EQ(EVxDOMException::ErrCodeToString(12), "INVALID_POINTER_ERR");
  for (int unnamed : {-1, 0, 11, 13, 255}) EXPECT_EQ(EVxDOMException::ErrCodeToString(unnamed), "");
}

TEST(XMLBase, ParserErrorCarriesItsPosition) {
  const auto plain = EVxXMLParserError::CreateXMLError("Unexpected end of file.", 7);
  EXPECT_STREQ(plain.what(), "Unexpected end of file.");
  EXPECT_EQ(std::tie(plain.LineNumber, plain.ExtLineNumber, plain.FileName),
            std::make_tuple(7, 0, std::string()));
  const auto file = EVxXMLParserError::CreateWithFileName("m", "a.xml", 3);
  EXPECT_EQ(std::tie(file.LineNumber, file.ExtLineNumber, file.FileName),
            std::make_tuple(3, 0, std::string("a.xml")));
  const auto ext = EVxXMLParserError::CreateWithExtFileName("m", "b.dtd", 4, 12);
  EXPECT_EQ(std::tie(ext.LineNumber, ext.ExtLineNumber, ext.FileName),
            std::make_tuple(4, 12, std::string("b.dtd")));
}

}  // namespace
}  // namespace kal
