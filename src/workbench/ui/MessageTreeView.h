#pragma once

// The tree widget over an element tree: one item per node with the node's
// text, and moving nodes inside the same tree by drag and drop. A drop on a
// node's expand button makes the dragged node its first child; a drop
// anywhere else on a node puts it in front of that node.

#include <QPoint>
#include <QTreeWidget>
#include <vector>

namespace kal {

class TXMLMessageTree;
class TXMLTreeNode;

class TXMLMessageTreeView final : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TXMLMessageTreeView(QWidget* parent = nullptr);

  // Shows the tree (items rebuilt from its nodes); nodes can be dragged
  // when `draggable`.
  void XMLShowTree(TXMLMessageTree* tree, bool draggable);
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
  std::vector<TXMLTreeNode*> nodes_;  // item data (Qt::UserRole) indexes this
  QPoint pressPos_;
  bool dragArmed_ = false;
  bool crossCursor_ = false;
};

}  // namespace kal
