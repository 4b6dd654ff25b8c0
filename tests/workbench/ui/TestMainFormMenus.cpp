// The main window's entries at work: the administrators' actions through
// every way the window offers them, what each entry opens, the view
// commands, "Exit" and the searches through the menu, the tool bar, the keys
// and the memo pop-up.

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <ctime>
#include <functional>
#include <set>
#include <string_view>

#include "common/SocatPeer.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/ElementClipboard.h"
#include "ep2/MessageTree.h"
#include "support/ui/FormSERSearch.h"
#include "workbench/MessageFiles.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"
#include "workbench/ui/MessageTreeView.h"

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

// Saves counted, the file commands kept.
class SavingFiles final : public ICEXMessageFiles {
 public:
  bool CEXReadMessageFile(const std::string&) override { return false; }
  bool CEXSaveMessage() override {
    ++saves;
    commands.push_back("save message");
    return true;
  }
  void CEXLoadMessage() override { commands.push_back("load message"); }
  void CEXSaveMessageAs() override { commands.push_back("save message as"); }
  void CEXLoadReferenceStructure() override { commands.push_back("load reference"); }
  void CEXLoadXMLDocument() override { commands.push_back("load document"); }
  int saves = 0;
  std::vector<std::string> commands;
};

// The actions only an administrator may run.
// clang-format off
const std::set<std::string_view> kAdministratorsOnly = {
    "Action_LoadMessage", "Action_Save_Message_As", "Action_LoadReadStructure",
    "Action_LoadMessageWindow", "Action_EditWindow", "Action_CutItem", "Action_CopyItem",
    "Action_InsertItem", "Action_InsertAsChild", "Action_DeleteItem", "Action_SecurityItems",
    "Action_TransferInputValues", "Action_ClearAll", "Action_LoadConfiguration",
    "Action_SaveConfiguration", "Action_Keys", "Action_Communication", "Action_Component",
    "Action_CreateXMLDoc", "Action_CreateDataStream", "Action_SendDataStream",
    "Action_DecryptSecurity", "Action_AnalyseMessage", "Action_ParseMessage",
    "Action_CreateAndSend", "Action_ParseAndAnalyse", "Action_ClearReceived", "Action_Timeouts",
    "Action_GotoParent", "Action_Find", "Action_FindNext", "Action_Save_Message",
    "Action_Load_XMLDoc", "Action_TransferAndSend"};
// clang-format on

const char* const kConfig = "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n";

std::string Shipped(const std::string& name) {
  return test::ReadFile(test::SourceDir() + "/share/" + name);
}

using TRoute = std::pair<QString, std::function<void()>>;

// Every way the window offers to run `id`: its menu entries (the menu opened
// from the menu bar), the buttons that show it (the tool bar's among them),
// its entry in the source tree's pop-up, its shortcut and, for "Edit
// Window...", a double click on the selected node.
std::vector<TRoute> Routes(TForm1& form, TCEXAction id) {
  QAction* action = form.CEXActionObject(id);
  auto* tree = form.findChild<TXMLMessageTreeView*>("XMLMessageTree1");
  const auto selected = [tree] { return tree->visualItemRect(tree->currentItem()).center(); };
  const auto pick = [action](QMenu* menu) {
    if (menu->isVisible())
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    menu->hide();
  };
  std::vector<TRoute> routes;
  QMenuBar* bar = form.menuBar();
  for (QAction* title : bar->actions()) {
    if (title->menu() == nullptr || !title->menu()->actions().contains(action)) continue;
    routes.emplace_back("menu " + title->text(), [=] {
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
      pick(title->menu());
    });
  }
  for (QToolButton* button : form.findChildren<QToolButton*>()) {
    if (button->defaultAction() == action)
      routes.emplace_back("button", [button] { QTest::mouseClick(button, Qt::LeftButton); });
  }
  auto* popup = form.findChild<QMenu*>("PopupMenu1");
  if (popup->actions().contains(action)) {
    routes.emplace_back("pop-up", [=] {
      emit tree->customContextMenuRequested(selected());
      pick(popup);
    });
  }
  if (!action->shortcut().isEmpty())
    routes.emplace_back("key", [=] { QTest::keySequence(tree, action->shortcut()); });
  if (id == TCEXAction::EditWindow) {
    routes.emplace_back("double click", [=] {
      QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, selected());
      QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, selected());
      QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, selected());
    });
  }
  return routes;
}

}  // namespace

