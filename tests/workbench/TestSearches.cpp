// "Find..." and "Find next" through the core's commands, with the form's
// side played by a fake: the prompt, the memos' shown texts and selections,
// the focus, and the busy cursor of the tree search.

#include "workbench/Searches.h"

#include <gtest/gtest.h>

#include <map>

#include "workbench/CoreHost.h"

namespace kal {

namespace {

class SearchView final : public ICEXSearchView {
 public:
  bool CEXAskSearchText() override {
    ++prompts;
    if (answer) text = typed;
    return answer;
  }
  std::string CEXSearchText() const override { return text; }
  bool CEXMemoFocused(TCEXMemo memo) const override { return memo == focused; }
  TCEXMemoShown CEXMemoShown(TCEXMemo memo) const override {
    const auto at = memos.find(memo);
    return at != memos.end() ? at->second : TCEXMemoShown{};
  }
  void CEXSelectInMemo(TCEXMemo memo, size_t start, size_t length) override {
    memos[memo].selectionStart = start;
    memos[memo].selectionLength = length;
    selected = memo;
  }

  bool answer = true;  // the prompt is left with "Ok"
  std::string typed, text;
  int prompts = 0;
  TCEXMemo focused{};  // none
  std::map<TCEXMemo, TCEXMemoShown> memos;
  TCEXMemo selected{};
};

class Cursor final : public ICEXCursor {
 public:
  void CEXSetBusyCursor() override { calls += 'B'; }
  void CEXSetDefaultCursor() override { calls += 'D'; }
  std::string calls;
};

class SearchTest : public test::CoreOnQueueTest {
 protected:
  TCEXMainWindow& Start() {
    return StartCore("[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n",
                     {.cursor = &cursor_, .search = &view_});
  }
  SearchView view_;
  Cursor cursor_;
};

}  // namespace

// The tree search starts after the selected node, ignores case (simple
// folding, beyond ASCII too), selects the hit under the busy cursor and
// restores it; without a hit it says so.
TEST_F(SearchTest, TreeSearchStartsAfterTheSelectionAndIgnoresCase) {
  TCEXMainWindow& core = Start();
  TXMLMessageTree& tree = core.CEXSourceTree();
  TXMLTreeNode* root = Add(tree, nullptr, "ep2:AutReq", "c");  // line 0
  Add(tree, root, "ep2:TrmID", "an");                          // line 1
  Add(tree, root, "ep2:Größe", "an");                          // line 2
  Add(tree, root, "ep2:TRMIDX", "an");                         // line 3
  struct Case {
    int selected;
    const char* text;
    int expected;  // -1: not found
  } const cases[] = {
      {-1, "trmid", 1},   {1, "trmid", 3}, {3, "trmid", -1},
      {-1, "GRÖSSE", -1}, {0, "GRÖßE", 2}, {-1, "autreq", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + std::string(" after ") + std::to_string(c.selected));
    core.CEXSetSelectedSourceLine(c.selected);
    core.CEXSetSourceTreeFocused(true);
    view_.text = c.text;
    host_.messages.clear();
    cursor_.calls.clear();
    core.CEXExecute(TCEXAction::FindNext);
    EXPECT_EQ(cursor_.calls, "BD");
    if (c.expected < 0) {
      EXPECT_EQ(host_.messages,
                std::vector<std::string>{std::string("String not found: ") + c.text});
      EXPECT_EQ(core.CEXSelectedSourceLine(), c.selected);
    } else {
      EXPECT_TRUE(host_.messages.empty());
      EXPECT_EQ(core.CEXSelectedSourceLine(), c.expected);
    }
  }
}

// The memo search beyond what the form's test drives: "Find..." starts at
// the start whatever is selected; an empty text or a cancelled prompt does
// nothing.
TEST_F(SearchTest, MemoFindStartsAtTheStartAndNeedsAText) {
  TCEXMainWindow& core = Start();
  struct Case {
    bool answer;
    const char* typed;
    TCEXMemo selected;  // {}: none
  } const cases[] = {
      {true, "ABC", TCEXMemo::Memo3}, {false, "abc", TCEXMemo{}}, {true, "", TCEXMemo{}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    view_.focused = TCEXMemo::Memo3;
    view_.answer = c.answer;
    view_.typed = c.typed;
    view_.selected = {};
    view_.memos[TCEXMemo::Memo3] = {u"abc ABC abc", 4, 3};
    host_.messages.clear();
    core.CEXExecute(TCEXAction::Find);
    EXPECT_EQ(view_.selected, c.selected);
    if (c.selected != TCEXMemo{}) {
      EXPECT_EQ(view_.memos[TCEXMemo::Memo3].selectionStart, 0u);
    }
    EXPECT_TRUE(host_.messages.empty());
  }
}

}  // namespace kal
