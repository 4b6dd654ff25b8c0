// The help engine's HTML Help calls through a real dlopen of the recording
// module, its active popups, and the messages of its failure table.

#include <gtest/gtest.h>

#include <functional>

#include "helpctl/HelpTestSupport.h"

namespace kal {
namespace {

using test::TakeHtmlHelpRecording;
using test::THelpFixture;

const char* const cMap =
    "[OPTIONS]\n"
    "Compiled File=..\\help\\kal.chm\n"
    "[Text Popups]\n"
    "Popup File=\"cs/popups.txt\"\n"
    "Popup Font=Arial,10,,BOLD\n"
    "Popup Vertmarg=5\n"
    "Popup Horzmarg=7;x\n"
    "Popup Textcolor=255\n"
    "Popup Backcolor=16777215\n"
    "[MAP]\n"
    "42=pages\\p42.htm\n"
    "5=\"pop.htm\";width:300 height:200\n"
    "6=semi.htm;tall\n"
    "-3=negative.htm\n";

TEST(HelpEngineHtmlHelp, CallsCarryFilesCommandsAndRecords) {
  THelpFixture f;
  const std::string map = f.Write("maps/help.map", cMap);
  const std::string chm = f.dir.path() + "help/kal.chm";
  auto set = [&](int32_t context, const std::string& window,
                 std::optional<std::string> topic = std::nullopt) {
    f.engine.HLPSetRequest(map, context, window, 9, topic);
  };
  const struct {
    std::function<void()> run;
    std::string expected;
  } cases[] = {
      {[&] {
         set(42, "win");
         f.engine.HLPHtmlHelpTopic();
       },
       "owner=9 file=\"" + chm + ">win\" cmd=15 data=42"},
      {[&] {
         set(0, "win");
         f.engine.HLPHtmlHelpTopic();
       },
       "owner=9 file=\"" + chm + "\" cmd=0 data=0"},
      {[&] {
         set(0, "win", "t/page.htm");
         f.engine.HLPHtmlHelpTopic();
       },
       "owner=9 file=\"" + chm + "::/t/page.htm>win\" cmd=0 data=0"},
      // The topic stays until a request brings another.
      {[&] {
         set(0, "");
         f.engine.HLPHtmlHelpTopic();
       },
       "owner=9 file=\"" + chm + "::/t/page.htm\" cmd=0 data=0"},
      {[&] {
         set(1, "w");
         f.engine.HLPContents();
       },
       "owner=9 file=\"" + chm + ">w\" cmd=1 data=0"},
      {[&] {
         set(1, "");
         f.engine.HLPIndex();
       },
       "owner=9 file=\"" + chm + "\" cmd=2 data=0"},
      {[&] {
         set(1, "w");
         f.engine.HLPSearch();
       },
       "owner=9 file=\"" + chm + "\" cmd=3 size=" + std::to_string(sizeof(HH_FTS_QUERY)) +
           " unicode=0 query=\"\" proximity=-1 stemmed=0 titleonly=0 execute=1 window=\"w\""},
      {[&] {
         set(1, "w");
         f.engine.HLPKeywordLookup("alpha;beta", false);
       },
       "owner=9 file=\"" + chm + "\" cmd=13 size=" + std::to_string(sizeof(HH_AKLINK)) +
           " reserved=0 keywords=\"alpha;beta\" url=\"\" msgtext=(null) msgtitle=(null) "
           "window=\"w\" indexonfail=1"},
      {[&] {
         set(1, "");
         f.engine.HLPKeywordLookup("gamma", true);
       },
       "owner=9 file=\"" + chm + "\" cmd=19 size=" + std::to_string(sizeof(HH_AKLINK)) +
           " reserved=0 keywords=\"gamma\" url=\"\" msgtext=(null) msgtitle=(null) window=\"\" "
           "indexonfail=1"},
      {[&] {
         set(42, "w");
         f.engine.HLPTextPopup();
       },
       "owner=9 file=\"" + chm +
           "::/cs/popups.txt\" cmd=14 size=" + std::to_string(sizeof(HH_POPUP)) +
           " hinst=(nil) id=42 text=\"\" pt=11,-22 fg=255 bg=16777215 margins=7,5,7,5 "
           "font=\"Arial,10,,BOLD\""},
  };
  for (const auto& c : cases) {
    c.run();
    EXPECT_EQ(TakeHtmlHelpRecording(), c.expected + "\n");
  }
  EXPECT_TRUE(f.presenter.messages.empty());
}

TEST(HelpEngineHtmlHelp, TextPopupDefaultsGiveMinusOneAndNoFont) {
  THelpFixture f;
  const std::string map =
      f.Write("help.map", "[OPTIONS]\nCompiled File=kal.chm\n[Text Popups]\nPopup File=p.txt\n");
  f.engine.HLPSetRequest(map, 8, "", 0);
  f.engine.HLPTextPopup();
  const std::string line = TakeHtmlHelpRecording();
  EXPECT_NE(line.find("fg=4294967295 bg=4294967295 margins=-1,-1,-1,-1 font=(null)"),
            std::string::npos)
      << line;
}

TEST(HelpEngineHtmlHelp, MissingModuleGivesOneMessage) {
  THelpFixture f("/nonexistent/libbrontelviewer.so");
  const std::string map = f.Write("help.map", "[OPTIONS]\nCompiled File=kal.chm\n");
  f.engine.HLPSetRequest(map, 1, "", 0);
  f.engine.HLPContents();
  f.engine.HLPHtmlHelpTopic();
  f.engine.HLPSearch();
  ASSERT_EQ(f.presenter.messages.size(), 1u);
  EXPECT_EQ(f.presenter.messages[0].rfind(
                "Error: Help viewer not available: /nonexistent/libbrontelviewer.so", 0),
            0u)
      << f.presenter.messages[0];
}

TEST(HelpEngineHtmlHelp, ViewerModuleBesideTheLibraryOrNamed) {
  test::TEnvironment env;
  env.Set(HLPcViewerModuleVariable, nullptr);
  EXPECT_EQ(HLPDefaultViewerModulePath(), std::string(HLP_BRONTEL_DIR) + "/libbrontelviewer.so");
  env.Set(HLPcViewerModuleVariable, "/opt/viewer.so");
  EXPECT_EQ(HLPDefaultViewerModulePath(), "/opt/viewer.so");
}

TEST(HelpEngineActivePopup, AddressSizeAndRelease) {
  THelpFixture f;
  const std::string map = f.Write("maps/help.map", cMap);
  const std::string chm = f.dir.path() + "help/kal.chm";
  const std::string maps = f.dir.path() + "maps/";
  const struct {
    int32_t context;
    std::optional<std::string> topic;
    bool interHelp;
    std::string shown;  // empty: no popup
  } cases[] = {
      {5, std::nullopt, false, "mk:@MSITStore:" + chm + "::/pop.htm|0|300|200"},
      {5, std::nullopt, true, maps + "pop.htm|0|300|200"},
      {6, std::nullopt, false, "mk:@MSITStore:" + chm + "::/semi.htm|0|0|0"},
      {42, std::nullopt, true, maps + "pages/p42.htm|0|0|0"},
      {0, "", false, ""},
      {0, "t.htm", true, maps + "t.htm|0|250|175"},
      {-3, std::nullopt, false, ""},
      {77, std::nullopt, false, ""},
  };
  for (const auto& c : cases) {
    f.popups.shown.clear();
    f.popups.released = 0;
    f.engine.HLPSetRequest(map, c.context, "", 0, c.topic);
    f.engine.HLPActivePopup(c.interHelp);
    if (c.shown.empty()) {
      EXPECT_TRUE(f.popups.shown.empty()) << c.context;
    } else {
      ASSERT_EQ(f.popups.shown.size(), 1u) << c.context;
      EXPECT_EQ(f.popups.shown[0], "QHPOPUP.QhPopupCtrl.1|" + c.shown);
      EXPECT_EQ(f.popups.released, 1);
    }
  }
  // A popup that cannot be created: no popup and no message.
  f.popups.create = false;
  f.engine.HLPSetRequest(map, 5, "", 0);
  f.engine.HLPActivePopup(false);
  EXPECT_TRUE(f.presenter.messages.empty());
}

TEST(HelpEngineMessages, FailureTable) {
  THelpFixture f;
  const std::string missing = f.dir.file("none.map");
  const std::string bare = f.Write("bare.map", "[MAP]\n1=a.htm\n");
  const std::string noPopup = f.Write("nopopup.map", "[OPTIONS]\nCompiled File=k.chm\n");
  const std::string missingMap =
      "Error: Unable to show context sensitive help, " + missing + " does not exist.";
  const std::string noCompiled = "Error: You do not have a compiled file to reference";
  const struct {
    std::string map;
    int32_t context;
    std::function<void()> run;
    std::string message;  // empty: none
  } cases[] = {
      {missing, 1, [&] { f.engine.HLPHtmlHelpTopic(); }, missingMap},
      {missing, 1, [&] { f.engine.HLPContents(); }, missingMap},
      {missing, 1, [&] { f.engine.HLPIndex(); }, missingMap},
      {missing, 1, [&] { f.engine.HLPSearch(); }, missingMap},
      {missing, 1, [&] { f.engine.HLPKeywordLookup("k", false); }, missingMap},
      {missing, 1, [&] { f.engine.HLPTextPopup(); }, missingMap},
      {missing, 1, [&] { f.engine.HLPActivePopup(false); }, missingMap},
      {missing, 1, [&] { f.engine.HLPBrowserTopic(); }, missingMap},
      {bare, 1, [&] { f.engine.HLPHtmlHelpTopic(); }, noCompiled},
      {bare, 1, [&] { f.engine.HLPContents(); }, noCompiled},
      {bare, 1, [&] { f.engine.HLPIndex(); }, noCompiled},
      {bare, 1, [&] { f.engine.HLPSearch(); }, noCompiled},
      {bare, 1, [&] { f.engine.HLPKeywordLookup("k", true); }, noCompiled},
      {bare, 1, [&] { f.engine.HLPTextPopup(); }, noCompiled},
      {noPopup, 1, [&] { f.engine.HLPTextPopup(); },
       "Error: You do not have a popup file to reference"},
      {bare, 70000, [&] { f.engine.HLPBrowserTopic(); },
       "Error: Topic for Help Context ID 70000 does not exist"},
      {bare, 70000, [&] { f.engine.HLPActivePopup(false); }, ""},
  };
  for (const auto& c : cases) {
    f.presenter.messages.clear();
    f.engine.HLPSetRequest(c.map, c.context, "", 0);
    c.run();
    if (c.message.empty())
      EXPECT_TRUE(f.presenter.messages.empty()) << c.map;
    else
      EXPECT_EQ(f.presenter.messages, std::vector<std::string>{c.message})
          << c.map << " " << c.context;
  }
}

}  // namespace
}  // namespace kal
