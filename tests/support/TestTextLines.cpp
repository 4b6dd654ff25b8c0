#include "support/TextLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kal {
namespace {

// Every text file the program reads goes through this reader: files written
// on any system read as the same lines.
TEST(TextLines, ReaderTakesCrLfLfAndLoneCrAsLineEnds) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"a\r\rb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR: two line ends
      {"k;1\rT;2\r\nx;3\ny", {"k;1", "T;2", "x;3", "y"}},
      {"\r\n\r\n", {"", ""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextLines(c.text), c.lines) << testing::PrintToString(std::string(c.text));
    TTextLineReader reader(c.text);
    std::string line;
    int n = 0;
    while (reader.ReadLine(line)) EXPECT_EQ(reader.LineNumber(), ++n);
    EXPECT_EQ(static_cast<size_t>(n), c.lines.size());
    EXPECT_TRUE(reader.AtEnd());
  }
}

}  // namespace
}  // namespace kal
