// The main window core's cursor, window and selection ports: each road that
// shows the busy cursor sets and restores it once, also when it fails or
// throws, and never shows a box under it; "Edit Window..." opens its window
// through the window port with the administrators' tag; the source tree's
// selection reaches the windows that follow it only while they are visible.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "workbench/BusyCursor.h"
#include "workbench/CoreHost.h"
#include "workbench/MainWindow.h"
#include "workbench/MessageTestHelpers.h"

namespace kal {
namespace {

using Lines = std::vector<std::string>;

// Records the cursor and the windows asked for; a box or error window shown
// under the busy cursor is counted. The login makes an administrator or not.
class Host final : public test::CoreHost, public ICEXCursor, public ICEXWindows, public ICEXLogin {
 public:
  void CEXSetBusyCursor() override { cursor.push_back("busy"); }
  void CEXSetDefaultCursor() override { cursor.push_back("default"); }
  bool Busy() const { return !cursor.empty() && cursor.back() == "busy"; }

  void CEXShowMessage(const std::string& text) override {
    if (Busy()) ++boxesUnderBusyCursor;
    CoreHost::CEXShowMessage(text);
  }
  void ERRSetError(int code, const std::string& detail) override {
    if (Busy()) ++boxesUnderBusyCursor;
    CoreHost::ERRSetError(code, detail);
  }

  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override {
    opened.emplace_back(window, modal, core->CEXSelectedSourceLine());
    return TCEXModalResult::OK;
  }

  bool CEXShowLoginDialog(std::string& user, std::string&) override {
    user = admin ? "admin" : "user";
    return true;
  }
  void CEXReloadUsers() override {}
  bool CEXFindUser(const std::string& user, const std::string&, bool& isAdmin) override {
    isAdmin = user == "admin";
    return true;
  }

  Lines cursor;
  int boxesUnderBusyCursor = 0;
  std::vector<std::tuple<TCEXWindow, bool, int>> opened;
  bool admin = true;
  TCEXMainWindow* core = nullptr;
};

// A window following the selection: what it was told, while it says it is
// visible.
class Follower final : public ICEXSourceSelectionListener {
 public:
  bool CEXListenerVisible() const override { return visible; }
  void CEXSourceSelectionChanged(TXMLTreeNode* node) override { told.push_back(node); }
  bool visible = false;
  std::vector<TXMLTreeNode*> told;
};

int32_t ThrowingPlugIn(const TCFGConfig&, int32_t, const std::string&, std::string&, std::string&) {
  throw std::runtime_error("plug-in crashed");
}

class MainWindowPortsTest : public test::CoreOnQueueFixture<Host> {
 protected:
  // The core as a client only: no server takes a fixed port that another
  // program on the machine may hold.
  TCEXMainWindow& Start(
      const std::string& ini = "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n",
      TCEXPlugInCall plugIn = nullptr) {
    MakeCore(ini, {.login = &host_,
                   .plugIn = plugIn,
                   .cursor = &host_,
                   .windows = &host_,
                   .sequenceWindow = false});
    host_.core = core_.get();
    ShowCore();
    host_.cursor.clear();
    return *core_;
  }
  // A root container with two children; returns the nodes in tree order.
  std::vector<TXMLTreeNode*> Tree(const std::string& amount = "150") {
    TXMLMessageTree& tree = core_->CEXSourceTree();
    TXMLTreeNode* root = test::AddElement(tree, nullptr, "ep2:AutReq", "c");
    return {root, test::AddElement(tree, root, "ep2:TrmID", "an", "12345678"),
            test::AddElement(tree, root, "ep2:AmtAuth", "n", amount)};
  }
  // The road ran under the busy cursor, restored once, no box under it.
  void ExpectOneBusySpell() {
    EXPECT_EQ(host_.cursor, (Lines{"busy", "default"}));
    EXPECT_EQ(host_.boxesUnderBusyCursor, 0);
    host_.cursor.clear();
  }
};

TEST_F(MainWindowPortsTest, CursorRoadsSetAndRestoreTheCursorOnceOnEveryWayOut) {
  TCEXMainWindow& core = Start();

  // "Create XML Doc": a build that works, one that fails on a value.
  const std::vector<TXMLTreeNode*> nodes = Tree("1,50");
  core.CEXExecute(TCEXAction::CreateXMLDoc);
  EXPECT_EQ(host_.errors, Lines{"6 : line 2, tag: ep2:AmtAuth"});
  ExpectOneBusySpell();
  nodes[2]->GetData()->SetValue("150");
  core.CEXExecute(TCEXAction::CreateXMLDoc);
  EXPECT_NE(core.CEXGetMemo(TCEXMemo::Memo1), "");
  ExpectOneBusySpell();

  // "Goto parent" from the second child.
  core.CEXSetSelectedSourceLine(2);
  core.CEXExecute(TCEXAction::GotoParent);
  EXPECT_EQ(core.CEXSelectedSourceLine(), 0);
  ExpectOneBusySpell();

  // A configuration file that cannot be written.
  core.CEXConfiguration().CFGSetConfigFileName(dir_.file("missing/named.ini"));
  core.CEXExecute(TCEXAction::SaveConfFile);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].rfind("Can not write configuration file", 0), 0u);
  ExpectOneBusySpell();

