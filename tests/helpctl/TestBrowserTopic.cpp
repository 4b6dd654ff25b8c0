// Browser topics with the real xdg-utils: private XDG folders hold a
// mimeapps.list and a desktop entry whose Exec is a recording script.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "helpctl/BrowserLauncher.h"
#include "helpctl/HelpTestSupport.h"

namespace kal {
namespace {

using test::ReadFile;
using test::THelpFixture;

class HelpEngineBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string root = f.dir.path();
    env.Set("XDG_CONFIG_HOME", (root + "xdg/config").c_str());
    env.Set("XDG_DATA_HOME", (root + "xdg/data").c_str());
    env.Set("XDG_DATA_DIRS", (root + "xdg/dirs").c_str());
    for (const char* desktop : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                "GNOME_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP"})
      env.Set(desktop, nullptr);
    f.Write("xdg/dirs/applications/.keep", "");
    f.Write("xdg/config/mimeapps.list", "[Default Applications]\ntext/html=recorder.desktop\n");
    // Each argument on a line of its own, the file renamed into place whole.
    script = f.Write("recbin/record.sh",
                     "#!/bin/sh\nout=\"$(dirname \"$0\")/args\"\n"
                     "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.tmp\" && mv "
                     "\"$out.tmp\" \"$out\"\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    f.Write(
        "xdg/data/applications/recorder.desktop",
        "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + script + " --first %f %i\n");
    for (const char* page : {"maps/my pages/a b.htm", "maps/frames.htm", "maps/default.htm"})
      f.Write(page, "<html><body><p>page</p></body></html>\n");
    f.Write("maps/notes.txt", "plain text\n");
  }

  // The arguments the recording script received, waiting for them.
  std::vector<std::string> Recorded() {
    const std::string path = f.dir.path() + "recbin/args";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!std::filesystem::exists(path)) return {"(nothing recorded)"};
    std::vector<std::string> args = test::SplitLines(ReadFile(path));
    std::filesystem::remove(path);
    return args;
  }

  THelpFixture f;
  test::TEnvironment env;
  std::string script;
};

TEST_F(HelpEngineBrowser, TopicsOpenWithTheRegisteredProgram) {
  const std::string maps = f.dir.path() + "maps/";
  const struct {
    const char* map;
    int32_t context;
    const char* page;
  } cases[] = {
      {"[MAP]\n12=my pages\\a b.htm\n", 12, "my pages/a b.htm"},
      {"[OPTIONS]\nHas Templates=YES\nDefault Topic=default.htm\n[TEMPLATES]\nStarting "
       "Frameset=frames.htm\n",
       0, "frames.htm"},
      {"[OPTIONS]\nHas Templates=yes\nDefault Topic=default.htm\n[TEMPLATES]\nStarting Frameset=\n",
       0, "default.htm"},
      {"[OPTIONS]\nHas Templates=no\nDefault Topic=default.htm\n[TEMPLATES]\nStarting "
       "Frameset=frames.htm\n",
       -1, "default.htm"},
  };
  for (const auto& c : cases) {
    const std::string map = f.Write("maps/help.map", c.map);
    f.engine.HLPSetRequest(map, c.context, "", 0, "");
    f.engine.HLPBrowserTopic();
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"--first", maps + c.page})) << c.map;
  }
  EXPECT_EQ(f.presenter.messages, std::vector<std::string>{});
}

TEST_F(HelpEngineBrowser, NoAssociationGivesTheMessage) {
  const std::string map = f.Write("maps/help.map", "[MAP]\n3=notes.txt\n4=absent.htm\n");
  for (int32_t context : {3, 4}) {
    f.presenter.messages.clear();
    f.engine.HLPSetRequest(map, context, "", 0);
    f.engine.HLPBrowserTopic();
    const std::string page = context == 3 ? "notes.txt" : "absent.htm";
    EXPECT_EQ(f.presenter.messages,
              std::vector<std::string>{"Error: Unable to find browser to open: " + f.dir.path() +
                                       "maps/" + page});
  }
}

}  // namespace
}  // namespace kal

namespace kal {
namespace {

TEST(HelpBrowserExec, ExecLinesBecomeArgumentVectors) {
  const std::string file = "/h/a b.htm";
  const struct {
    const char* exec;
    std::vector<std::string> argv;
  } cases[] = {
      {"firefox %u", {"firefox", file}},
      {"\"/opt/my browser/run\" --new-window %U %i %c",
       {"/opt/my browser/run", "--new-window", file}},
      {"browse --file=%f 100%%", {"browse", "--file=" + file, "100%"}},
      {"browse", {"browse", file}},
      {"browse \"say \\\"hi\\\"\" %k", {"browse", "say \"hi\"", file}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(HLPExecArguments(c.exec, file), c.argv) << c.exec;
}

}  // namespace
}  // namespace kal
