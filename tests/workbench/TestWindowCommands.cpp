// The window commands' follow-ups: "Communication..." restarts the listener
// only when its dialog was left with "Ok"; "Message Header..." updates
// "Security header" however its dialog was left.

#include "workbench/WindowCommands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workbench/CoreHost.h"

namespace kal {
namespace {

using Lines = std::vector<std::string>;

class WindowCommandsTest : public test::CoreOnQueueTest, public ICEXWindows {
 protected:
  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override {
    done.push_back("open " + std::to_string(static_cast<int>(window)) + (modal ? " modal" : ""));
    return answer;
  }
  TCEXWindowCommands Commands() {
    TCEXMainWindow& core = MakeCore("");
    return TCEXWindowCommands({.windows = *this,
                               .help = core.CEXHelp(),
                               .printouts = core.CEXPrintouts(),
                               .searches = core.CEXSearches(),
                               .view = core.CEXViewState(),
                               .selection = core.CEXSourceSelection(),
                               .startServer = [this] { done.push_back("restart"); },
                               .updateSecurityHeader = [this] { done.push_back("header"); }});
  }

  TCEXModalResult answer = TCEXModalResult::None;
  Lines done;
};

TEST_F(WindowCommandsTest, FollowUpsDependOnHowTheDialogWasLeft) {
  const std::string communication =
      "open " + std::to_string(static_cast<int>(TCEXWindow::Communication)) + " modal";
  const std::string header =
      "open " + std::to_string(static_cast<int>(TCEXWindow::MessageHeader)) + " modal";
  struct Case {
    TCEXAction action;
    TCEXModalResult answer;
    Lines done;
  };
  const Case cases[] = {
      {TCEXAction::Communication, TCEXModalResult::OK, {communication, "restart"}},
      {TCEXAction::Communication, TCEXModalResult::Cancel, {communication}},
      {TCEXAction::Communication, TCEXModalResult::None, {communication}},
      {TCEXAction::Component, TCEXModalResult::OK, {header, "header"}},
      {TCEXAction::Component, TCEXModalResult::Cancel, {header, "header"}},
      {TCEXAction::Component, TCEXModalResult::None, {header, "header"}},
  };
  TCEXWindowCommands commands = Commands();
  for (const Case& c : cases) {
    answer = c.answer;
    done.clear();
    EXPECT_TRUE(commands.CEXRun(c.action));
    EXPECT_EQ(done, c.done) << static_cast<int>(c.action) << " " << static_cast<int>(c.answer);
  }
}

}  // namespace
}  // namespace kal
