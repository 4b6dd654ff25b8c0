// The tree widget over an element tree, offscreen: node texts, the drag
// threshold, a drop on an item and on an expand button, drops refused where
// nodes cannot move, and one whole drag with the mouse.
#include "workbench/ui/MessageTreeView.h"

#include <QApplication>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "workbench/ElementCommands.h"
#include "workbench/MessageFiles.h"

namespace kal {

namespace {

// Msg(1) > [Hdr(2) > [TrmID(3)], Date(4)]
const char* const kMessage =
    "7.0.1\r\n4\r\n"
    "ep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
    "ep2:Hdr\r\n\r\nc\r\n\r\n\r\n1\r\n2\r\n"
    "ep2:TrmID\r\n123\r\nan\r\n\r\n\r\n2\r\n3\r\n"
    "ep2:Date\r\n19990101\r\ndate\r\n\r\n\r\n1\r\n4\r\n";

// Names and parent ids in tree order, indented by level.
QStringList Dump(const TXMLMessageTree& tree) {
  QStringList out;
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
    out << QString(2 * n->GetLevel(), ' ') + QString::fromStdString(n->GetData()->GetName()) + " " +
               QString::number(n->GetData()->GetParentID());
  return out;
}

}  // namespace

class TestMessageTreeView : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    tree_ = std::make_unique<TXMLMessageTree>();
    QVERIFY(CEXReadMessageText(kMessage, *tree_, false, 0).complete);
    tree_->OnDragDropEnd = CEXDragDropEnd;
    view_ = std::make_unique<TXMLMessageTreeView>();
    view_->resize(400, 300);
    view_->XMLShowTree(tree_.get(), true);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
  }
  void cleanup() {
    view_.reset();
    tree_.reset();
  }

  void ShowsTheNodesAndTheThreshold() {
    QCOMPARE(view_->topLevelItemCount(), 1);
    QTreeWidgetItem* msg = view_->topLevelItem(0);
    QCOMPARE(msg->text(0), QString::fromStdString(tree_->GetFirstNode()->GetText()));
    QVERIFY(msg->isExpanded());
    QCOMPARE(msg->childCount(), 2);
    QCOMPARE(view_->XMLNodeOf(msg->child(1)), tree_->GetLastNode());
    QCOMPARE(TXMLMessageTreeView::XMLDragDistance(),
             QApplication::styleHints()->startDragDistance() + 15);
  }

  void DropsBeforeAnItemAndOnAnExpandButton() {
    QTreeWidgetItem* hdr = view_->topLevelItem(0)->child(0);
    QTreeWidgetItem* date = view_->topLevelItem(0)->child(1);
    const QPoint onDate = view_->visualItemRect(date).center();
    const QPoint hdrText = view_->visualItemRect(hdr).center();
    const QPoint hdrButton(view_->visualItemRect(hdr).left() - view_->indentation() / 2,
                           hdrText.y());
    QVERIFY(view_->XMLOnExpandButton(hdrButton));
    QVERIFY(!view_->XMLOnExpandButton(hdrText));
    QVERIFY(!view_->XMLOnExpandButton(onDate));  // no children, no button

    // Pressing on the date makes it the drag node; dropped on the header's
    // button it becomes the header's first child.
    QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, onDate);
    QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, onDate);
    QVERIFY(view_->XMLDropAt(hdrButton));
    QCOMPARE(Dump(*tree_),
             (QStringList{"ep2:Msg 0", "  ep2:Hdr 1", "    ep2:Date 2", "    ep2:TrmID 2"}));
    QCOMPARE(view_->topLevelItem(0)->child(0)->child(0)->text(0),
             QString::fromStdString(tree_->GetFirstNode()->GetNext()->GetNext()->GetText()));

    // The terminal id dropped on the header text stands before the header.
    QTreeWidgetItem* trm = view_->topLevelItem(0)->child(0)->child(1);
    const QPoint onTrm = view_->visualItemRect(trm).center();
    QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, onTrm);
    QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, onTrm);
    QVERIFY(view_->XMLDropAt(view_->visualItemRect(view_->topLevelItem(0)->child(0)).center()));
    QCOMPARE(Dump(*tree_),
             (QStringList{"ep2:Msg 0", "  ep2:TrmID 1", "  ep2:Hdr 1", "    ep2:Date 2"}));

    // A node cannot go into its own subtree, and the reference tree does
    // not move nodes at all.
    const QPoint onMsg = view_->visualItemRect(view_->topLevelItem(0)).center();
    QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, onMsg);
    QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, onMsg);
    QVERIFY(!view_->XMLDropAt(view_->visualItemRect(view_->topLevelItem(0)->child(1)).center()));
    view_->XMLShowTree(tree_.get(), false);
    tree_->SetDragNode(tree_->GetLastNode());
    QVERIFY(!view_->XMLDropAt(view_->visualItemRect(view_->topLevelItem(0)->child(0)).center()));
    QCOMPARE(Dump(*tree_),
             (QStringList{"ep2:Msg 0", "  ep2:TrmID 1", "  ep2:Hdr 1", "    ep2:Date 2"}));
  }

  void AMouseDragBelowTheThresholdMovesNothing() {
    QTreeWidgetItem* date = view_->topLevelItem(0)->child(1);
    const QPoint from = view_->visualItemRect(date).center();
    QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(0, -4)), QPointF(), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view_->viewport(), &move);
    QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, from);
    QCOMPARE(Dump(*tree_),
             (QStringList{"ep2:Msg 0", "  ep2:Hdr 1", "    ep2:TrmID 2", "  ep2:Date 1"}));
  }

 private:
  std::unique_ptr<TXMLMessageTree> tree_;
  std::unique_ptr<TXMLMessageTreeView> view_;
};

}  // namespace kal

QTEST_MAIN(kal::TestMessageTreeView)
#include "TestMessageTreeView.moc"
