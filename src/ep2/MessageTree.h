#pragma once

// The element tree of a message: the GUI-free model behind the message views.
// Every node carries one element, which it owns; the tree hands out element
// ids from its counter and moves nodes for drag and drop. The Qt tree widget
// shows this model.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ep2/MessageElement.h"

namespace kal {

class TXMLMessageTree;

class TXMLTreeNode final {
 public:
  TXMLTreeNode(const TXMLTreeNode&) = delete;
  TXMLTreeNode& operator=(const TXMLTreeNode&) = delete;

  // The node's element, owned by the node (freed with it).
  TUAXxmlElement* GetData() const { return element_.get(); }
  const std::string& GetText() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  bool GetExpanded() const { return expanded_; }
  void SetExpanded(bool expanded) { expanded_ = expanded; }

  TXMLMessageTree* GetOwner() const { return owner_; }
  TXMLTreeNode* GetParent() const { return parent_; }
  int GetLevel() const;                                      // 0 for a top-level node
  int GetIndex() const { return static_cast<int>(index_); }  // position among its siblings
  int GetCount() const { return static_cast<int>(children_.size()); }
  TXMLTreeNode* GetItem(int index) const;  // nullptr outside 0..GetCount()-1
  TXMLTreeNode* GetFirstChild() const { return GetItem(0); }
  TXMLTreeNode* GetLastChild() const { return GetItem(GetCount() - 1); }
  TXMLTreeNode* GetNextSibling() const;
  TXMLTreeNode* GetPrevSibling() const;
  // The next and previous node in tree order (pre-order); nullptr at the ends.
  TXMLTreeNode* GetNext() const;
  TXMLTreeNode* GetPrev() const;
  // True when `node` is this node's parent, grandparent, and so on.
  bool HasAsParent(const TXMLTreeNode* node) const;

 private:
  friend class TXMLMessageTree;
  TXMLTreeNode(TXMLMessageTree* owner, std::string text, std::unique_ptr<TUAXxmlElement> element)
      : owner_(owner), text_(std::move(text)), element_(std::move(element)) {}
  std::vector<std::unique_ptr<TXMLTreeNode>>& Siblings() const;

  TXMLMessageTree* owner_;
  TXMLTreeNode* parent_ = nullptr;
  std::string text_;
  std::unique_ptr<TUAXxmlElement> element_;
  std::vector<std::unique_ptr<TXMLTreeNode>> children_;
  size_t index_ = 0;  // position in Siblings()
  bool expanded_ = false;
};

// Raised after a node was moved by drag and drop: (moved node, target node,
// mode). Mode 0: the moved node became the target's first child; mode 1: it
// now stands immediately before the target. The tree changes no element
// field; the handler sets the moved element's parent id.
using TDragDropEnd = std::function<void(TXMLTreeNode*, TXMLTreeNode*, int32_t)>;

inline constexpr int32_t kXMLDropAsFirstChild = 0;
inline constexpr int32_t kXMLDropBefore = 1;

class TXMLMessageTree final {
 public:
  TXMLMessageTree() = default;
  ~TXMLMessageTree() { XMLDeleteAll(); }
  TXMLMessageTree(const TXMLMessageTree&) = delete;
  TXMLMessageTree& operator=(const TXMLMessageTree&) = delete;

  // Take the next id from the counter (returned in iID) and add a node with
  // the text and element (taken over by the node). AddChildObject appends
  // it as the last child of `node`, or as the last top-level node when
  // `node` is nullptr; InsertObject puts it immediately before `node` as its
  // sibling, or last at the top level when `node` is nullptr. A given `node`
  // is expanded (not recursively). The element's own fields are not touched.
  // Return the new node; nullptr (no id taken) for a missing element or a
  // node of another tree.
  TXMLTreeNode* AddChildObject(TXMLTreeNode* node, std::string text,
                               std::unique_ptr<TUAXxmlElement> element, int32_t& iID);
  TXMLTreeNode* InsertObject(TXMLTreeNode* node, std::string text,
                             std::unique_ptr<TUAXxmlElement> element, int32_t& iID);

  // Adds 1 to the id counter and returns it; every call consumes an id.
  int32_t XMLGetId() { return ++XMLiID; }
  // The next id handed out is iID + 1.
  void XMLSetActID(int32_t iID) { XMLiID = iID; }
  int32_t XMLGetActID() const { return XMLiID; }

  // Deletes every node with its element and sets the id counter to 0.
  void XMLDeleteAll();
  // Deletes a node of this tree with its subtree and their elements.
  void Delete(TXMLTreeNode* node);

  // Number of nodes in the whole tree.
  int Count() const { return count_; }
  int TopCount() const { return static_cast<int>(roots_.size()); }
  TXMLTreeNode* GetTop(int index) const;
  // First and last node in tree order; nullptr for an empty tree.
  TXMLTreeNode* GetFirstNode() const { return GetTop(0); }
  TXMLTreeNode* GetLastNode() const;

  // Clears the document link of every element (before the document that the
  // links point into is freed).
  void XMLClearParserElements();

  // Drag and drop. The view sets the drag node when a left-button press
  // starts a possible drag (the node is forgotten when it is deleted).
  TXMLTreeNode* GetDragNode() const { return XMLaDragNode; }
  void SetDragNode(TXMLTreeNode* node) { XMLaDragNode = node; }
  // Drops the drag node on `target`: on the target's expand button it
  // becomes the target's first child (mode 0), elsewhere it moves to stand
  // immediately before the target (mode 1); then OnDragDropEnd is raised.
  // Refused (false, nothing moved, no event) without a drag node or target,
  // for a node of another tree, and when the target is the drag node itself
  // or lies inside its subtree.
  bool XMLDropNode(TXMLTreeNode* target, bool onExpandButton);

  TDragDropEnd OnDragDropEnd;

 private:
  bool Owns(const TXMLTreeNode* node) const { return node != nullptr && node->owner_ == this; }
  TXMLTreeNode* Attach(std::vector<std::unique_ptr<TXMLTreeNode>>& list, size_t pos,
                       TXMLTreeNode* parent, std::unique_ptr<TXMLTreeNode> node);
  std::unique_ptr<TXMLTreeNode> Detach(TXMLTreeNode* node);
  static void Renumber(std::vector<std::unique_ptr<TXMLTreeNode>>& list, size_t from);
  static int CountNodes(const TXMLTreeNode& node);
  static void DestroySubtree(std::unique_ptr<TXMLTreeNode> root);

  friend class TXMLTreeNode;
  std::vector<std::unique_ptr<TXMLTreeNode>> roots_;
  int count_ = 0;
  int32_t XMLiID = 0;                    // the last id handed out
  TXMLTreeNode* XMLaDragNode = nullptr;  // not owned
};

}  // namespace kal