  // The idle pass takes back a cursor a running road still shows.
  {
    const TCEXBusyCursor busy(core.CEXCursor());
    core.AppOnIdle();
    EXPECT_FALSE(core.CEXCursor().CEXBusy());
  }
  ExpectOneBusySpell();
  core.AppOnIdle();
  EXPECT_TRUE(host_.cursor.empty());
}

TEST_F(MainWindowPortsTest, ARoadThatThrowsRestoresTheCursorBeforeTheMessage) {
  TCEXMainWindow& core =
      Start("[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n", &ThrowingPlugIn);
  Tree();
  core.CEXExecute(TCEXAction::CreateXMLDoc);
  EXPECT_EQ(host_.messages, Lines{"plug-in crashed"});
  ExpectOneBusySpell();
}

TEST_F(MainWindowPortsTest, EditWindowOpensThroughTheWindowPortForAdministratorsOnly) {
  TCEXMainWindow& core = Start("[Admin]\r\nUseLogin=1\r\n");
  Tree();
  core.CEXSetSelectedSourceLine(1);
  core.CEXExecute(TCEXAction::EditWindow);
  ASSERT_EQ(host_.opened.size(), 1u);
  EXPECT_EQ(host_.opened[0], std::make_tuple(TCEXWindow::EditWindow, false, 1));
  EXPECT_EQ(core.CEXOpenWindow(TCEXWindow::EditWindow, true), TCEXModalResult::OK);
  EXPECT_EQ(std::get<1>(host_.opened.back()), true);

  host_.admin = false;
  core.CEXExecute(TCEXAction::Logout);
  EXPECT_FALSE(core.CEXUserIsAdmin());
  EXPECT_EQ(TCEXMainWindow::CEXActionInfo(TCEXAction::EditWindow).tag, 1);
  EXPECT_FALSE(core.CEXActionEnabled(TCEXAction::EditWindow));
  core.CEXExecute(TCEXAction::EditWindow);
  EXPECT_EQ(host_.opened.size(), 2u);
}

TEST_F(MainWindowPortsTest, SelectionChangesReachFollowersOnlyWhileVisible) {
  TCEXMainWindow& core = Start();
  const std::vector<TXMLTreeNode*> nodes = Tree();
  Follower shown, hidden;
  shown.visible = true;
  core.CEXSubscribeSourceSelection(shown);
  core.CEXSubscribeSourceSelection(hidden);

  core.CEXSetSelectedSourceLine(2);
  EXPECT_EQ(core.CEXSelectedSourceNode(), nodes[2]);
  core.CEXExecute(TCEXAction::GotoParent);  // the core's own change
  core.CEXSetSelectedSourceLine(-1);
  EXPECT_EQ(shown.told, (std::vector<TXMLTreeNode*>{nodes[2], nodes[0], nullptr}));
  EXPECT_TRUE(hidden.told.empty());

  // Shown later: told from then on; gone: told no more.
  hidden.visible = true;
  core.CEXSetSelectedSourceLine(1);
  EXPECT_EQ(hidden.told, std::vector<TXMLTreeNode*>{nodes[1]});
  core.CEXUnsubscribeSourceSelection(shown);
  core.CEXExecute(TCEXAction::ClearAll);
  EXPECT_EQ(hidden.told.back(), nullptr);
  EXPECT_EQ(shown.told.size(), 4u);
}

TEST_F(MainWindowPortsTest, Edit5CountsMemo2sLinesFromOneWithinItsText) {
  TCEXMainWindow& core = Start();
  const struct {
    const char* text;
    int index;
    const char* edit5;
  } rows[] = {
      {"", 0, "line 1"},
      {"a\r\nb\r\nc", 2, "line 3"},
      {"a\rb\nc\r\n", 3, "line 4"},  // CR, LF and CR LF each end a line
      {"a\r\nb", 7, "line 2"},       // past the text: its last line
      {"a\nb", -1, "line 1"},
  };
  for (const auto& row : rows) {
    core.CEXSetMemo(TCEXMemo::Memo2, row.text);
    core.CEXSetMemo2CaretLine(row.index);
    EXPECT_EQ(core.CEXGetEdit(TCEXEdit::Edit5), row.edit5) << row.text << " " << row.index;
  }
}

}  // namespace
}  // namespace kal
