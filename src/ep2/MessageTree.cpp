#include "ep2/MessageTree.h"

#include <algorithm>

namespace kal {

// ---- TXMLTreeNode --------------------------------------------------------------

std::vector<std::unique_ptr<TXMLTreeNode>>& TXMLTreeNode::Siblings() const {
  return parent_ != nullptr ? parent_->children_ : owner_->roots_;
}

int TXMLTreeNode::GetLevel() const {
  int level = 0;
  for (const TXMLTreeNode* p = parent_; p != nullptr; p = p->parent_) ++level;
  return level;
}

TXMLTreeNode* TXMLTreeNode::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return children_[static_cast<size_t>(index)].get();
}

TXMLTreeNode* TXMLTreeNode::GetNextSibling() const {
  const auto& list = Siblings();
  const size_t next = index_ + 1;
  return next < list.size() ? list[next].get() : nullptr;
}

TXMLTreeNode* TXMLTreeNode::GetPrevSibling() const {
  return index_ > 0 ? Siblings()[index_ - 1].get() : nullptr;
}

TXMLTreeNode* TXMLTreeNode::GetNext() const {
  if (!children_.empty()) return children_.front().get();
  for (const TXMLTreeNode* n = this; n != nullptr; n = n->parent_)
    if (TXMLTreeNode* sibling = n->GetNextSibling()) return sibling;
  return nullptr;
}

TXMLTreeNode* TXMLTreeNode::GetPrev() const {
  TXMLTreeNode* prev = GetPrevSibling();
  if (prev == nullptr) return parent_;
  while (!prev->children_.empty()) prev = prev->children_.back().get();
  return prev;
}

bool TXMLTreeNode::HasAsParent(const TXMLTreeNode* node) const {
  if (node == nullptr) return false;
  for (const TXMLTreeNode* p = parent_; p != nullptr; p = p->parent_)
    if (p == node) return true;
  return false;
}

// ---- TXMLMessageTree -----------------------------------------------------------

void TXMLMessageTree::Renumber(std::vector<std::unique_ptr<TXMLTreeNode>>& list, size_t from) {
  for (size_t i = from; i < list.size(); ++i) list[i]->index_ = i;
}

TXMLTreeNode* TXMLMessageTree::Attach(std::vector<std::unique_ptr<TXMLTreeNode>>& list, size_t pos,
                                      TXMLTreeNode* parent, std::unique_ptr<TXMLTreeNode> node) {
  pos = std::min(pos, list.size());
  node->parent_ = parent;
  TXMLTreeNode* raw = node.get();
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(pos), std::move(node));
  Renumber(list, pos);
  return raw;
}

std::unique_ptr<TXMLTreeNode> TXMLMessageTree::Detach(TXMLTreeNode* node) {
  auto& list = node->Siblings();
  const size_t pos = node->index_;
  std::unique_ptr<TXMLTreeNode> owned = std::move(list[pos]);
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(pos));
  Renumber(list, pos);
  owned->parent_ = nullptr;
  return owned;
}

int TXMLMessageTree::CountNodes(const TXMLTreeNode& node) {
  int n = 0;
  std::vector<const TXMLTreeNode*> stack{&node};
  while (!stack.empty()) {
    const TXMLTreeNode* p = stack.back();
    stack.pop_back();
    ++n;
    for (const auto& child : p->children_) stack.push_back(child.get());
  }
  return n;
}

// Frees a subtree without recursion, so that a deeply nested tree read from a
// file cannot exhaust the stack.
void TXMLMessageTree::DestroySubtree(std::unique_ptr<TXMLTreeNode> root) {
  std::vector<std::unique_ptr<TXMLTreeNode>> stack;
  stack.push_back(std::move(root));
  while (!stack.empty()) {
    std::unique_ptr<TXMLTreeNode> node = std::move(stack.back());
    stack.pop_back();
    for (auto& child : node->children_) stack.push_back(std::move(child));
    node->children_.clear();
  }
}

TXMLTreeNode* TXMLMessageTree::AddChildObject(TXMLTreeNode* node, std::string text,
                                              std::unique_ptr<TUAXxmlElement> element,
                                              int32_t& iID) {
  if (element == nullptr || (node != nullptr && !Owns(node))) return nullptr;
  iID = XMLGetId();
  auto& list = node != nullptr ? node->children_ : roots_;
  TXMLTreeNode* added = Attach(
      list, list.size(), node,
      std::unique_ptr<TXMLTreeNode>(new TXMLTreeNode(this, std::move(text), std::move(element))));
  ++count_;
  if (node != nullptr) node->expanded_ = true;
  return added;
}

TXMLTreeNode* TXMLMessageTree::InsertObject(TXMLTreeNode* node, std::string text,
                                            std::unique_ptr<TUAXxmlElement> element, int32_t& iID) {
  if (element == nullptr || (node != nullptr && !Owns(node))) return nullptr;
  iID = XMLGetId();
  std::unique_ptr<TXMLTreeNode> fresh(new TXMLTreeNode(this, std::move(text), std::move(element)));
  TXMLTreeNode* added;
  if (node != nullptr) {
    added = Attach(node->Siblings(), node->index_, node->parent_, std::move(fresh));
    node->expanded_ = true;
  } else {
    added = Attach(roots_, roots_.size(), nullptr, std::move(fresh));
  }
  ++count_;
  return added;
}

void TXMLMessageTree::XMLDeleteAll() {
  XMLaDragNode = nullptr;
  while (!roots_.empty()) {
    std::unique_ptr<TXMLTreeNode> last = std::move(roots_.back());
    roots_.pop_back();
    DestroySubtree(std::move(last));
  }
  count_ = 0;
  XMLiID = 0;
}

void TXMLMessageTree::Delete(TXMLTreeNode* node) {
  if (!Owns(node)) return;
  if (XMLaDragNode == node || (XMLaDragNode != nullptr && XMLaDragNode->HasAsParent(node)))
    XMLaDragNode = nullptr;
  count_ -= CountNodes(*node);
  DestroySubtree(Detach(node));
}

TXMLTreeNode* TXMLMessageTree::GetTop(int index) const {
  if (index < 0 || index >= TopCount()) return nullptr;
  return roots_[static_cast<size_t>(index)].get();
}

TXMLTreeNode* TXMLMessageTree::GetLastNode() const {
  if (roots_.empty()) return nullptr;
  TXMLTreeNode* node = roots_.back().get();
  while (!node->children_.empty()) node = node->children_.back().get();
  return node;
}

void TXMLMessageTree::XMLClearParserElements() {
  for (TXMLTreeNode* n = GetFirstNode(); n != nullptr; n = n->GetNext())
    n->element_->SetParserElement(nullptr);
}

bool TXMLMessageTree::XMLDropNode(TXMLTreeNode* target, bool onExpandButton) {
  TXMLTreeNode* moved = XMLaDragNode;
  if (!Owns(moved) || !Owns(target) || target == moved || target->HasAsParent(moved)) return false;
  std::unique_ptr<TXMLTreeNode> owned = Detach(moved);
  int32_t mode;
  if (onExpandButton) {
    Attach(target->children_, 0, target, std::move(owned));
    mode = kXMLDropAsFirstChild;
  } else {
    Attach(target->Siblings(), target->index_, target->parent_, std::move(owned));
    mode = kXMLDropBefore;
  }
  if (OnDragDropEnd) OnDragDropEnd(moved, target, mode);
  return true;
}

}  // namespace kal
