#pragma once

// The tree widget over an element tree: one item per node with the node's
// text, and moving nodes inside the same tree by drag and drop. A drop on a
// node's expand button makes the dragged node its first child; a drop
// anywhere else on a node puts it in front of that node.

#include <QPoint>
#include <QTreeWidget>
#include <string>
#include <vector>

namespace kal {

class TXMLMessageTree;
class TXMLTreeNode;

class TXMLMessageTreeView final : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TXMLMessageTreeView(QWidget* parent = nullptr);

  // Shows the tree; nodes can be dragged when `draggable`. Items are
  // rebuilt from the nodes when the tree's shape (its nodes' levels in tree
  // order) changed, otherwise they keep their place and only texts and
  // expansion follow the nodes.
  void XMLShowTree(TXMLMessageTree* tree, bool draggable);
  // The node an item shows: the node at the item's place in tree order
  // (null when the tree has no node there). The tree may have changed since
  // it was shown; a node is never taken from the items.
  TXMLTreeNode* XMLNodeOf(const QTreeWidgetItem* item) const;
  // The node at a point of the viewport, and whether the point lies on its
  // expand button (shown for nodes with children).
  TXMLTreeNode* XMLNodeAt(const QPoint& pos) const;
  bool XMLOnExpandButton(const QPoint& pos) const;
  // Drops the tree's drag node on the node at `pos`; true when it moved.
  bool XMLDropAt(const QPoint& pos);
  // How far the mouse moves with the button down before a drag starts.
  static int XMLDragDistance();

 signals:
  // A node was moved; the items show the new order.
  void XMLNodeMoved();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void SetCrossCursor(bool on);

  TXMLMessageTree* tree_ = nullptr;
  bool draggable_ = false;
  // The items in tree order (item data, Qt::UserRole, is the index), with
  // the level and text each shows.
  std::vector<QTreeWidgetItem*> items_;
  std::vector<int> levels_;
  std::vector<std::string> texts_;
  QPoint pressPos_;
  bool dragArmed_ = false;
  bool crossCursor_ = false;
};

}  // namespace kal
