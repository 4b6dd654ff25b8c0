#include "workbench/ui/MainForm.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "platform/IniFile.h"

namespace kal {

namespace {

class Dialogs final : public ICEXDialogs {
 public:
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::Cancel; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string& chosen) override {
    chosen = choice;
    return !choice.empty();
  }
  bool CEXSaveFile(const TCEXFileDialog&, std::string& chosen) override {
    chosen = choice;
    return !choice.empty();
  }
  std::vector<std::string> messages;
  std::string choice;
};

// Records the message files the start reads.
class MessageFiles final : public ICEXMessageFiles {
 public:
  bool CEXReadMessageFile(const std::string& path) override {
    read.push_back(path);
    return true;
  }
  bool CEXSaveMessage() override { return true; }
  std::vector<std::string> read;
};

}  // namespace

class TestMainForm : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TForm1> Make(std::vector<std::string> args = {}) {
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.args = std::move(args);
    parts.dialogs = &dialogs_;
    parts.messageFiles = &files_;
    return std::make_unique<TForm1>(std::move(parts));
  }
  template <class T>
  static T* Find(QObject* form, const char* name) {
    T* child = form->findChild<T*>(name);
    if (child == nullptr) qWarning("no %s", name);
    return child;
  }
  static QString PanelText(TForm1& form, int i) {
    return Find<QLabel>(&form, qPrintable(QString("Panel%1").arg(i)))->text();
  }

  std::unique_ptr<test::TempDir> home_;
  Dialogs dialogs_;
  MessageFiles files_;

 private slots:
  void init() {
    home_ = std::make_unique<test::TempDir>();
    // Nothing listens, so the tests need no port.
    test::WriteFile(home_->file("config.ini"),
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n");
    dialogs_ = Dialogs();
    files_ = MessageFiles();
  }

  void NamedControlsHaveTheirCaptionsAndInitialState() {
    auto form = Make();
    form->show();
    QCOMPARE(form->windowTitle(), QString("Dorva ep2 Interface Tester"));
    for (const char* name : {"XMLMessageTree1", "XMLMessageTree2"})
      QVERIFY(Find<QTreeWidget>(form.get(), name));
    for (int i = 1; i <= 6; ++i)
      QVERIFY(Find<QPlainTextEdit>(form.get(), qPrintable(QString("Memo%1").arg(i))));
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit1")->text(), QString("0"));
    QCOMPARE(Find<QLineEdit>(form.get(), "Edit3")->text(), QString("0"));
    for (const char* name : {"Edit2", "Edit6", "Edit7", "Edit8"})
      QVERIFY(Find<QLineEdit>(form.get(), name)->isReadOnly());
    for (const char* caption :
         {"Source Window", "Send Message: XML Document", "Send Message: Data Stream",
          "Received Message: Reference Structure", "Received Message: Message Content",
          "Received Message: Header and Security Items", "Received Message: XML Document",
          "Received Message: Data Stream", "Send time", "Receive time"}) {
      bool found = false;
      for (QLabel* label : form->findChildren<QLabel*>()) found |= label->text() == caption;
      QVERIFY2(found, caption);
    }

    auto* group2 = Find<QGroupBox>(form.get(), "RadioGroup2");
    QCOMPARE(group2->title(), QString("Add msgnum"));
    auto buttons2 = group2->findChildren<QRadioButton*>();
    QCOMPARE(buttons2.size(), 3);
    QCOMPARE(buttons2[0]->text(), QString("New"));
    QCOMPARE(buttons2[2]->text(), QString("None"));
    QVERIFY(buttons2[0]->isChecked());
    auto* group1 = Find<QGroupBox>(form.get(), "RadioGroup1");
    QCOMPARE(group1->title(), QString("Security header"));
    auto buttons1 = group1->findChildren<QRadioButton*>();
    QCOMPARE(buttons1[0]->text(), QString("Add MAC Only"));
    QVERIFY(buttons1[1]->isChecked());
    // Encoding information is off by default: the choice is hidden.
    QVERIFY(!group1->isVisible());

    QCOMPARE(form->statusBar()->objectName(), QString("StatusBar1"));
    QCOMPARE(PanelText(*form, 0), QString("TCP/IP Client not connected"));
    QCOMPARE(PanelText(*form, 1), QString());
    QCOMPARE(PanelText(*form, 2), QString("TCP/IP server not listening"));
    QCOMPARE(PanelText(*form, 3), QString("No cofiguration file loaded"));
    const int width = Find<QLabel>(form.get(), "Panel0")->width();
    QCOMPARE(width, (form->width() - 20) / 4);

    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, (QStringList{"&File", "&Edit", "&View", "&Parameters", "&Sequences", "&Admin",
                                 "&Tools", "&Help"}));
    // Each menu and pop-up menu with its entries in order ("-" a separator).
    // "Load Message Window..." stays in "&File" behind "Load XML Document...".
    struct MenuRow {
      const char* name;
      QStringList entries;
    };
    const MenuRow rows[] = {
        {"File1",
         {"Load Message...", "Save Message", "Save Message as...", "Load Reference Structure...",
          "Load XML Document...", "Load Message Window...", "-", "Print...", "Print Setup...",
          "Print to File...", "-", "&Logout", "Exit"}},
        {"Edit1",
         {"Edit Window...", "-", "Cut Item", "Copy Item", "Insert Item", "Insert As Child", "-",
          "Delete Item", "-", "Security Items...", "-", "Transfer Input Values",
          "Import XML Values", "-", "Clear Received Windows", "Clear All",
          "Clear Reference Structure"}},
        {"View1", {"Normal", "Zoom source window", "Zoom received message"}},
        {"Parameters1",
         {"Load Configuration...", "Save Configuration File", "Save Configuration as...", "-",
          "Keys...", "Communication...", "Message Header...", "Timeouts...", "Plug Ins...",
          "Directory Aliases..."}},
        {"Sequences1", {"Sequence..."}},
        {"Admin1", {"Users", "Alarming"}},
        {"Tools1",
         {"&Base64", "&Hex to String", "Hex to &Int", "&Format XML Document", "&Key Formatting",
          "&Tripple DES", "Hash and &MAC", "&Session Key Crypt", "T&LV Tools"}},
        {"Help1", {"&Content", "Index", "-", "About"}},
        {"PopupMenu1", {"Goto parent", "Find...", "Find next", "-", "Edit Window..."}},
        {"PopupMenu2",
         {"Cut", "Copy", "Paste", "Delete", "-", "Select all", "-", "Find...", "Find Next"}},
    };
    for (const MenuRow& row : rows) {
      QStringList entries;
      for (QAction* a : Find<QMenu>(form.get(), row.name)->actions())
        entries << (a->isSeparator() ? "-" : a->text());
      QVERIFY2(entries == row.entries, qPrintable(row.name + (": " + entries.join('|'))));
    }
    QCOMPARE(form->CEXActionObject(TCEXAction::Find)->shortcut(), QKeySequence("Ctrl+F"));
    QCOMPARE(form->CEXActionObject(TCEXAction::FindNext)->shortcut(), QKeySequence("F3"));
    QVERIFY(form->CEXActionObject(TCEXAction::Normal)->isChecked());
    QVERIFY(!form->CEXActionObject(TCEXAction::ZoomSourceWindow)->isChecked());
    QStringList hints;
    for (QAction* a : Find<QToolBar>(form.get(), "ToolBar1")->actions()) hints << a->toolTip();
    QCOMPARE(hints, (QStringList{"load message",
                                 "save message",
                                 "load read structure",
                                 "load XML document from file",
                                 "print",
                                 "Find...",
                                 "Find next",
                                 "goto parent",
                                 "cut item",
                                 "copy item",
                                 "insert item",
                                 "insert as child element",
                                 "transfer values from received message to source window",
                                 "delete item",
                                 "clear received message windows",
                                 "clear all windows",
                                 "clear reference structure",
                                 "disconnect and hang up phone",
                                 "Import Values from XML document windows",
                                 "Load configuration",
                                 "Save configuration",
                                 "help contents"}));
    QCOMPARE(Find<QToolButton>(form.get(), "ButtonCreateXMLDoc")->defaultAction()->text(),
             QString("Create XML Doc"));
  }

  void ActionsRunTheCoreAndExitRunsTheCloseHandling() {
    test::WriteFile(home_->file("saved.ini"), "");
    test::WriteFile(home_->file("hello.epm"), "x");
    auto form = Make({home_->file("hello.epm")});
    form->show();
    QCOMPARE(files_.read, std::vector<std::string>{home_->file("hello.epm")});
    QCOMPARE(form->windowTitle(), QString("Dorva ep2 Interface Tester: hello.epm"));
    // The first activation logs in (no login asked: administrator), which
    // lists the recent message file before the File menu's last three.
    QTRY_VERIFY(form->CEXCore().CEXUserIsAdmin());
    QStringList file;
    for (QAction* a : Find<QMenu>(form.get(), "File1")->actions())
      file << (a->isSeparator() ? "-" : a->text());
    QCOMPARE(file.mid(5),
             (QStringList{"Load Message Window...", "-", "Print...", "Print Setup...",
                          "Print to File...", "-", "hello.epm", "-", "&Logout", "Exit"}));

    dialogs_.choice = home_->file("saved.ini");
    form->CEXActionObject(TCEXAction::SaveConfiguration)->trigger();
    QVERIFY(PanelText(*form, 3).startsWith("Config file: "));
    QVERIFY(PanelText(*form, 3).endsWith("saved.ini"));
    TPLTIniFile saved;
    QCOMPARE(saved.PLTLoad(home_->file("saved.ini")), 0);
    QVERIFY(saved.PLTSectionExists("Communication"));

    std::filesystem::remove(home_->file("config.ini"));
    form->CEXActionObject(TCEXAction::Exit)->trigger();
    QTRY_VERIFY(!form->isVisible());
    // The close wrote "config.ini" again.
    QVERIFY(std::filesystem::exists(home_->file("config.ini")));
  }

  void AFrameSentToTheServerShowsInMemo5() {
    const int port = test::FreeLoopbackPort();
    test::WriteFile(home_->file("config.ini"),
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\n"
                    "ThisComputerIPPortNr=" +
                        std::to_string(port) + "\r\n");
    auto form = Make();
    form->show();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    QCOMPARE(::send(fd, "\0\0\0\1Z", 5, MSG_NOSIGNAL), ssize_t{5});
    // Read on the connection's thread, posted to and shown on the GUI thread.
    QTRY_COMPARE_WITH_TIMEOUT(Find<QPlainTextEdit>(form.get(), "Memo5")->toPlainText(),
                              QString("00 00 00 01 5A"), 10000);
    QVERIFY(!Find<QLineEdit>(form.get(), "Edit7")->text().isEmpty());
    ::close(fd);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestMainForm)
#include "TestMainForm.moc"
