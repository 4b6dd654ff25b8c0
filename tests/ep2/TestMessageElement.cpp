#include "ep2/MessageElement.h"

#include <gtest/gtest.h>

#include "support/TextLines.h"

namespace kal {
namespace {

TEST(MessageElement, TreeTexts) {
  TUAXxmlElement e("ep2:TrxAmt", "1000", "n", "FM", "", 3);
  e.SetActValue("999");  // the tree shows the stored value only
  EXPECT_EQ(e.GetTreeString(), "<ep2:TrxAmt>1000</ep2:TrxAmt>: n, FM");
  EXPECT_EQ(e.GetTreeShortString(), "<ep2:TrxAmt>: n, FM");
  TUAXxmlElement c("ep2:Msg", "x", "c", "M", "70", 0);
  EXPECT_EQ(c.GetTreeString(), "<ep2:Msg>x, M, 70");
  EXPECT_EQ(c.GetTreeShortString(), "<ep2:Msg>, M, 70");

  std::string v128, euros;
  for (int i = 0; i < 128; ++i) v128.push_back(static_cast<char>('A' + i % 26));
  for (int i = 0; i < 128; ++i) euros += "\xE2\x82\xAC";
  TUAXxmlElement t("t", v128, "ans", "", "9F02", 0);
  EXPECT_EQ(t.GetTreeString(), "<t>" + v128 + "</t>: ans, 9F02");
  t.SetValue("#" + v128);
  EXPECT_EQ(t.GetTreeString(), "<t>..." + v128 + "</t>: ans, 9F02");
  t.SetType("c");
  t.SetValue(euros);  // UTF-8 characters are counted whole, never cut
  EXPECT_EQ(t.GetTreeString(), "<t>" + euros + ", 9F02");
  t.SetValue("\xC3\xA9" + euros);
  EXPECT_EQ(t.GetTreeString(), "<t>..." + euros + ", 9F02");
}

TEST(MessageElement, CopyTakesTheFieldsButNotTheLinks) {
  TUAXxmlElement e("n", "v", "an", "PFP3", "5A", 7);
  e.SetID(9);
  e.SetOldID(4);
  e.SetActValue("act");
  e.SetUseActValue(true);
  e.SetParserElement(reinterpret_cast<TVxXMLElement*>(&e));  // never dereferenced
  const auto c = e.CreateCopy();
  EXPECT_EQ(c->GetTreeString(), e.GetTreeString());
  EXPECT_EQ(c->GetParentID() * 100 + c->GetID(), 709);
  EXPECT_EQ(c->GetActValue(), "act");
  EXPECT_EQ(c->GetOldID(), 0);
  EXPECT_EQ(c->GetParserElement(), nullptr);
  EXPECT_FALSE(c->GetUseActValue());
  e.RemoveAttribute('P');
  EXPECT_EQ(e.GetAttributes(), "F3");
}

TEST(MessageElement, RecordsInBothLayouts) {
  for (const char* v : {"2.0", "3.1", "10.0", "7.0.1", "2", "1x.0", ""})
    EXPECT_TRUE(UAXRecordHasTLVTag(v)) << v;
  for (const char* v : {"1.0", "1", "10", ".5"}) EXPECT_FALSE(UAXRecordHasTLVTag(v)) << v;

  TUAXxmlElement e("ep2:AppPAN", "a;b \xC3\xA9 <&>", "ans", "MP3", "5A", -12);
  e.SetID(2147483647);
  TTextLineWriter w;
  std::string err;
  ASSERT_EQ(e.SaveToFile(w, err), 0);
  EXPECT_EQ(w.Text(),
            "ep2:AppPAN\r\na;b \xC3\xA9 <&>\r\nans\r\nMP3\r\n5A\r\n-12\r\n2147483647\r\n");
  TUAXxmlElement r;
  r.SetActValue("stale");
  TTextLineReader in(w.Text());
  ASSERT_EQ(r.LoadFromFile("2.0", in), 0);
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(r.GetTreeString(), e.GetTreeString());
  EXPECT_EQ(r.GetParentID(), -12);
  EXPECT_EQ(r.GetID(), 2147483647);
  EXPECT_EQ(r.GetActValue(), "");
  TTextLineReader mis(w.Text());  // read as version 1, the TLV tag is taken for the parent id
  EXPECT_EQ(r.LoadFromFile("1.0", mis), kUAXRecordBadNumber);

  // Six lines with LF and lone CR endings; 8-bit text is read as Latin-1.
  TTextLineReader old("na\xEFve\n\xE9t\xE9\rb\r\nF\n0\n5");
  ASSERT_EQ(r.LoadFromFile("1.0", old), 0);
  EXPECT_EQ(r.GetTreeString(), "<na\xC3\xAFve>\xC3\xA9t\xC3\xA9</na\xC3\xAFve>: b, F");
  EXPECT_EQ(r.GetID(), 5);
}

TEST(MessageElement, BrokenRecordsFailAndLeaveTheElementAlone) {
  TTextLineReader early("n\r\nv\r\nan\r\nF\r\n9F\r\n3\r\n");
  TUAXxmlElement kept("keep", "", "c", "", "", 1);
  EXPECT_EQ(kept.LoadFromFile("2.0", early), kUAXRecordEndOfFile);
  EXPECT_EQ(kept.GetTreeString(), "<keep>");
  for (const char* number : {"", "x", "1.5", "12a", "--1", "2147483648", "-2147483649", "0x10"}) {
    const std::string record = std::string("n\r\nv\r\nan\r\nF\r\n\r\n") + number + "\r\n1\r\n";
    TTextLineReader in(record);
    TUAXxmlElement e;
    EXPECT_EQ(e.LoadFromFile("2.0", in), kUAXRecordBadNumber) << number;
    EXPECT_EQ(e.GetName(), "");
  }
}

TEST(MessageElement, LineBreaksAreRefusedWhenSaving) {
  TTextLineWriter w;
  std::string err;
  TUAXxmlElement e("ep2:Text", "line1\r\nline2", "ans", "", "", 0);
  EXPECT_EQ(e.SaveToFile(w, err), kUAXRecordLineBreak);
  EXPECT_EQ(err, "Element ep2:Text cannot be saved: line break in its value");
  TUAXxmlElement n("a\nb", "", "ans", "F\r", "", 0);
  EXPECT_EQ(n.SaveToFile(w, err), kUAXRecordLineBreak);
  EXPECT_EQ(err, "Element a b cannot be saved: line break in its name");
  EXPECT_EQ(w.Text(), "");
}

}  // namespace
}  // namespace kal
