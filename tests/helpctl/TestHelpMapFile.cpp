// The help map file and the engine's paths: [MAP] values, the profile rules
// (quotes, the 1,999-character cut, letter case, integers), paths against
// the map directory, and two map files in one engine.

#include <gtest/gtest.h>

#include "helpctl/HelpMapFile.h"
#include "helpctl/HelpPaths.h"
#include "helpctl/HelpTestSupport.h"

namespace kal {
namespace {

using test::THelpFixture;

struct MapValueCase {
  const char* value;
  const char* topic;
  int width;
  int height;
};

TEST(HelpMapFile, MapValuesGiveTopicAndSize) {
  const MapValueCase cases[] = {
      {"\"intro.htm\";width:300 height:200", "intro.htm", 300, 200},
      {"\"intro.htm\";width:300", "intro.htm", 300, 300},
      {"intro.htm", "intro.htm", 0, 0},
      {"a.htm;width: 3-00 height: 2x5", "a.htm", -300, 2},
      {"a.htm;height:40", "a.htm", 0, 0},
      {"a.htm ;", "a.htm ", 0, 0},
      {"a.htm;width:99999 height:-99999", "a.htm", 32767, -32768},
      {"say \"hi\" there;width:7", "hi", 7, 7},
      {"\"open;width:5", "open", 5, 5},
  };
  for (const MapValueCase& c : cases) {
    const THLPMapEntry e = THLPHelpMapFile::HLPParseMapValue(c.value);
    EXPECT_EQ(
        e, (THLPMapEntry{c.topic, static_cast<int16_t>(c.width), static_cast<int16_t>(c.height)}))
        << c.value;
  }
}

TEST(HelpMapFile, ProfileRulesOverTheIniFile) {
  THLPHelpMapFile map;
  const std::string longValue(2500, 'x');
  map.HLPParse(
      "[options]\n"
      "COMPILED FILE = \"quoted.chm\"\n"
      "Inner=\"a\"b\"\n"
      "Lone=\"\n"
      "Long=" +
      longValue +
      "\n"
      "Empty=\n"
      "Int1=12;x\nInt2=-7abc\nInt3=x\nInt4=\"+42\"\n"
      "[Map]\n"
      "5=topic.htm ; not a comment\n"
      "-3=negative.htm\n"
      "007=zeros.htm\n");
  EXPECT_EQ(map.HLPReadString("OPTIONS", "Compiled File"), "quoted.chm");
  EXPECT_EQ(map.HLPReadString("Options", "inner"), "a\"b");
  EXPECT_EQ(map.HLPReadString("OPTIONS", "Lone"), "\"");
  EXPECT_EQ(map.HLPReadString("OPTIONS", "Long"), std::string(1999, 'x'));
  EXPECT_EQ(map.HLPReadString("OPTIONS", "Missing"), "");
  EXPECT_EQ(map.HLPReadInteger("OPTIONS", "Empty", -1), -1);
  EXPECT_EQ(map.HLPReadInteger("OPTIONS", "Missing", -1), -1);
  EXPECT_EQ(map.HLPReadInteger("OPTIONS", "Int1", -1), 12);
  EXPECT_EQ(map.HLPReadInteger("OPTIONS", "Int2", -1), -7);
  EXPECT_EQ(map.HLPReadInteger("OPTIONS", "Int3", -1), 0);
  EXPECT_EQ(map.HLPReadInteger("OPTIONS", "Int4", -1), 42);
  ASSERT_TRUE(map.HLPMapEntry(5).has_value());
  EXPECT_EQ(map.HLPMapEntry(5)->topic, "topic.htm ");
  EXPECT_FALSE(map.HLPMapEntry(-3).has_value());
  EXPECT_FALSE(map.HLPMapEntry(7).has_value());
}

TEST(HelpPaths, MadeAbsoluteAgainstABase) {
  const struct {
    const char* base;
    const char* path;
    const char* expected;
  } cases[] = {
      {"/h/maps", "..\\x.chm", "/h/x.chm"},
      {"/h/maps", "./x.chm", "/h/maps/x.chm"},
      {"/h/maps", "sub\\a\\.\\b.htm", "/h/maps/sub/a/b.htm"},
      {"/h/maps", "/abs//x.htm", "/abs/x.htm"},
      {"/h/maps", "c:x.htm", "/h/maps/c:x.htm"},
      {"/h/maps", "..\\..\\..\\..\\y", "/y"},
      {"/", "x", "/x"},
  };
  for (const auto& c : cases) EXPECT_EQ(HLPMakeAbsolute(c.base, c.path), c.expected) << c.path;
  EXPECT_EQ(HLPDirectoryOf("/x.map"), "/");
  EXPECT_EQ(HLPDirectoryOf("x.map"), "");
  EXPECT_EQ(HLPDirectoryOf("a/b/x.map"), "a/b");
}

// The compiled file, seen through the file of the contents call.
std::string ContentsFile(THelpFixture& f, const std::string& map) {
  f.engine.HLPSetRequest(map, 0, "", 0);
  f.engine.HLPContents();
  const std::string line = test::TakeHtmlHelpRecording();
  const size_t start = line.find("file=\"");
  if (start == std::string::npos) return line;
  return line.substr(start + 6, line.find('"', start + 6) - start - 6);
}

TEST(HelpEnginePaths, CompiledFileAndTopicsResolveAgainstTheMapDirectory) {
  THelpFixture f;
  const std::string root = f.dir.path();
  const std::string up =
      f.Write("maps/up.map", "[OPTIONS]\nCompiled File=..\\up.chm\n[MAP]\n3=.\\pages\\p.htm\n");
  const std::string here = f.Write("maps/here.map", "[OPTIONS]\nCompiled File=./here.chm\n");
  f.Write("bare.map", "[OPTIONS]\nCompiled File=bare.chm\n");

  EXPECT_EQ(ContentsFile(f, up), root + "up.chm");
  EXPECT_EQ(ContentsFile(f, here), root + "maps/here.chm");
  // Each map file keeps its own compiled file.
  EXPECT_EQ(ContentsFile(f, up), root + "up.chm");
  {
    test::TChangeDirectory cd(root);
    EXPECT_EQ(ContentsFile(f, "bare.map"), root + "bare.chm");
  }
  // An active popup in InterHelp mode addresses the topic file itself.
  f.engine.HLPSetRequest(up, 3, "", 0);
  f.engine.HLPActivePopup(true);
  ASSERT_EQ(f.popups.shown.size(), 1u);
  EXPECT_EQ(f.popups.shown[0], "QHPOPUP.QhPopupCtrl.1|" + root + "maps/pages/p.htm|0|0|0");
  EXPECT_TRUE(f.presenter.messages.empty());
}

}  // namespace
}  // namespace kal
