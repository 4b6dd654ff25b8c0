// F1 in every window of the program, offscreen: the windows are made as the
// program makes them (the EMV data-object editor with the edit window), their
// help controls come from Brontel's library through the component layer
// (unregistered, found in its folder), and the real help viewer shows the
// page that "kalmore.hmp" maps the window's context to. The Help menu and the
// tool bar's help button show the contents beside their first page, and the
// index. Without the library: one message, no crash.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "common/TestSupport.h"
#include "support/ComponentHelpControl.h"
#include "support/HelpContexts.h"
#include "support/ui/ErrorForm.h"
#include "tools/ui/FormTVREditor.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MainFormHome.h"
#include "workbench/ui/MessageDialogs.h"
#include "workbench/ui/ProgramStart.h"
#include "workbench/ui/ProgramWindows.h"

namespace kal {

namespace {

QWidget* Window(const char* name) {
  for (QWidget* w : QApplication::allWidgets())
    if (w->isWindow() && w->objectName() == name) return w;
  return nullptr;
}

// How a test reaches a window that the program makes on demand.
using TOpen = std::function<void(TForm1&)>;

TOpen Settings(TCEXWindow window) {
  return [window](TForm1& form) { static_cast<void>(form.CEXOpenWindow(window, false)); };
}

// The modal dialog that the next command opens is answered with "Cancel".
void CancelNextDialog() {
  QTimer::singleShot(0, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
}

// "Browse" of the aliases dialog makes "Select Directory".
void OpenSelectDirectory(TForm1& form) {
  Settings(TCEXWindow::DirectoryAliases)(form);
  CancelNextDialog();
  Window("TFormAlias")->findChild<QPushButton*>("Browse")->click();
}

// "Print..." makes the printout selection.
void OpenPrintSelection(TForm1& form) {
  CancelNextDialog();
  form.CEXActionObject(TCEXAction::Print)->trigger();
}

struct TWindowRow {
  const char* name;
  int32_t context;
  TOpen open;  // null: made with the main window
};

// Every window that offers help; a new window is one more row.
const std::vector<TWindowRow>& Windows() {
  static const std::vector<TWindowRow> rows{
      {"TForm3", HPTcHelpEditWindow, {}},
      {"TForm4", HPTcHelpLoadFile, {}},
      {"TForm5", HPTcHelpKeys, {}},
      {"TForm6", HPTcHelpSecurityItems, {}},
      {"TForm8", HPTcHelpErrorWindow, {}},
      {"TForm10", HPTcHelpModemStatus, {}},
      {"TForm14", HPTcHelpSequence, {}},
      {"TForm15", HPTcHelpSequenceRun, {}},
      {"TForm17", HPTcHelpPublicKeyData, {}},
      {"TForm18", HPTcHelpUsers, {}},
      {"TForm19", HPTcHelpUsers, {}},
      {"TForm20", HPTcHelpAlarming, {}},
      {"TFormTVREditor", HPTcHelpEmvEditor, {}},
      {"TForm2", HPTcHelpPrintSelection, OpenPrintSelection},
      {"TForm7", HPTcHelpMessageHeader, Settings(TCEXWindow::MessageHeader)},
      {"TForm9", HPTcHelpCommunication, Settings(TCEXWindow::Communication)},
      {"TForm13", HPTcHelpTimeouts, Settings(TCEXWindow::Timeouts)},
      {"TForm_PLGPlugIns", HPTcHelpPlugIns, Settings(TCEXWindow::PlugIns)},
      {"TFormAlias", HPTcHelpDirectoryAliases, Settings(TCEXWindow::DirectoryAliases)},
      {"TForm21", HPTcHelpSelectDirectory, OpenSelectDirectory},
  };
  return rows;
}

}  // namespace

class TestWindowHelp : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> home_;
  std::unique_ptr<THPTComponentHelpControlFactory> controls_;
  test::MessageDialogs dialogs_;
  std::unique_ptr<TCEXProgramWindows> windows_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<TForm8> form8_;

