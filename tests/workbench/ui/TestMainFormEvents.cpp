// TForm1's events that move the core: the caret line of Memo2 in Edit5
// (a click, a key release, "Clear All"), a double click on the source
// tree, which runs "Edit Window..." on the node it selected, and Tab in the
// panes of documents and streams, which moves on instead of typing.

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <tuple>

#include "common/TestSupport.h"
#include "ep2/MessageTree.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"
#include "workbench/ui/MessageTreeView.h"

namespace kal {

namespace {

// The windows asked for, with the source line selected at that moment.
class Windows final : public ICEXWindows {
 public:
  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override {
    opened.emplace_back(window, modal, core->CEXSelectedSourceLine());
    return TCEXModalResult::None;
  }
  std::vector<std::tuple<TCEXWindow, bool, int>> opened;
  TCEXMainWindow* core = nullptr;
};

}  // namespace

class TestMainFormEvents : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TForm1> Make() {
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.messageFiles = &files_;
    parts.windows = &windows_;
    auto form = std::make_unique<TForm1>(std::move(parts));
    windows_.core = &form->CEXCore();
    form->show();
    return form;
  }
  template <class T>
  static T* Find(QObject* form, const char* name) {
    T* child = form->findChild<T*>(name);
    if (child == nullptr) qWarning("no %s", name);
    return child;
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  TCEXNoMessageFiles files_;
  Windows windows_;

 private slots:
  void init() { home_ = std::make_unique<test::TempDir>(); }

  void Edit5FollowsTheCaretOfMemo2AndClearAllEmptiesIt() {
    auto form = Make();
    TCEXMainWindow& core = form->CEXCore();
    QTRY_VERIFY(core.CEXUserIsAdmin());
    std::string received;
    for (int i = 1; i <= 20; ++i) received += "<ep2:Line" + std::to_string(i) + "/>\r\n";
    core.CEXSetMemo(TCEXMemo::Memo2, received);
    auto* memo = Find<QPlainTextEdit>(form.get(), "Memo2");
    auto* edit5 = Find<QLineEdit>(form.get(), "Edit5");
    QVERIFY(memo != nullptr && edit5 != nullptr);
    QVERIFY(edit5->isReadOnly());
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    // A click in line 7, with the caret in line 8 before.
    memo->setFocus();
    const QTextCursor line7(memo->document()->findBlockByNumber(6));
    memo->setTextCursor(line7);
    memo->centerCursor();
    const QPoint at = memo->cursorRect(line7).center() + QPoint(4, 0);
    memo->setTextCursor(QTextCursor(memo->document()->findBlockByNumber(7)));
    QCOMPARE(edit5->text(), QString());
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(memo->textCursor().blockNumber(), 6);
    QCOMPARE(edit5->text(), QString("line 7"));

    // Down to line 12 with the keys: each release moves the line.
    for (int i = 0; i < 5; ++i) QTest::keyClick(memo, Qt::Key_Down);
    QCOMPARE(memo->textCursor().blockNumber(), 11);
    QCOMPARE(edit5->text(), QString("line 12"));
    QCOMPARE(core.CEXGetEdit(TCEXEdit::Edit5), std::string("line 12"));

    // A text longer than the memo shows: the caret at the very end lies on
    // the memo's note behind the cut, which is no line of the text; the
    // last line shown is.
    std::string longText;
    for (int i = 1; longText.size() <= 70 * 1024; ++i)
      longText += "<ep2:Line" + std::to_string(i) + "/>\r\n";
    core.CEXSetMemo(TCEXMemo::Memo2, longText);
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    const std::string shown = longText.substr(0, 64 * 1024);
    int lastShown = 1;
    for (size_t at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at + 2))
      ++lastShown;
    QCOMPARE(edit5->text(), QString("line %1").arg(lastShown));

    form->CEXActionObject(TCEXAction::ClearAll)->trigger();
    QCOMPARE(edit5->text(), QString());
  }

  void ADoubleClickOnASourceNodeRunsEditWindowWithItSelected() {
    auto form = Make();
    TCEXMainWindow& core = form->CEXCore();
    QTRY_VERIFY(core.CEXUserIsAdmin());
    TXMLMessageTree& tree = core.CEXSourceTree();
    TXMLTreeNode* root = test::AddElement(tree, nullptr, "ep2:AutReq", "c");
    test::AddElement(tree, root, "ep2:TrmID", "an", "12345678");
    test::AddElement(tree, root, "ep2:AmtAuth", "n", "150");
    core.CEXStateChanged(CEXpSourceTree);
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    auto* view = Find<TXMLMessageTreeView>(form.get(), "XMLMessageTree1");
    QVERIFY(view != nullptr);
    view->expandAll();
    QTreeWidgetItemIterator it(view);
    it += 2;
    QVERIFY(*it != nullptr);
    const QPoint at = view->visualItemRect(*it).center();
    // As the window system sends it: a click, then the double click.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(windows_.opened.size(), size_t{1});
    QCOMPARE(std::get<0>(windows_.opened[0]), TCEXWindow::EditWindow);
    QCOMPARE(std::get<1>(windows_.opened[0]), false);
    QCOMPARE(std::get<2>(windows_.opened[0]), 2);
  }

  void TabInAPaneMovesToTheNextControl() {
    auto form = Make();
    TCEXMainWindow& core = form->CEXCore();
    QTRY_VERIFY(core.CEXUserIsAdmin());
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    for (int n = 1; n <= 6; ++n) {
      auto* memo = Find<QPlainTextEdit>(form.get(), qPrintable(QString("Memo%1").arg(n)));
      memo->setFocus();
      QVERIFY(memo->hasFocus());
      QTest::keyClick(memo, Qt::Key_Tab);
      QVERIFY2(!memo->hasFocus(), qPrintable(memo->objectName()));
      QCOMPARE(memo->toPlainText(), QString());
    }
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestMainFormEvents)
#include "TestMainFormEvents.moc"
