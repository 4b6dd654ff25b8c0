// The main window's entries at work: the rights of the tagged ones, what
// each entry opens, the view commands, "Exit" and the searches through the
// menu, the tool bar, the keys and the memo pop-up.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <functional>

#include "common/TestSupport.h"
#include "ep2/MessageTree.h"
#include "support/ui/FormSERSearch.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

using Opened = std::pair<TCEXWindow, bool>;  // window, modal

class RecordingWindows final : public ICEXWindows {
 public:
  TCEXModalResult CEXOpenWindow(TCEXWindow window, bool modal) override {
    opened.emplace_back(window, modal);
    return modal ? TCEXModalResult::Cancel : TCEXModalResult::None;
  }
  std::vector<Opened> opened;
};

class SavingFiles final : public ICEXMessageFiles {
 public:
  bool CEXReadMessageFile(const std::string&) override { return false; }
  bool CEXSaveMessage() override {
    ++saves;
    return true;
  }
  int saves = 0;
};

const char* const kConfig = "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n";

}  // namespace

class TestMainFormMenus : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TForm1> Make(const std::string& extra = "", ICEXLogin* login = nullptr) {
    test::WriteFile(home_->file("config.ini"), kConfig + extra);
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.messageFiles = &files_;
    parts.windows = windows_ ? windows_.get() : nullptr;
    parts.login = login;
    auto form = std::make_unique<TForm1>(std::move(parts));
    form->show();
    QTest::qWait(1);
    return form;
  }
  QPlainTextEdit* Memo(TForm1& form, int n) {
    return form.findChild<QPlainTextEdit*>(QString("Memo%1").arg(n));
  }
  // The selection of a memo as "start+length".
  static QString Selection(QPlainTextEdit* memo) {
    const QTextCursor c = memo->textCursor();
    return QString("%1+%2").arg(c.selectionStart()).arg(c.selectionEnd() - c.selectionStart());
  }
  // Runs `trigger`; the modal window it opens is closed and its object name
  // and caption returned ("Ok" with `searchText` for the search prompt).
  static QString Run(const std::function<void()>& trigger, const QString& searchText = {}) {
    QString seen;
    QTimer::singleShot(0, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      seen = modal->objectName() + " " + modal->windowTitle();
      if (auto* prompt = qobject_cast<TForm16*>(modal); prompt && !searchText.isEmpty()) {
        prompt->findChild<QLineEdit*>("Edit1")->setText(searchText);
        prompt->findChild<QPushButton*>("Ok")->click();
        return;
      }
      modal->close();
    });
    trigger();
    QCoreApplication::processEvents();
    return seen;
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  SavingFiles files_;
  std::unique_ptr<RecordingWindows> windows_;

 private slots:
  void init() {
    home_ = std::make_unique<test::TempDir>();
    dialogs_ = test::MessageDialogs();
    files_ = SavingFiles();
    windows_.reset();
  }

  void TaggedEntriesAreForAdministratorsOnly() {
    test::PlainUserLogin clerk;
    auto form = Make("[Admin]\r\nUseLogin=1\r\n", &clerk);
    QTRY_VERIFY(!form->CEXCore().CEXUserIsAdmin());
    const std::pair<TCEXAction, bool> rows[] = {
        {TCEXAction::LoadMessageWindow, false},
        {TCEXAction::SecurityItems, false},
        {TCEXAction::Keys, false},
        {TCEXAction::Find, false},
        {TCEXAction::FindNext, false},
        {TCEXAction::Print, true},
        {TCEXAction::PrintSetup, true},
        {TCEXAction::PrintToFile, true},
        {TCEXAction::Normal, true},
        {TCEXAction::ZoomReceivedMessage, true},
    };
    for (const auto& [action, enabled] : rows)
      QVERIFY2(form->CEXActionObject(action)->isEnabled() == enabled,
               TCEXMainWindow::CEXActionInfo(action).name);
  }

  // Windows open through the window port, modal or not; the dialogs the
  // form makes show with their captions (the printout selection in the
  // print test).
  void EveryEntryRunsItsCommand() {
    windows_ = std::make_unique<RecordingWindows>();
    auto form = Make();
    QTRY_VERIFY(form->CEXCore().CEXUserIsAdmin());
    const std::pair<TCEXAction, Opened> windowRows[] = {
        {TCEXAction::LoadMessageWindow, {TCEXWindow::LoadFile, false}},
        {TCEXAction::SecurityItems, {TCEXWindow::SecurityItems, false}},
        {TCEXAction::EditWindow, {TCEXWindow::EditWindow, false}},
        {TCEXAction::Keys, {TCEXWindow::Keys, true}},
        {TCEXAction::Communication, {TCEXWindow::Communication, true}},
        {TCEXAction::Component, {TCEXWindow::MessageHeader, true}},
        {TCEXAction::Timeouts, {TCEXWindow::Timeouts, true}},
        {TCEXAction::PlugIns, {TCEXWindow::PlugIns, true}},
        {TCEXAction::DirectoryAliases, {TCEXWindow::DirectoryAliases, true}},
    };
    for (const auto& [action, opened] : windowRows) {
      windows_->opened.clear();
      form->CEXActionObject(action)->trigger();
      QVERIFY2(windows_->opened == std::vector<Opened>{opened},
               TCEXMainWindow::CEXActionInfo(action).name);
    }
    const std::pair<std::function<void()>, QString> dialogRows[] = {
        {[&] { form->CEXActionObject(TCEXAction::PrintSetup)->trigger(); },
         "PrinterSetupDialog1 Page Setup"},
        {[&] { form->CEXActionObject(TCEXAction::Find)->trigger(); }, "TForm16 Search text"},
        {[&] { form->findChild<QAction*>("About1")->trigger(); }, "TForm12 About Kalmore"},
        {[&] { form->findChild<QAction*>("Users1")->trigger(); }, "TForm18 User Administrator"},
        {[&] { form->findChild<QAction*>("Alarming1")->trigger(); }, "TForm20 Alarming"},
    };
    for (const auto& [trigger, expected] : dialogRows) QCOMPARE(Run(trigger), expected);
    // The sequence window shows without waiting, the main window disabled.
    form->findChild<QAction*>("Sequence1")->trigger();
    QWidget* sequence = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "TForm14") sequence = w;
    QVERIFY(sequence != nullptr && sequence->isVisible());
    QVERIFY(!form->isEnabled());
    sequence->hide();
  }

  // Each zoom marks itself alone; "Normal" gives the source tree and Memo3
  // their heights from creation back.
  void NormalRestoresTheHeightsAfterEachZoom() {
    auto form = Make();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QWidget* tree = form->findChild<QTreeWidget*>("XMLMessageTree1");
    QWidget* memo3 = Memo(*form, 3);
    const int treeHeight = tree->height(), memo3Height = memo3->height();
    for (TCEXAction zoom : {TCEXAction::ZoomSourceWindow, TCEXAction::ZoomReceivedMessage}) {
      form->CEXActionObject(zoom)->trigger();
      QWidget* grown = zoom == TCEXAction::ZoomSourceWindow ? tree : memo3;
      const int before = grown == tree ? treeHeight : memo3Height;
      QTRY_VERIFY(grown->height() > before);
      QVERIFY(form->CEXActionObject(zoom)->isChecked());
      QVERIFY(!form->CEXActionObject(TCEXAction::Normal)->isChecked());
      form->CEXActionObject(TCEXAction::Normal)->trigger();
      QTRY_COMPARE(tree->height(), treeHeight);
      QTRY_COMPARE(memo3->height(), memo3Height);
      QVERIFY(form->CEXActionObject(TCEXAction::Normal)->isChecked());
    }
  }

  // With unsaved changes: Yes saves and closes, No closes, Cancel stays.
  void ExitAsksAboutUnsavedChanges() {
    const std::tuple<TCEXAnswer, bool, int> rows[] = {
        {TCEXAnswer::Yes, true, 1}, {TCEXAnswer::No, true, 0}, {TCEXAnswer::Cancel, false, 0}};
    for (const auto& [answer, closes, saves] : rows) {
      init();
      dialogs_.answer = answer;
      auto form = Make();
      QTRY_VERIFY(form->CEXCore().CEXUserIsAdmin());
      form->CEXCore().CEXSetHasChanged(true);
      form->CEXActionObject(TCEXAction::Exit)->trigger();
      if (closes) {
        QTRY_VERIFY(!form->isVisible());
      } else {
        // The close request is queued; it has run when the events are done.
        QTest::qWait(50);
        QVERIFY(form->isVisible());
      }
      QCOMPARE(files_.saves, saves);
    }
  }

  void SearchThroughMenuToolBarKeysAndPopup() {
    auto form = Make();
    TCEXMainWindow& core = form->CEXCore();
    QTRY_VERIFY(core.CEXUserIsAdmin());
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    for (TCEXMemo memo : {TCEXMemo::Memo1, TCEXMemo::Memo3, TCEXMemo::Memo6})
      core.CEXSetMemo(memo, "abc ABC abc");
    QPlainTextEdit* memo1 = Memo(*form, 1);
    memo1->setFocus();
    QCOMPARE(Run([&] { QTest::keyClick(memo1, Qt::Key_F, Qt::ControlModifier); }, "aBc"),
             QString("TForm16 Search text"));
    QCOMPARE(Selection(memo1), QString("0+3"));
    // The offscreen platform does not give the window the focus back after
    // the prompt.
    form->windowHandle()->requestActivate();
    QTRY_VERIFY(QGuiApplication::focusWindow() == form->windowHandle());
    memo1->setFocus();
    QVERIFY(memo1->hasFocus());
    auto* toolBar = form->findChild<QToolBar*>("ToolBar1");
    QTest::mouseClick(toolBar->widgetForAction(form->CEXActionObject(TCEXAction::FindNext)),
                      Qt::LeftButton);
    QCOMPARE(Selection(memo1), QString("4+3"));
    QTest::keyClick(memo1, Qt::Key_F3);
    QCOMPARE(Selection(memo1), QString("8+3"));
    // The memo pop-up acts on its memo, not on the focused Memo1.
    QPlainTextEdit* memo3 = Memo(*form, 3);
    emit memo3->customContextMenuRequested(QPoint(2, 2));
    auto* popup = form->findChild<QMenu*>("PopupMenu2");
    popup->findChild<QAction*>("FindNext2")->trigger();
    popup->hide();
    QCOMPARE(Selection(memo3), QString("0+3"));
    QCOMPARE(Selection(memo1), QString("8+3"));
    // A received view keeps its text.
    popup->findChild<QAction*>("Markall1")->trigger();
    popup->findChild<QAction*>("Delete2")->trigger();
    QCOMPARE(memo3->toPlainText(), QString("abc ABC abc"));
    QTest::keyClick(memo1, Qt::Key_F3);
    QCOMPARE(dialogs_.messages, std::vector<std::string>{"String not found: aBc"});
    // No memo focused: Memo6.
    memo1->clearFocus();
    form->CEXActionObject(TCEXAction::FindNext)->trigger();
    QCOMPARE(Selection(Memo(*form, 6)), QString("0+3"));

    // With the source tree focused the keys search the tree.
    TXMLTreeNode* root = test::AddElement(core.CEXSourceTree(), nullptr, "ep2:AutReq", "c");
    test::AddElement(core.CEXSourceTree(), root, "ep2:TrmID", "an");
    core.CEXViewState().CEXChanged(CEXpSourceTree);
    auto* tree = form->findChild<QTreeWidget*>("XMLMessageTree1");
    tree->setFocus();
    QCOMPARE(Run([&] { QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier); }, "TRMid"),
             QString("TForm16 Search text"));
    QVERIFY(tree->currentItem() != nullptr);
    QCOMPARE(tree->currentItem()->text(0), QString("ep2:TrmID"));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestMainFormMenus)
#include "TestMainFormMenus.moc"