class TestMainFormMenus : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TForm1> Make(const std::string& extra = "", ICEXLogin* login = nullptr,
                               const std::string& communication = kConfig) {
    test::WriteFile(home_->file("config.ini"), communication + extra);
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

  // What the administrators' actions work on: the shipped request built,
  // streamed and received back, parsed and analysed, the memos that the
  // actions fill emptied (the stream to send one byte); the terminal id
  // changed since and marked as taken from the input and selected in the
  // focused source tree; two elements on the clipboard.
  void Prepare(TForm1& form) {
    TCEXMainWindow& core = form.CEXCore();
    core.Action_ClearAllExecute();
    static_cast<void>(CEXReadMessageText(Shipped("AuthorisationRequest.epm"), core.CEXSourceTree(),
                                         false, std::time(nullptr)));
    static_cast<void>(CEXReadMessageText(Shipped("AuthorisationRequestReference.epm"),
                                         core.CEXReferenceTree(), true, std::time(nullptr)));
    core.CEXRunAction(TCEXAction::CreateXMLDoc);
    core.CEXRunAction(TCEXAction::CreateDataStream);
    core.CEXLink().CEXFrameStored(core.CEXDataStreamBytes());
    core.CEXRunAction(TCEXAction::ParseMessage);
    core.CEXRunAction(TCEXAction::AnalyseMessage);
    TUAXxmlElement& terminal = *core.CEXSourceTree().GetFirstNode()->GetNext()->GetData();
    terminal.SetValue("T0000099");
    terminal.SetAttributes("MV");
    for (TCEXMemo memo : {TCEXMemo::Memo3, TCEXMemo::Memo4}) core.CEXSetMemo(memo, "");
    core.CEXSetMemo(TCEXMemo::Memo6, "00");
    TUACEditElement& clipboard = core.CEXEditElement();
    clipboard.UACClear();
    for (int i = 0; i < 2; ++i)
      clipboard.UACAddElement(*core.CEXSourceTree().GetFirstNode()->GetData());
    core.CEXSetSelectedSourceLine(1);
    core.CEXStateChanged(CEXpSourceTree | CEXpReferenceTree | CEXpMemos);
    // The offscreen platform does not give the window the focus back after
    // a modal window.
    form.windowHandle()->requestActivate();
    QTRY_VERIFY(QGuiApplication::focusWindow() == form.windowHandle());
    form.findChild<QTreeWidget*>("XMLMessageTree1")->setFocus();
  }
  // What the commands change: the trees, the selection, the clipboard and
  // the memos with their selections.
  static std::string State(TForm1& form) {
    TCEXMainWindow& core = form.CEXCore();
    std::string state = std::to_string(core.CEXSelectedSourceLine()) + " " +
                        std::to_string(core.CEXEditElement().Count());
    for (TXMLMessageTree* tree : {&core.CEXSourceTree(), &core.CEXReferenceTree()})
      for (TXMLTreeNode* n = tree->GetFirstNode(); n != nullptr; n = n->GetNext())
        state += "|" + n->GetData()->GetName() + "=" + n->GetData()->GetValue();
    for (int n = 1; n <= 6; ++n) {
      state += "|" + core.CEXGetMemo(static_cast<TCEXMemo>(n)) + "@" +
               Selection(form.findChild<QPlainTextEdit*>(QString("Memo%1").arg(n))).toStdString();
    }
    return state;
  }
  // Runs `route` and tells what it did, empty for nothing: the modal window
  // it opened (closed at once), the windows, file commands, file dialogs
  // and messages it asked for, and whether the state changed.
  QString Effect(TForm1& form, const std::function<void()>& route) {
    windows_->opened.clear();
    files_.commands.clear();
    dialogs_.fileDialogs.clear();
    dialogs_.messages.clear();
    const std::string before = State(form);
    QStringList effects{Run(route)};
    if (!windows_->opened.empty()) effects << "window";
    for (const auto* seen : {&files_.commands, &dialogs_.fileDialogs, &dialogs_.messages})
      if (!seen->empty()) effects << QString::fromStdString(seen->front());
    if (State(form) != before) effects << "state";
    return effects.join(' ').trimmed();
  }
  // The rights of a new login.
  static void LogIn(TForm1& form, test::PlainUserLogin& login, bool admin) {
    login.admin = admin;
    form.CEXCore().CEXExecute(TCEXAction::Logout);
    QVERIFY(form.CEXCore().CEXUserIsAdmin() == admin);
  }

  // A user without administrator rights gets nothing from their actions,
  // whichever way he asks; an administrator gets each through each way, so
  // every way tried works. Every other action is open to both.
  void AdministratorsActionsDoNothingForOthersWhateverTheWay() {
    windows_ = std::make_unique<RecordingWindows>();
    test::PlainUserLogin login;
    login.admin = true;
    // Streams go to a peer that never answers.
    test::SocatPeer peer("sleep 600");
    QVERIFY(peer.port() > 0);
    const std::string shipped = Shipped("config.ini");
    auto form = Make("[Admin]\r\nUseLogin=1\r\n" + shipped.substr(shipped.find("[Component]")),
                     &login, test::TcpClientIni(std::to_string(peer.port())));
    QTRY_VERIFY(form->CEXCore().CEXUserIsAdmin());
    form->CEXCore().CEXConfiguration().CFGSetServerResponseTimeout(3600 * 1000);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    // "Find next" looks for what "Find..." was given.
    QCOMPARE(Run([&] { form->CEXActionObject(TCEXAction::Find)->trigger(); }, "ep2"),
             QString("TForm16 Search text"));
    for (int i = 0; i < static_cast<int>(TCEXAction::Count); ++i) {
      const auto id = static_cast<TCEXAction>(i);
      const char* name = TCEXMainWindow::CEXActionInfo(id).name;
      if (!kAdministratorsOnly.contains(name)) {
        LogIn(*form, login, false);
        QVERIFY2(form->CEXActionObject(id)->isEnabled(), name);
        continue;
      }
      const std::vector<TRoute> routes = Routes(*form, id);
      QVERIFY2(!routes.empty(), name);
      for (const auto& [way, route] : routes) {
        const QString where = QString(name) + " through " + way;
        LogIn(*form, login, false);
        Prepare(*form);
        const QString denied = Effect(*form, route);
        QVERIFY2(denied.isEmpty(), qPrintable(where + ": " + denied));
        LogIn(*form, login, true);
        QVERIFY2(!Effect(*form, route).isEmpty(), qPrintable(where));
      }
    }
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
