#include "ep2/ElementRecords.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

// Records are written here one per line, fields separated by "|" (a record
// of the six-line layout simply has one field less).
std::string Records(std::string rows) {
  for (char& ch : rows)
    if (ch == '|') ch = '\n';
  std::string crlf;
  for (char ch : rows) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  return crlf;
}

std::string Reload(const std::string& text, const std::string& version, int32_t count,
                   int32_t expect = 0, bool shortText = false) {
  TXMLMessageTree tree;
  TTextLineReader in(text);
  EXPECT_EQ(UAXLoadElementRecords(in, version, count, tree, shortText), expect);
  TTextLineWriter out;
  std::string err;
  EXPECT_EQ(UAXSaveElementRecords(tree, out, err), 0);
  return out.Text();
}

// ep2:Msg(Hdr(TrxAmt, Text, Inner(Deep)), AppPAN), Second(Date); ids 1..n in tree order.
const std::string kTree = Records(
    "ep2:Msg||c|M||0|1\n"
    "ep2:Hdr||c|||1|2\n"
    "ep2:TrxAmt|1000|n|FM|9F02|2|3\n"
    "ep2:Text|a & b <c> \"q\" ';|ans|V||2|4\n"
    "ep2:Inner||c|||2|5\n"
    "ep2:Deep|\xC3\xA9t\xC3\xA9|b|P3||5|6\n"
    "ep2:AppPAN|5413330089010434|cn|E|5A|1|7\n"
    "ep2:Second||c|||0|8\n"
    "ep2:Date|20240229|date|L||8|9\n");

TEST(ElementRecords, TreesRoundTripInBothLayouts) {
  EXPECT_EQ(Reload(kTree, "7.0.1", 9), kTree);
  // The same tree in a version-1 file: six-line records without TLV tags.
  std::string six, seven, line;
  TTextLineReader in(kTree);
  for (int i = 0; in.ReadLine(line); ++i) {
    if (i % 7 != 4) six += line + "\r\n";
    seven += (i % 7 == 4 ? "" : line) + "\r\n";
  }
  EXPECT_EQ(Reload(six, "1.0", 9), seven);
  EXPECT_EQ(Reload(kTree, "2.0", 10, kUAXRecordEndOfFile), kTree);  // the file ends early
  EXPECT_EQ(Reload(kTree, "1.0", 9, kUAXRecordBadNumber), "");      // misread layout
}

TEST(ElementRecords, LoadingRenumbersAndMapsParents) {
  // Stored ids far from 1..n; 7 stored twice (the later one counts for the
  // records after it); a parent id no earlier record holds, one of a record
  // that was dropped, and a negative one: those records are dropped.
  const std::string stored = Records(
      "A||c|||0|50\n"
      "B||c|||50|7\n"
      "C||c|||50|7\n"
      "D||an|||7|3\n"
      "E||an|||2|9\n"
      "F||an|||9|11\n"
      "G||an|||0|2\n"
      "H||an|||-4|12\n");
  std::vector<std::string> seen;
  TXMLMessageTree tree;
  TTextLineReader in(stored);
  ASSERT_EQ(UAXLoadElementRecords(in, "2.0", 8, tree, true,
                                  [&](TUAXxmlElement& e) {
                                    seen.push_back(e.GetName() + std::to_string(e.GetID()) + "/" +
                                                   std::to_string(e.GetOldID()));
                                  }),
            0);
  EXPECT_EQ(seen, (std::vector<std::string>{"A1/50", "B2/7", "C3/7", "D4/3", "E5/9", "F6/11",
                                            "G7/2", "H8/12"}));
  EXPECT_EQ(tree.XMLGetActID(), 8);  // ids of dropped records stay used
  EXPECT_EQ(tree.GetTop(0)->GetItem(1)->GetText(), "<C>");
  TTextLineWriter out;
  std::string err;
  ASSERT_EQ(UAXSaveElementRecords(tree, out, err), 0);
  EXPECT_EQ(out.Text(), Records("A||c|||0|1\nB||c|||1|2\nC||c|||1|3\nD||an|||3|4\nG||an|||0|7\n"));
}

TEST(ElementRecords, AnElementThatCannotBeStoredStopsTheSave) {
  TXMLMessageTree tree;
  TTextLineReader in(kTree);
  ASSERT_EQ(UAXLoadElementRecords(in, "7.0.1", 9, tree, false), 0);
  tree.GetLastNode()->GetData()->SetValue("2024\n0229");
  TTextLineWriter out;
  std::string err;
  EXPECT_EQ(UAXSaveElementRecords(tree, out, err), kUAXRecordLineBreak);
  EXPECT_EQ(err, "Element ep2:Date cannot be saved: line break in its value");
}

}  // namespace
}  // namespace kal
