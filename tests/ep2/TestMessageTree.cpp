#include "ep2/MessageTree.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace kal {
namespace {

std::unique_ptr<TUAXxmlElement> Elem(const std::string& name) {
  return std::make_unique<TUAXxmlElement>(name, "", "c", "", "", 0);
}

// The tree as indented names, walked forwards; the backwards walk must
// give the same.
std::string Shape(const TXMLMessageTree& tree) {
  std::string fwd, back;
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    fwd += std::string(static_cast<size_t>(n->GetLevel()), '.') + n->GetData()->GetName() + ";";
  for (const TXMLTreeNode* n = tree.GetLastNode(); n != nullptr; n = n->GetPrev())
    back.insert(
        0, std::string(static_cast<size_t>(n->GetLevel()), '.') + n->GetData()->GetName() + ";");
  EXPECT_EQ(fwd, back);
  return fwd;
}

class MessageTree : public ::testing::Test {
 protected:
  // root(a(a1, a2), b, c(c1))
  void SetUp() override {
    root = Add(nullptr, "root");
    a = Add(root, "a");
    a1 = Add(a, "a1");
    a2 = Add(a, "a2");
    b = Add(root, "b");
    c = Add(root, "c");
    c1 = Add(c, "c1");
    tree.OnDragDropEnd = [this](TXMLTreeNode* m, TXMLTreeNode* t, int32_t mode) {
      events.emplace_back(m, t, mode);
    };
  }
  TXMLTreeNode* Add(TXMLTreeNode* parent, const std::string& name) {
    int32_t id = 0;
    TXMLTreeNode* n = tree.AddChildObject(parent, "<" + name + ">", Elem(name), id);
    n->GetData()->SetID(id);
    return n;
  }
  TXMLMessageTree tree;
  TXMLTreeNode *root, *a, *a1, *a2, *b, *c, *c1;
  std::vector<std::tuple<TXMLTreeNode*, TXMLTreeNode*, int32_t>> events;
};

TEST_F(MessageTree, IdsInsertAndDelete) {
  EXPECT_EQ(c1->GetData()->GetID(), 7);
  EXPECT_EQ(tree.XMLGetId(), 8);
  EXPECT_EQ(tree.XMLGetId(), 9);
  tree.XMLSetActID(40);
  int32_t id = 0;
  TXMLTreeNode* x = tree.InsertObject(a2, "<x>", Elem("x"), id);
  EXPECT_EQ(id, 41);
  EXPECT_EQ(x->GetParent(), a);
  EXPECT_TRUE(a2->GetExpanded());
  EXPECT_FALSE(b->GetExpanded());
  tree.InsertObject(root, "<y>", Elem("y"), id);
  tree.InsertObject(nullptr, "<z>", Elem("z"), id);
  EXPECT_EQ(Shape(tree), "y;root;.a;..a1;..x;..a2;.b;.c;..c1;z;");
  EXPECT_EQ(a2->GetIndex(), 2);
  // A missing element or a foreign node takes no id and adds nothing.
  TXMLMessageTree other;
  EXPECT_EQ(tree.AddChildObject(nullptr, "n", nullptr, id), nullptr);
  EXPECT_EQ(other.AddChildObject(a, "n", Elem("n"), id), nullptr);
  EXPECT_EQ(tree.XMLGetActID(), 43);

  tree.SetDragNode(a2);
  tree.Delete(a);
  EXPECT_EQ(Shape(tree), "y;root;.b;.c;..c1;z;");
  EXPECT_EQ(tree.Count(), 6);
  EXPECT_EQ(tree.GetDragNode(), nullptr);  // it went with its subtree
  EXPECT_EQ(b->GetIndex(), 0);
  tree.XMLDeleteAll();
  EXPECT_EQ(tree.Count(), 0);
  EXPECT_EQ(tree.XMLGetId(), 1);
}

TEST_F(MessageTree, DropModes) {
  tree.SetDragNode(c);
  ASSERT_TRUE(tree.XMLDropNode(a, true));  // on the button: first child, before a's own
  EXPECT_EQ(Shape(tree), "root;.a;..c;...c1;..a1;..a2;.b;");
  EXPECT_EQ(c->GetData()->GetParentID(), 0);  // the tree changes no element field
  tree.SetDragNode(a2);
  ASSERT_TRUE(tree.XMLDropNode(root, false));  // elsewhere: just before the target
  tree.SetDragNode(b);
  ASSERT_TRUE(tree.XMLDropNode(c1, false));
  EXPECT_EQ(Shape(tree), "a2;root;.a;..c;...b;...c1;..a1;");
  EXPECT_EQ(tree.Count(), 7);
  EXPECT_EQ(events, (std::vector<std::tuple<TXMLTreeNode*, TXMLTreeNode*, int32_t>>{
                        {c, a, 0}, {a2, root, 1}, {b, c1, 1}}));
}

TEST_F(MessageTree, DropIntoItselfOrAnotherTreeIsRefused) {
  const std::string before = Shape(tree);
  tree.SetDragNode(a);
  for (bool button : {false, true})
    for (TXMLTreeNode* target : {a, a1, static_cast<TXMLTreeNode*>(nullptr)})
      EXPECT_FALSE(tree.XMLDropNode(target, button));
  TXMLMessageTree other;
  int32_t id = 0;
  TXMLTreeNode* foreign = other.AddChildObject(nullptr, "f", Elem("f"), id);
  EXPECT_FALSE(tree.XMLDropNode(foreign, false));
  tree.SetDragNode(foreign);
  EXPECT_FALSE(tree.XMLDropNode(b, false));
  EXPECT_EQ(Shape(tree), before);
  EXPECT_TRUE(events.empty());
}

TEST(MessageTreeDepth, DeepAndWideTreesAreFreedWithoutRecursion) {
  TXMLMessageTree tree;
  TXMLTreeNode* n = nullptr;
  int32_t id = 0;
  for (int i = 0; i < 200000; ++i) n = tree.AddChildObject(n, "", Elem("d"), id);
  EXPECT_EQ(n->GetLevel(), 199999);
  tree.Delete(tree.GetFirstNode()->GetFirstChild());
  EXPECT_EQ(tree.Count(), 1);
  for (int i = 0; i < 50000; ++i) tree.AddChildObject(nullptr, "", Elem("w"), id);
  tree.GetFirstNode()->GetData()->SetParserElement(reinterpret_cast<TVxXMLElement*>(&tree));
  tree.XMLClearParserElements();
  EXPECT_EQ(tree.GetFirstNode()->GetData()->GetParserElement(), nullptr);
  tree.XMLDeleteAll();
  EXPECT_EQ(tree.Count(), 0);
}

}  // namespace
}  // namespace kal
