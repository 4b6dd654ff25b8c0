#include "workbench/ui/MessageTreeView.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyleHints>

#include "ep2/MessageTree.h"

namespace kal {

namespace {

constexpr const char* kNodeMime = "application/x-kalmore-tree-node";

}  // namespace

TXMLMessageTreeView::TXMLMessageTreeView(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
}

int TXMLMessageTreeView::XMLDragDistance() {
  return QApplication::styleHints()->startDragDistance() + 15;
}

void TXMLMessageTreeView::XMLShowTree(TXMLMessageTree* tree, bool draggable) {
  tree_ = tree;
  draggable_ = draggable;
  dragArmed_ = false;
  std::vector<TXMLTreeNode*> nodes;
  std::vector<int> levels;
  if (tree != nullptr) {
    for (TXMLTreeNode* node = tree->GetFirstNode(); node != nullptr; node = node->GetNext()) {
      nodes.push_back(node);
      levels.push_back(node->GetLevel());
    }
  }
  if (levels != levels_) {
    clear();
    items_.clear();
    texts_.clear();
    levels_ = std::move(levels);
    // Walks the model in tree order, keeping the item of each level.
    std::vector<QTreeWidgetItem*> parents;
    for (size_t i = 0; i < nodes.size(); ++i) {
      const auto level = static_cast<size_t>(levels_[i]);
      parents.resize(level);
      QTreeWidgetItem* item =
          level == 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parents.back());
      texts_.push_back(nodes[i]->GetText());
      item->setText(0, QString::fromStdString(texts_.back()));
      item->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
      items_.push_back(item);
      parents.push_back(item);
    }
  } else {
    for (size_t i = 0; i < nodes.size(); ++i) {
      if (texts_[i] == nodes[i]->GetText()) continue;
      texts_[i] = nodes[i]->GetText();
      items_[i]->setText(0, QString::fromStdString(texts_[i]));
    }
  }
  // Expanded only once the children exist.
  for (size_t i = 0; i < nodes.size(); ++i)
    if (items_[i]->isExpanded() != nodes[i]->GetExpanded())
      items_[i]->setExpanded(nodes[i]->GetExpanded());
}

TXMLTreeNode* TXMLMessageTreeView::XMLNodeOf(const QTreeWidgetItem* item) const {
  if (item == nullptr || tree_ == nullptr) return nullptr;
  auto index = item->data(0, Qt::UserRole).toULongLong();
  TXMLTreeNode* node = tree_->GetFirstNode();
  while (node != nullptr && index-- > 0) node = node->GetNext();
  return node;
}

TXMLTreeNode* TXMLMessageTreeView::XMLNodeAt(const QPoint& pos) const {
  return XMLNodeOf(itemAt(pos));
}

bool TXMLMessageTreeView::XMLOnExpandButton(const QPoint& pos) const {
  const QTreeWidgetItem* item = itemAt(pos);
  if (item == nullptr || item->childCount() == 0) return false;
  const QRect rect = visualItemRect(item);
  return pos.x() < rect.left() && pos.x() >= rect.left() - indentation();
}

bool TXMLMessageTreeView::XMLDropAt(const QPoint& pos) {
  if (tree_ == nullptr || !draggable_) return false;
  TXMLTreeNode* target = XMLNodeAt(pos);
  if (!tree_->XMLDropNode(target, XMLOnExpandButton(pos))) return false;
  // Items are rebuilt from the model; the model is the order that counts.
  XMLShowTree(tree_, draggable_);
  emit XMLNodeMoved();
  return true;
}

void TXMLMessageTreeView::mousePressEvent(QMouseEvent* event) {
  QTreeWidget::mousePressEvent(event);
  dragArmed_ = false;
  if (tree_ == nullptr || !draggable_ || event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  TXMLTreeNode* node = XMLNodeAt(pos);
  tree_->SetDragNode(node);
  // A drag starts only from the item itself, not from its button or indent.
  if (node != nullptr && visualItemRect(itemAt(pos)).contains(pos) && !XMLOnExpandButton(pos)) {
    pressPos_ = pos;
    dragArmed_ = true;
  }
}

void TXMLMessageTreeView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragArmed_ || !(event->buttons() & Qt::LeftButton)) {
    QTreeWidget::mouseMoveEvent(event);
    return;
  }
  if ((event->position().toPoint() - pressPos_).manhattanLength() < XMLDragDistance()) return;
  dragArmed_ = false;
  auto* drag = new QDrag(this);
  auto* mime = new QMimeData;
  mime->setData(kNodeMime, QByteArray());
  drag->setMimeData(mime);
  drag->exec(Qt::MoveAction);
  SetCrossCursor(false);
}

void TXMLMessageTreeView::mouseReleaseEvent(QMouseEvent* event) {
  dragArmed_ = false;
  QTreeWidget::mouseReleaseEvent(event);
}

void TXMLMessageTreeView::dragEnterEvent(QDragEnterEvent* event) {
  // Only nodes of this same tree are taken.
  if (event->source() == this && event->mimeData()->hasFormat(kNodeMime))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TXMLMessageTreeView::dragMoveEvent(QDragMoveEvent* event) {
  if (event->source() != this) {
    event->ignore();
    return;
  }
  const QPoint pos = event->position().toPoint();
  SetCrossCursor(XMLOnExpandButton(pos));
  if (XMLNodeAt(pos) != nullptr)
    event->acceptProposedAction();
  else
    event->ignore();
}

void TXMLMessageTreeView::dragLeaveEvent(QDragLeaveEvent* event) {
  SetCrossCursor(false);
  QTreeWidget::dragLeaveEvent(event);
}

void TXMLMessageTreeView::dropEvent(QDropEvent* event) {
  SetCrossCursor(false);
  if (event->source() != this) {
    event->ignore();
    return;
  }
  // The model moves the node; Qt must not move items on its own.
  if (XMLDropAt(event->position().toPoint())) event->setDropAction(Qt::IgnoreAction);
  event->accept();
}

void TXMLMessageTreeView::SetCrossCursor(bool on) {
  if (on == crossCursor_) return;
  crossCursor_ = on;
  if (on)
    QApplication::setOverrideCursor(Qt::CrossCursor);
  else
    QApplication::restoreOverrideCursor();
}

}  // namespace kal
