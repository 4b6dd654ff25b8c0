// The element commands on a tree read from a message text: copy, cut,
// delete, both inserts with every refusal, go to parent, drag and drop and
// the look-ups.
#include "workbench/ElementCommands.h"

#include <gtest/gtest.h>

#include "ep2/ElementClipboard.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "workbench/MessageFiles.h"

namespace kal {
namespace {

using Lines = std::vector<std::string>;

// Msg(1) > Hdr(2) > [TrmID(3), Time(4)], Date(5)
const char* const kMessage =
    "7.0.1\r\n5\r\n"
    "ep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
    "ep2:Hdr\r\n\r\nc\r\n\r\n\r\n1\r\n2\r\n"
    "ep2:TrmID\r\n123\r\nan\r\n\r\n\r\n2\r\n3\r\n"
    "ep2:Time\r\n101010\r\ntime\r\n\r\n\r\n2\r\n4\r\n"
    "ep2:Date\r\n19990101\r\ndate\r\n\r\n\r\n1\r\n5\r\n";

// Name, parent id and id of every node, indented by level.
Lines Dump(const TXMLMessageTree& tree) {
  Lines out;
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    const TUAXxmlElement& e = *n->GetData();
    out.push_back(std::string(2 * n->GetLevel(), ' ') + e.GetName() + " " +
                  std::to_string(e.GetParentID()) + " " + std::to_string(e.GetID()));
  }
  return out;
}

TXMLTreeNode* Node(const TXMLMessageTree& tree, int index) {
  TXMLTreeNode* n = tree.GetFirstNode();
  while (index-- > 0) n = n->GetNext();
  return n;
}

class ElementCommandsTest : public ::testing::Test {
 protected:
  ElementCommandsTest() { EXPECT_TRUE(CEXReadMessageText(kMessage, tree_, false, 0).complete); }
  TXMLMessageTree tree_;
  TUACEditElement clip_;
};

TEST_F(ElementCommandsTest, CopyCutAndDeleteTakeWholeSubtrees) {
  CEXCopyItem(clip_, Node(tree_, 1), true);
  EXPECT_EQ(clip_.Count(), 3);  // Hdr, TrmID, Time
  CEXCopyItem(clip_, Node(tree_, 0), true);
  EXPECT_EQ(clip_.Count(), 5);
  CEXCopyItem(clip_, Node(tree_, 4), false);  // no focus: only emptied
  EXPECT_EQ(clip_.Count(), 0);
  EXPECT_FALSE(CEXCutItem(tree_, clip_, Node(tree_, 1), false));
  EXPECT_TRUE(CEXCutItem(tree_, clip_, Node(tree_, 1), true));
  EXPECT_EQ(clip_.Count(), 3);
  EXPECT_EQ(Dump(tree_), (Lines{"ep2:Msg 0 1", "  ep2:Date 1 5"}));
  EXPECT_TRUE(CEXDeleteItem(tree_, Node(tree_, 1)));
  EXPECT_FALSE(CEXDeleteItem(tree_, nullptr));
  EXPECT_EQ(Dump(tree_), Lines{"ep2:Msg 0 1"});
  EXPECT_EQ(clip_.Count(), 3);
}

TEST_F(ElementCommandsTest, InsertsRefuseInOrderAndRenumber) {
  TXMLTreeNode* date = Node(tree_, 4);
  EXPECT_EQ(CEXInsertItem(tree_, clip_, date, false, false), CEXcNoFocusForInsert);
  EXPECT_EQ(CEXInsertItem(tree_, clip_, date, true, false), CEXcClipboardEmpty);
  CEXCopyItem(clip_, Node(tree_, 1), true);
  EXPECT_EQ(CEXInsertItem(tree_, clip_, nullptr, true, false), CEXcNoInsertPlace);
  EXPECT_EQ(CEXInsertItem(tree_, clip_, Node(tree_, 0), true, false), CEXcInsertAboveRoot);
  EXPECT_EQ(CEXInsertItem(tree_, clip_, date, true, true), CEXcContainersOnly);
  EXPECT_EQ(tree_.Count(), 5);

  TXMLTreeNode* first = nullptr;
  EXPECT_EQ(CEXInsertItem(tree_, clip_, date, true, false, &first), "");
  EXPECT_EQ(first, Node(tree_, 4));
  EXPECT_EQ(first->GetText(), first->GetData()->GetTreeString());
  // Pasted again as the last child of the copy: ids go on from the counter.
  EXPECT_EQ(CEXInsertItem(tree_, clip_, first, true, true), "");
  const Lines expected = {"ep2:Msg 0 1",         "  ep2:Hdr 1 2",   "    ep2:TrmID 2 3",
                          "    ep2:Time 2 4",    "  ep2:Hdr 1 6",   "    ep2:TrmID 6 7",
                          "    ep2:Time 6 8",    "    ep2:Hdr 6 9", "      ep2:TrmID 9 10",
                          "      ep2:Time 9 11", "  ep2:Date 1 5"};
  EXPECT_EQ(Dump(tree_), expected);
  EXPECT_EQ(tree_.XMLGetActID(), 11);
  // Only the last insert's elements keep old ids (their clipboard ids).
  EXPECT_EQ(Node(tree_, 4)->GetData()->GetOldID(), 0);
  EXPECT_EQ(Node(tree_, 8)->GetData()->GetOldID(), 3);
}

TEST_F(ElementCommandsTest, GotoParentDragDropAndLookUps) {
  EXPECT_EQ(CEXGotoParent(Node(tree_, 3)), Node(tree_, 1));
  EXPECT_EQ(CEXGotoParent(Node(tree_, 4)), Node(tree_, 0));
  EXPECT_EQ(CEXGotoParent(Node(tree_, 0)), nullptr);

  tree_.OnDragDropEnd = CEXDragDropEnd;
  // The date onto the expand button of the header: its first child.
  tree_.SetDragNode(Node(tree_, 4));
  ASSERT_TRUE(tree_.XMLDropNode(Node(tree_, 1), true));
  // The time in front of the header: its sibling under the message.
  tree_.SetDragNode(Node(tree_, 4));
  ASSERT_TRUE(tree_.XMLDropNode(Node(tree_, 0)->GetFirstChild(), false));
  const Lines expected = {"ep2:Msg 0 1", "  ep2:Time 1 4", "  ep2:Hdr 1 2", "    ep2:Date 2 5",
                          "    ep2:TrmID 2 3"};
  EXPECT_EQ(Dump(tree_), expected);

  EXPECT_EQ(CEXFindElementID(tree_, 5)->GetName(), "ep2:Date");
  EXPECT_EQ(CEXFindElementID(tree_, 9), nullptr);
  CEXCopyItem(clip_, Node(tree_, 1), true);
  ASSERT_EQ(CEXInsertItem(tree_, clip_, Node(tree_, 2), true, false), "");
  EXPECT_EQ(CEXFindElementName(tree_, "ep2:Time", 1)->GetID(), 4);
  EXPECT_EQ(CEXFindElementName(tree_, "ep2:Time", 2)->GetID(), 6);
  EXPECT_EQ(CEXFindElementName(tree_, "ep2:Time", 3), nullptr);
  CEXClearAllOldIDs(tree_);
  for (const TXMLTreeNode* n = tree_.GetFirstNode(); n != nullptr; n = n->GetNext())
    EXPECT_EQ(n->GetData()->GetOldID(), 0);
}

}  // namespace
}  // namespace kal