  // The program folder seeded from share/ as `make run` seeds it, but with a
  // link that neither listens nor dials; help controls from the library in
  // `libraryFolder`.
  TForm1& Make(const std::string& libraryFolder) {
    home_ = std::make_unique<test::TempDir>();
    test::RunCommand("cp -r '" + test::SourceDir() + "/share/.' '" + home_->path() + "'", "");
    test::WriteFile(home_->file("config.ini"),
                    test::kQuietCommunicationIni + test::ReadFile(home_->file("config.ini")));
    controls_ = std::make_unique<THPTComponentHelpControlFactory>(
        TPLTCreationContext{TPLTComponentRegistry(home_->file("components.ini")), libraryFolder});
    windows_ = std::make_unique<TCEXProgramWindows>();
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.windows = windows_.get();
    parts.helpControls = controls_.get();
    form_ = std::make_unique<TForm1>(std::move(parts));
    windows_->CEXMake(*form_, &dialogs_, [](TTDBDebug& trace, QWidget* parent) {
      return static_cast<IEDFEmvEditor*>(new TFormTVREditor(&trace, parent));
    });
    form8_ = CEXMakeErrorWindow(*form_);
    form_->show();
    return *form_;
  }

  static bool PressF1(QWidget& window) {
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return false;
    // A window shown after another was hidden is not always made the
    // application's active one offscreen; the user's click would.
    QApplication::setActiveWindow(&window);
    QTest::keyClick(&window, Qt::Key_F1);
    return true;
  }

  // The viewer's page (a local file) and tab.
  static std::pair<QString, QString> Shown() {
    QWidget* viewer = Window("HelpViewer");
    if (viewer == nullptr || !viewer->isVisible()) return {};
    auto* tabs = viewer->findChild<QTabWidget*>("HelpTabs");
    return {viewer->findChild<QTextBrowser*>("HelpBrowser")->source().toLocalFile(),
            tabs->tabText(tabs->currentIndex())};
  }

  static void HideViewer() {
    if (QWidget* viewer = Window("HelpViewer")) viewer->hide();
  }

 private slots:
  void cleanup() {
    // The next test starts with a new viewer, which shows no page yet.
    delete Window("HelpViewer");
    form8_.reset();
    if (windows_) windows_->CEXDestroy();
    form_.reset();
    windows_.reset();
    dialogs_.messages.clear();
  }

  void f1ShowsEachWindowsPage() {
    TForm1& form = Make(KAL_BRONTEL_DIR);
    const auto ini = test::ReadIniWithConfigparser(test::ReadFile(home_->file("kalmore.hmp")));
    for (const TWindowRow& row : Windows()) {
      const std::string where = std::string(row.name);
      if (row.open) row.open(form);
      QWidget* window = Window(row.name);
      QVERIFY2(window != nullptr, where.c_str());
      const auto entry = ini.find({"MAP", std::to_string(row.context)});
      QVERIFY2(entry != ini.end(), where.c_str());
      const QString page = QString::fromStdString(home_->path() + "help/" + entry->second);
      QVERIFY2(QFileInfo(page).isFile(), where.c_str());
      QVERIFY2(PressF1(*window), where.c_str());
      QCOMPARE(Shown().first, page);
      HideViewer();
      window->hide();
    }
    QCOMPARE(dialogs_.messages, std::vector<std::string>{});
  }

  // F1 in the main window is "&Content": the contents beside their first
  // page in a new viewer; "Index" and the help tool button.
  void helpMenuAndToolButton() {
    TForm1& form = Make(KAL_BRONTEL_DIR);
    const std::function<void()> requests[] = {
        [&form] { QVERIFY(PressF1(form)); },
        [&form] { form.CEXActionObject(TCEXAction::Index)->trigger(); },
        [&form] { form.findChild<QToolButton*>("ToolButton8")->click(); },
    };
    const char* tabs[] = {"Contents", "Index", "Contents"};
    const QString firstPage = QString::fromStdString(home_->path() + "help/main-window.html");
    for (size_t i = 0; i < std::size(requests); ++i) {
      requests[i]();
      QCOMPARE(Shown(), std::make_pair(firstPage, QString(tabs[i])));
      HideViewer();
    }
  }

  // The library moved away: the first request says so once, the window goes on.
  void missingLibraryGivesOneMessage() {
    test::TempDir empty;
    TForm1& form = Make(empty.path());
    QVERIFY(PressF1(*Window("TForm5")));
    QVERIFY(PressF1(*Window("TForm6")));
    form.CEXActionObject(TCEXAction::Content)->trigger();
    QCOMPARE(dialogs_.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(dialogs_.messages[0])
                .startsWith("Help control not available: class {550BADC4"));
    QVERIFY(Window("HelpViewer") == nullptr || !Window("HelpViewer")->isVisible());
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestWindowHelp)
#include "TestWindowHelp.moc"
